#include "ntcip/bren_tables.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr uint32_t kFailureTypes = 3;
constexpr uint32_t kFailureRows = 500;
constexpr uint32_t kPeripheralRows = 255;
constexpr uint32_t kPortRows = 5;
constexpr uint32_t kEthernetPort = 5;
constexpr uint32_t kMessageListRows = 50;
constexpr uint32_t kLitPixelRows = 5;
constexpr uint32_t kModuleLineRows = 9;
constexpr uint8_t kPortSpeedKey = 24;
constexpr uint8_t kPeripheralIdKey = 12;
constexpr uint32_t kPeripheralEditing = 1;

const MibKeyedObject kDisplayTestMode[] = {{0, &dbo::displayTestMode}};
const MibKeyedObject kPeripheralList[] = {{0, &dbo::brenPeripheralListSize},
                                          {4, &dbo::brenPeripheralListEdit},
                                          {28, &dbo::brenPeripheralCount}};
const MibKeyedObject kPeripheralEntry[] = {{8, nullptr},
                                           {kPeripheralIdKey, &dbo::brenPeripheralID},
                                           {16, &dbo::brenPeripheralParameters},
                                           {20, &dbo::peripheralListStatus},
                                           {24, &dbo::brenPeripheralAuxIOTableIndex}};
const MibKeyedObject kTraps[] = {{0, &dbo::brenTrapsGeneric},
                                 {4, &dbo::brenTrapsEnterpriseSpecific},
                                 {8, &dbo::brenTrapsExpirationDuration}};
const MibKeyedObject kMessageList[] = {{0, &dbo::switchMessageListSize}};
const MibKeyedObject kMessageListEntry[] = {{4, nullptr}, {8, &dbo::switchMessageCode}};
const MibKeyedObject kPorts[] = {{0, &dbo::portCount},
                                 {32, &dbo::brenRdiLogicalId},
                                 {36, &dbo::brenRdiAck2Timeout},
                                 {40, &dbo::brenRdiRetries},
                                 {44, &dbo::brenCommCommand}};
const MibKeyedObject kPortEntry[] = {{4, nullptr},
                                     {8, &dbo::brenCommConfigFlowControl},
                                     {12, &dbo::brenCommConfigProtocol},
                                     {16, &dbo::brenCommConfigTraps},
                                     {20, &dbo::brenCommConfigInnerCharTimeout},
                                     {kPortSpeedKey, &dbo::rs232PortInSpeed},
                                     {28, &dbo::portType}};
const MibKeyedObject kLitPixelLimit[] = {
    {0, &dbo::litPixelRowCount}, {4, &dbo::litPixelSetting}, {20, &dbo::pixelPowerLimitMode}};
const MibKeyedObject kLitPixelEntry[] = {
    {8, nullptr}, {12, &dbo::litPixelThreshold}, {16, &dbo::litPixelBrightness}};
const MibKeyedObject kModuleLines[] = {{0, &dbo::brenTBSCBayHeightInModules},
                                       {4, &dbo::brenTBSCBayWidthInModules},
                                       {8, &dbo::moduleLineCount}};
const MibKeyedObject kLineLengthEntry[] = {{12, nullptr}, {16, &dbo::brenLineLength}};

}  // namespace

uintptr_t* var_brenDisplayTestMode(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kDisplayTestMode, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenPixelFailureColorEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                          int mode, uint32_t* value_length, snmp_pdu* pdu,
                                          int index) {
    const uint32_t column = row->name_length - 1u;
    // Detection type 1 has no rows: a get-next enters type 2 at its first row.
    const bool enter_type_2 =
        mode == kMibGetNext && *name_length == column + 2u && name[column] == 1;
    if (enter_type_2) {
        name[column + 1u] = 1;
    }
    const uint32_t bounds[2] = {kFailureTypes, enter_type_2 ? 1u
                                               : (*name_length > column && name[column] == 1)
                                                   ? 0u
                                                   : kFailureRows};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, bounds, 2) != 0) {
        return nullptr;
    }
    if (enter_type_2) {
        name[column] = 2;
    }
    const uint32_t type = name[column];
    const uint32_t number = name[column + 1u];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, type, value_length);
        case 4:
            return MibAnswerWord(pdu, index, number, value_length);
        case 8:
            return MibServeObject(dbo::pixelFailureColorBits,
                                  kFailureRows * (type - 1u) + (number - 1u), kMibGet, pdu, index,
                                  value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_brenPeripheralList(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kPeripheralList, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenPeripheralEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibCommitting(mode) &&
        MibHeaderIndexed(row, name, *name_length, mode, value_length, kPeripheralRows) == 0) {
        // The list takes edits only while it is being edited.
        if (g_DataBase.Get(dbo::brenPeripheralListEdit) != kPeripheralEditing) {
            return nullptr;
        }
        if (row->key == kPeripheralIdKey && g_SnmpSetInt == 0) {
            g_DataBase.SetText(dbo::brenPeripheralParameters, "", 0, kDbNotify,
                               MibInstance(row, name) - 1u);
        }
    }
    return MibServeKeyedColumn(kPeripheralEntry, kPeripheralRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_brenTraps(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kTraps, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenMessageList(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kMessageList, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenMessageListEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                    int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kMessageListEntry, kMessageListRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_brenPorts(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kPorts, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenPortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (row->key == kPortSpeedKey &&
        MibHeaderIndexed(row, name, *name_length, mode, value_length, kPortRows) == 0 &&
        MibInstance(row, name) == kEthernetPort) {
        return MibServeObject(dbo::ifSpeed, 0, mode, pdu, index, value_length);
    }
    return MibServeKeyedColumn(kPortEntry, kPortRows, row, name, name_length, mode, value_length,
                               pdu, index);
}

uintptr_t* var_brenLitPixelLimit(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kLitPixelLimit, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenLitPixelEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kLitPixelEntry, kLitPixelRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_brenModuleLines(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kModuleLines, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenLineLengthEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kLineLengthEntry, kModuleLineRows, row, name, name_length, mode,
                               value_length, pdu, index);
}
