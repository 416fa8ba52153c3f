#include "ntcip/error_status_objects.h"

#include <algorithm>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

constexpr uint32_t kCompatibilityBit = 0x20;
constexpr uint32_t kMessageFailuresBit = 0x04;
constexpr uint32_t kCompatibilityRowLimit = 100;
constexpr uint32_t kNumRowsKey = 4;
constexpr uint32_t kFailureTypes = 3;
constexpr uint32_t kFailureSlots = 500;
constexpr uint32_t kPowerRows = 300;
constexpr uint32_t kClimateRows = 32;
constexpr uint8_t kClimateTestKey = 20;

const MibKeyedObject kScalars[] = {
    {0, &dbo::shortErrorStatus},          {8, &dbo::pixelTestActivation},
    {12, &dbo::lampFailureStuckOn},       {16, &dbo::lampFailureStuckOff},
    {20, &dbo::lampTestActivation},       {24, &dbo::fanFailures},
    {28, &dbo::fanTestActivation},        {32, &dbo::controllerErrorStatus},
    {36, &dbo::dmsPowerFailureStatusMap}, {40, &dbo::dmsPowerNumRows},
    {44, &dbo::dmsClimateCtrlStatusMap},  {48, &dbo::dmsClimateCtrlNumRows},
    {52, &dbo::dmsPixelFailureTestRows},  {56, &dbo::dmsPixelFailureMessageRows}};

const MibKeyedObject kPowerColumns[] = {{0, nullptr},
                                        {4, &dbo::dmsPowerDescription},
                                        {8, &dbo::dmsPowerMfrStatus},
                                        {12, &dbo::dmsPowerStatus},
                                        {16, &dbo::dmsPowerVoltage},
                                        {20, &dbo::dmsPowerType}};

const MibKeyedObject kClimateColumns[] = {{0, nullptr},
                                          {4, &dbo::dmsClimateCtrlDescription},
                                          {8, &dbo::dmsClimateCtrlMfrStatus},
                                          {12, &dbo::dmsClimateCtrlErrorStatus},
                                          {16, &dbo::dmsClimateCtrlOnStatus},
                                          {kClimateTestKey, &dbo::dmsClimateCtrlTestActivation},
                                          {24, &dbo::dmsClimateCtrlAbortReason},
                                          {28, &dbo::dmsClimateCtrlType}};

uint32_t PixelFailureTableNumRows() {
    const uint32_t features = g_DataBase.Get(dbo::brenSpecialFeatureSet);
    const uint32_t test_rows = g_DataBase.Get(dbo::dmsPixelFailureTestRows);
    if (features & kCompatibilityBit) {
        return std::min(test_rows, kCompatibilityRowLimit);
    }
    if (features & kMessageFailuresBit) {
        return test_rows + g_DataBase.Get(dbo::dmsPixelFailureMessageRows);
    }
    return test_rows;
}

// Rows of a detection type that exist: other (1) has no count, pixel test (2) and message
// display (3) rows exist up to their counts.
uint32_t FailureRows(uint32_t type) {
    const uint32_t count = type == 2   ? g_DataBase.Get(dbo::dmsPixelFailureTestRows)
                           : type == 3 ? g_DataBase.Get(dbo::dmsPixelFailureMessageRows)
                                       : kFailureSlots;
    return std::min(count, kFailureSlots);
}

const MibKeyedObject kFailureColumns[] = {{8, &dbo::pixelFailureXLocation},
                                          {12, &dbo::pixelFailureYLocation},
                                          {16, &dbo::pixelFailureStatus}};

}  // namespace

uintptr_t* var_statError(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (row->key == kNumRowsKey) {
        if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
            return nullptr;
        }
        return MibAnswerWord(pdu, index, PixelFailureTableNumRows(), value_length);
    }
    return MibServeKeyedScalar(kScalars, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_pixelFailureEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t column = row->name_length - 1u;
    // A get-next never answers type 1: it enters type 2 at its first row.
    if (mode == kMibGetNext && *name_length == column + 2u && name[column] == 1) {
        name[column] = 2;
        name[column + 1u] = 1;
    }
    const uint32_t type = *name_length == column + 2u ? name[column] : 0;
    const uint32_t bounds[2] = {kFailureTypes,
                                type >= 1 && type <= kFailureTypes ? FailureRows(type) : 0};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, bounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t number = name[column + 1u];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, type, value_length);
        case 4:
            return MibAnswerWord(pdu, index, number, value_length);
        default: {
            const MibKeyedObject* entry = MibFindKey(kFailureColumns, row->key);
            if (entry == nullptr) {
                return nullptr;
            }
            return MibServeObject(*entry->object, kFailureSlots * (type - 1u) + (number - 1u),
                                  kMibGet, pdu, index, value_length);
        }
    }
}

uintptr_t* var_dmsPowerStatusEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibIndexedInstance(row, name, *name_length, mode, value_length, kPowerRows) == 0) {
        return nullptr;
    }
    return MibServeKeyedColumn(kPowerColumns, kPowerRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_dmsClimateCtrlStatusEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                         int mode, uint32_t* value_length, snmp_pdu* pdu,
                                         int index) {
    const uint32_t i =
        MibIndexedInstance(row, name, *name_length, mode, value_length, kClimateRows);
    if (i == 0) {
        return nullptr;
    }
    if (row->key == kClimateTestKey && MibCommitting(mode)) {
        // Any refusal of a test request is a bad value.
        if (MibStore(dbo::dmsClimateCtrlTestActivation, i - 1u) != kDbOk) {
            MibReportStore(pdu, index, kDbBadValue);
        }
        mode = kMibGet;
    }
    return MibServeKeyedColumn(kClimateColumns, kClimateRows, row, name, name_length, mode,
                               value_length, pdu, index);
}
