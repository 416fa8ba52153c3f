#include "ntcip/mib2_groups.h"

#include "database/global_database.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"
#include "platform/kernel/tx_api.h"

namespace {

constexpr uint32_t kStringSlot = 4;
constexpr uint32_t kSnmpCounterBase = 24996;  // snmpInPkts; the key is the offset from it

struct SystemObject {
    uint8_t key;
    DbImage image;
    uint32_t id;
    bool text;
    bool writable;
};

const SystemObject kSystemObjects[] = {
    {0, DbImage::kVolatile, 24404, true, false},    // sysDescr
    {4, DbImage::kVolatile, 24408, true, false},    // sysObjectID (packed OID)
    {12, DbImage::kNv, 98616, true, true},          // sysContact
    {16, DbImage::kNv, 98620, true, true},          // sysName
    {20, DbImage::kNv, 98624, true, true},          // sysLocation
    {24, DbImage::kVolatile, 24416, false, false},  // sysServices, 1 octet
};
constexpr uint8_t kSysUpTimeKey = 8;

uintptr_t* AnswerWord(snmp_pdu* pdu, int index, uint32_t value, uint32_t* value_length) {
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = value;
    *value_length = 4;
    return &varbind.handler_value;
}

uintptr_t* AnswerText(snmp_pdu* pdu, int index, const SystemObject& object,
                      uint32_t* value_length) {
    uint32_t length = 0;
    const char* text = g_DataBase.GetString(object.id, kStringSlot, object.image, &length);
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = reinterpret_cast<uintptr_t>(text);
    *value_length = length;
    return &varbind.handler_value;
}

}  // namespace

uintptr_t* var_system(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    if (row->key == kSysUpTimeKey) {
        return AnswerWord(pdu, index, tx_time_get() / 100u, value_length);
    }
    for (const SystemObject& object : kSystemObjects) {
        if (object.key != row->key) {
            continue;
        }
        if (!object.text) {
            return AnswerWord(pdu, index, g_DataBase.GetInt(object.id, 1, object.image),
                              value_length);
        }
        if (object.writable && mode == kMibSet && g_SnmpSetCommit == 1) {
            g_DataBase.SetString(object.id, kStringSlot, g_SnmpSetBuffer, g_SnmpSetLength,
                                 object.image, kDbNotify);
        }
        return AnswerText(pdu, index, object, value_length);
    }
    return nullptr;
}

uintptr_t* var_snmp(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                    uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    // snmpEnableAuthenTraps accepts a set and stores nothing: the answer is the stored value.
    const uint32_t value = g_DataBase.GetInt(kSnmpCounterBase + row->key, 4, DbImage::kVolatile);
    return AnswerWord(pdu, index, value, value_length);
}
