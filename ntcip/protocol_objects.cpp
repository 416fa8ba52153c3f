#include "ntcip/protocol_objects.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kChapRows = 1;
constexpr uint32_t kGroupAddressRows = 10;
constexpr uint32_t kCommunityRows = 100;

void RefuseValue(snmp_pdu* pdu) {
    pdu->request.error_status = kSnmpBadValue;
}

// The group address in its encoded form: the station number in bits 2-7, bits 0 and 1 set.
uintptr_t* ServeEncodedGroupAddress(uint32_t row, int mode, snmp_pdu* pdu, int index,
                                    uint32_t* value_length) {
    const uint32_t id = dbo::pmppGroupAddress.Row(row);
    if (mode == kMibSet) {
        const uint32_t value = g_SnmpSetInt;
        if ((value & 1u) == 0 && value != 0) {
            RefuseValue(pdu);
        } else if (g_SnmpSetCommit == 1) {
            const uint32_t station = static_cast<uint32_t>(static_cast<int32_t>(value) >> 2) & 63u;
            g_DataBase.SetInt(id, 4, station, DbImage::kNv, kDbNotify);
        }
    }
    const uint32_t stored = g_DataBase.GetInt(id, 4, DbImage::kNv);
    const uint32_t answer = static_cast<int32_t>(stored) > 0 ? ((stored & 63u) * 4u) | 3u : stored;
    return MibAnswerWord(pdu, index, answer, value_length);
}

}  // namespace

uintptr_t* var_chap(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                    uint32_t* value_length, snmp_pdu* pdu, int index) {
    DebugPrintLevel1("inside var_chap:\n");
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0 || row->key != 0) {
        return nullptr;
    }
    return MibServeObject(dbo::chapSecretsMax, 0, mode, pdu, index, value_length);
}

uintptr_t* var_chapSecretEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    DebugPrintLevel1("inside var_chapSecretEntry:\n");
    if (MibHeaderIndexed(row, name, *name_length, mode, value_length, kChapRows) != 0) {
        return nullptr;
    }
    switch (row->key) {
        case 0:
            DebugPrintLevel1("var_chapSecretEntry: chapName\n");
            // The PPP link keeps the name in a 32-octet field.
            if (mode == kMibSet && g_SnmpSetLength > kChapNameMaxLength) {
                RefuseValue(pdu);
                mode = kMibGet;
            }
            return MibServeObject(dbo::chapName, 0, mode, pdu, index, value_length);
        case 4:
            DebugPrintLevel1("var_chapSecretEntry: chapSecret\n");
            return MibServeObject(dbo::chapSecret, 0, mode, pdu, index, value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_snmpConfiguration(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    DebugPrint("inside var_snmpConfiguration:\n");
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0 || row->key != 0) {
        return nullptr;
    }
    return MibServeObject(dbo::snmpMaxPacketSize, 0, mode, pdu, index, value_length);
}

uintptr_t* var_pmppConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0 || row->key != 0) {
        return nullptr;
    }
    return MibServeObject(dbo::pmppConfigWord, 0, mode, pdu, index, value_length);
}

uintptr_t* var_maxGroupAddresses(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0 || row->key != 0) {
        return nullptr;
    }
    return MibServeObject(dbo::maxGroupAddresses, 0, mode, pdu, index, value_length);
}

uintptr_t* var_groupAddressEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderIndexed(row, name, *name_length, mode, value_length, kGroupAddressRows) != 0) {
        return nullptr;
    }
    const uint32_t i = MibInstance(row, name);
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, i, value_length);
        case 4:
            return ServeEncodedGroupAddress(i - 1u, mode, pdu, index, value_length);
        case 8:
            return MibServeObject(dbo::pmppGroupAddress, i - 1u, mode, pdu, index, value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_globalSecurity(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    switch (row->key) {
        case 0:
            return MibServeObject(dbo::communityNameAdmin, 0, mode, pdu, index, value_length);
        case 4:
            return MibServeObject(dbo::communityNamesMax, 0, mode, pdu, index, value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_communityNameEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderIndexed(row, name, *name_length, mode, value_length, kCommunityRows) != 0) {
        return nullptr;
    }
    const uint32_t i = MibInstance(row, name) - 1u;
    switch (row->key) {
        case 0:
            return MibServeObject(dbo::communityNameIndex, i, mode, pdu, index, value_length);
        case 4:
            return MibServeObject(dbo::communityNameUser, i, mode, pdu, index, value_length);
        case 8:
            return MibServeObject(dbo::communityNameAccessMask, i, mode, pdu, index, value_length);
        default:
            return nullptr;
    }
}
