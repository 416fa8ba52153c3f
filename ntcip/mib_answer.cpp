#include "ntcip/mib_answer.h"

#include "database/global_database.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr uint32_t kStringSlot = 4;

}  // namespace

uintptr_t* MibAnswerWord(snmp_pdu* pdu, int index, uint32_t value, uint32_t* value_length) {
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = value;
    *value_length = 4;
    return &varbind.handler_value;
}

uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const char* text, uint32_t length,
                         uint32_t* value_length) {
    snmp_object& varbind = pdu->varbinds[index];
    varbind.handler_value = reinterpret_cast<uintptr_t>(text);
    *value_length = length;
    return &varbind.handler_value;
}

bool MibCommitting(int mode) {
    return mode == kMibSet && g_SnmpSetCommit == 1;
}

uintptr_t* MibServeInt(int mode, snmp_pdu* pdu, int index, uint32_t id, uint32_t width,
                       DbImage image, uint32_t* value_length) {
    if (MibCommitting(mode)) {
        g_DataBase.SetInt(id, width, g_SnmpSetInt, image, kDbNotify);
    }
    return MibAnswerWord(pdu, index, g_DataBase.GetInt(id, width, image), value_length);
}

uintptr_t* MibServeString(int mode, snmp_pdu* pdu, int index, uint32_t id, DbImage image,
                          uint32_t* value_length) {
    if (MibCommitting(mode)) {
        g_DataBase.SetString(id, kStringSlot, g_SnmpSetBuffer, g_SnmpSetLength, image, kDbNotify);
    }
    uint32_t length = 0;
    const char* text = g_DataBase.GetString(id, kStringSlot, image, &length);
    return MibAnswerText(pdu, index, text, length, value_length);
}

uint32_t MibInstance(const MibVariable* row, const uint32_t* name) {
    return name[row->name_length - 1u];
}

uintptr_t* MibServeObject(const DbObject& object, uint32_t row, int mode, snmp_pdu* pdu, int index,
                          uint32_t* value_length) {
    if (object.IsString()) {
        return MibServeString(mode, pdu, index, object.Row(row), object.image, value_length);
    }
    return MibServeInt(mode, pdu, index, object.Row(row), object.width, object.image, value_length);
}
