#include "ntcip/ledstar_objects.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "database/data_base.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"
#include "ntcip/snmp_set_staging.h"

namespace {

// A row key and the object row it serves.
struct Cell {
    uint8_t key;
    const DbObject* object;
    uint16_t row;
};

// Stores in the commit pass (the store's verdict is not reported) and answers the value.
template <size_t N>
uintptr_t* ServeCell(const Cell (&cells)[N], const MibVariable* row, int mode, snmp_pdu* pdu,
                     int index, uint32_t* value_length) {
    const Cell* cell = MibFindKey(cells, row->key);
    if (cell == nullptr) {
        return nullptr;
    }
    return MibServeObject(*cell->object, cell->row, mode, pdu, index, value_length);
}

constexpr uint8_t kShutOffTempKey = 0;
constexpr uint8_t kRestartKey = 28;

const Cell kConfig[] = {
    {4, &dbo::ledstarConfigBytes, 0},     {8, &dbo::fdotMaxNumPixelFailure, 0},
    {12, &dbo::dmsPowerNumRows, 0},       {16, &dbo::ledstarConfigBytes, 1},
    {20, &dbo::ledstarConfigBytes, 2},    {24, &dbo::ledstarConfigBytes, 3},
    {32, &dbo::ledstarConfigText, 0},     {36, &dbo::ledstarConfigSettings, 0},
    {40, &dbo::ledstarConfigSettings, 1}, {44, &dbo::ledstarConfigSettings, 2},
    {48, &dbo::ledstarConfigSettings, 3}, {52, &dbo::ledstarConfigSettings, 4},
    {56, &dbo::ledstarConfigSettings, 5}, {60, &dbo::ledstarConfigSettings, 6},
    {64, &dbo::ledstarConfigSettings, 7}, {68, &dbo::ledstarConfigSettings, 8},
    {72, &dbo::ledstarConfigSettings, 9}, {76, &dbo::ledstarConfigSettings, 10},
};

const Cell kExtra[] = {
    {0, &dbo::ledstarExtraFlag, 0},       {4, &dbo::ledstarExtraWord, 0},
    {8, &dbo::ledstarExtraTexts, 0},      {12, &dbo::ledstarExtraTexts, 1},
    {16, &dbo::ledstarExtraTexts, 2},     {20, &dbo::ledstarExtraValue, 0},
    {24, &dbo::controllerStatusFlags, 0}, {28, &dbo::ledstarExtraSettings, 0},
    {32, &dbo::ledstarExtraSettings, 1},
};

const Cell kStatus[] = {
    {16, &dbo::ledstarLightReadings, 0}, {20, &dbo::ledstarLightReadings, 1},
    {24, &dbo::ledstarLightReadings, 2}, {28, &dbo::ledstarStatusText, 0},
    {32, &dbo::ledstarStatusByte, 0},    {40, &dbo::ledstarStatusCode, 0},
    {44, &dbo::ledstarStatusNote, 0},    {48, &dbo::ledstarStatusCounts, 0},
    {52, &dbo::ledstarStatusCounts, 1},  {56, &dbo::ledstarStatusCounts, 2},
    {60, &dbo::ledstarStatusRemark, 0},  {64, &dbo::ledstarStatusLevel, 0},
};
// Temperatures of climate units 1 and 2 (signed octets), their on states, the daylight state.
constexpr uint8_t kTemperatureKeys[] = {0, 4};
constexpr uint8_t kClimateOffKeys[] = {8, 12};
constexpr uint8_t kDaylightKey = 36;

constexpr uint32_t kTableRows = 5;
constexpr uint32_t kCubeBounds[] = {6, 5, 5};
constexpr uint32_t kGridBounds[] = {5, 5};
constexpr uint32_t kPowerSupplyOk = 2;

const MibKeyedObject kConfigEntry[] = {
    {0, nullptr}, {4, &dbo::ledstarConfigColumn2}, {8, &dbo::ledstarConfigColumn3}};
const MibKeyedObject kPowerColumns[] = {{4, &dbo::ledstarPowerColumn2},
                                        {8, &dbo::ledstarPowerColumn3},
                                        {12, &dbo::ledstarPowerColumn4},
                                        {20, &dbo::ledstarPowerColumn6}};
constexpr uint8_t kPowerOkKey = 16;
const MibKeyedObject kTextEntry[] = {{0, nullptr}, {4, &dbo::ledstarTextColumn2}};

// Index (from 0) of a key among keys, or -1.
template <size_t N>
int KeyIndex(const uint8_t (&keys)[N], uint8_t key) {
    for (size_t i = 0; i < N; ++i) {
        if (keys[i] == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// 1 asks for the restart that drops the journal, CONFIG.XML and the bitmaps; 2-4 a plain one.
void RequestRestart(uint32_t value) {
    if (value == 1) {
        g_DataBase.Set(dbo::brenResetCommand, 3, kDbNotify);
    } else {
        g_DataBase.Set(dbo::dmsSWReset, 1, kDbNotify);
    }
}

void Zero(CDataBase& db, std::initializer_list<const DbObject*> objects) {
    for (const DbObject* object : objects) {
        for (uint32_t r = 0; r < object->rows; ++r) {
            if (object->IsString()) {
                db.SetText(*object, "", 0, kDbNotify, r);
            } else {
                db.Set(*object, 0, kDbNotify, r);
            }
        }
    }
}

}  // namespace

uintptr_t* var_ledstarConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    if (row->key == kShutOffTempKey) {
        // Refused before the commit pass: nothing else of the request is written either.
        MibCheckStore(dbo::brenShutOffTemp, 0, mode, pdu, index);
        if (MibCommitting(mode)) {
            MibReportStore(pdu, index, MibStore(dbo::brenShutOffTemp, 0));
        }
        return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::brenShutOffTemp), value_length);
    }
    if (row->key == kRestartKey) {
        if (MibCommitting(mode)) {
            RequestRestart(g_SnmpSetInt);
        }
        return MibAnswerWord(pdu, index, g_DataBase.Get(dbo::dmsSWReset), value_length);
    }
    return ServeCell(kConfig, row, mode, pdu, index, value_length);
}

uintptr_t* var_ledstarConfigEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                  uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibIndexedInstance(row, name, *name_length, mode, value_length, kTableRows) == 0) {
        return nullptr;
    }
    return MibServeKeyedColumn(kConfigEntry, kTableRows, row, name, name_length, mode, value_length,
                               pdu, index);
}

uintptr_t* var_ledstarExtra(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    return ServeCell(kExtra, row, mode, pdu, index, value_length);
}

uintptr_t* var_ledstarStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    if (const int unit = KeyIndex(kTemperatureKeys, row->key); unit >= 0) {
        // Climate unit n is temperature sensor row n.
        const auto t = static_cast<int8_t>(g_DataBase.Get(dbo::temperatureSensorValue, unit + 1));
        return MibAnswerWord(pdu, index, static_cast<uint32_t>(static_cast<int32_t>(t)),
                             value_length);
    }
    if (const int unit = KeyIndex(kClimateOffKeys, row->key); unit >= 0) {
        const bool off = g_DataBase.Get(dbo::dmsClimateCtrlOnStatus, unit) == 0;
        return MibAnswerWord(pdu, index, off ? 1u : 0u, value_length);
    }
    if (row->key == kDaylightKey) {
        // The clock stores 1 (standard time) or 2 (daylight saving); 0 before its first tick.
        const uint32_t state = g_DataBase.Get(dbo::daylightTimeStatus);
        return MibAnswerWord(pdu, index, state == 0 ? 0u : state - 1u, value_length);
    }
    return ServeCell(kStatus, row, mode, pdu, index, value_length);
}

uintptr_t* var_ledstarStatusCube(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, kCubeBounds, 3) != 0) {
        return nullptr;
    }
    const uint32_t column = row->name_length - 1u;
    const uint32_t a = name[column];
    const uint32_t b = name[column + 1u];
    const uint32_t c = name[column + 2u];
    const uint32_t cell = 25u * (a - 1u) + 5u * (b - 1u) + (c - 1u);
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, a, value_length);
        case 4:
            return MibAnswerWord(pdu, index, b, value_length);
        case 8:
            return MibAnswerWord(pdu, index, c, value_length);
        case 12:
            return MibServeObject(dbo::ledstarCubeColumn4, cell, kMibGet, pdu, index, value_length);
        case 16:
            return MibServeObject(dbo::ledstarCubeColumn5, cell, kMibGet, pdu, index, value_length);
        case 20:
            return MibServeObject(dbo::ledstarCubeColumn6, cell, kMibGet, pdu, index, value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_ledstarPowerEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t i = MibIndexedInstance(row, name, *name_length, mode, value_length, kTableRows);
    if (i == 0) {
        return nullptr;
    }
    if (row->key == 0) {
        return MibAnswerWord(pdu, index, i, value_length);
    }
    if (row->key == kPowerOkKey) {
        const bool ok = g_DataBase.Get(dbo::dmsPowerStatus, i - 1u) == kPowerSupplyOk;
        return MibAnswerWord(pdu, index, ok ? 1u : 0u, value_length);
    }
    const MibKeyedObject* column = MibFindKey(kPowerColumns, row->key);
    if (column == nullptr) {
        return nullptr;
    }
    return MibServeObject(*column->object, i - 1u, kMibGet, pdu, index, value_length);
}

uintptr_t* var_ledstarTextGrid(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, kGridBounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t column = row->name_length - 1u;
    const uint32_t a = name[column];
    const uint32_t b = name[column + 1u];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, a, value_length);
        case 4:
            return MibAnswerWord(pdu, index, b, value_length);
        case 8:
            return MibServeObject(dbo::ledstarGridColumn3, 5u * (a - 1u) + (b - 1u), kMibGet, pdu,
                                  index, value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_ledstarTextEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibIndexedInstance(row, name, *name_length, mode, value_length, kTableRows) == 0) {
        return nullptr;
    }
    return MibServeKeyedColumn(kTextEntry, kTableRows, row, name, name_length, mode, value_length,
                               pdu, index);
}

void ledstar_defaults_config(CDataBase& db) {
    Zero(db, {&dbo::ledstarConfigBytes, &dbo::ledstarConfigText, &dbo::ledstarConfigSettings});
}

void ledstar_defaults_config_table(CDataBase& db) {
    for (uint32_t r = 0; r < kTableRows; ++r) {
        db.Set(dbo::ledstarConfigColumn2, 1, kDbNotify, r);
        db.Set(dbo::ledstarConfigColumn3, 1, kDbNotify, r);
    }
}

void ledstar_defaults_extra(CDataBase& db) {
    Zero(db, {&dbo::ledstarExtraFlag, &dbo::ledstarExtraWord, &dbo::ledstarExtraTexts,
              &dbo::ledstarExtraValue, &dbo::controllerStatusFlags, &dbo::ledstarExtraSettings});
}

void ledstar_defaults_status(CDataBase& db) {
    Zero(db, {&dbo::ledstarStatusWord, &dbo::ledstarLightReadings, &dbo::ledstarStatusText,
              &dbo::ledstarStatusByte, &dbo::daylightTimeStatus, &dbo::ledstarStatusCode,
              &dbo::ledstarStatusNote, &dbo::ledstarStatusCounts, &dbo::ledstarStatusRemark,
              &dbo::ledstarStatusLevel});
}

void ledstar_defaults_cube(CDataBase& db) {
    Zero(db, {&dbo::ledstarCubeColumn4, &dbo::ledstarCubeColumn5, &dbo::ledstarCubeColumn6});
}

void ledstar_defaults_power(CDataBase& db) {
    Zero(db, {&dbo::ledstarPowerColumn2, &dbo::ledstarPowerColumn3, &dbo::ledstarPowerColumn4,
              &dbo::ledstarPowerSpare, &dbo::ledstarPowerColumn6});
}

void ledstar_defaults_text_grid(CDataBase& db) {
    Zero(db, {&dbo::ledstarGridColumn3});
}

void ledstar_defaults_text(CDataBase& db) {
    Zero(db, {&dbo::ledstarTextColumn2});
}

void ledstar_volatile_defaults(CDataBase& db) {
    ledstar_defaults_config(db);
    ledstar_defaults_config_table(db);
    ledstar_defaults_extra(db);
    ledstar_defaults_status(db);
    ledstar_defaults_cube(db);
    ledstar_defaults_power(db);
    ledstar_defaults_text_grid(db);
    ledstar_defaults_text(db);
}
