#include "ntcip/status_objects.h"

#include <cstddef>
#include <cstdint>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"
#include "peripherals/peripheral_task.h"

namespace {

constexpr uint32_t kCompatibilityBit = 0x20;
constexpr uint32_t kSensorTemperaturesBit = 0x1000;
constexpr uint32_t kPhotocellDivisor = 126;
constexpr uint32_t kMultiFieldRows = 11;

const MibColumn kIllum[] = {{0, &dbo::dmsIllumControl, kMibColumnPlain},
                            {4, &dbo::dmsIllumMaxPhotocellLevel, kMibColumnPlain},
                            {8, &dbo::dmsIllumPhotocellLevelStatus, kMibColumnPlain},
                            {12, &dbo::dmsIllumNumBrightLevels, kMibColumnPlain},
                            {16, &dbo::dmsIllumBrightLevelStatus, kMibColumnPlain},
                            {20, &dbo::dmsIllumManLevel, kMibColumnPlain},
                            {24, &dbo::dmsIllumBrightnessValues, kMibColumnReport},
                            {28, &dbo::dmsIllumBrightnessValuesError, kMibColumnPlain},
                            {32, &dbo::dmsIllumLightOutputStatus, kMibColumnPlain}};

const MibKeyedObject kStatus[] = {{0, &dbo::statMultiFieldRows},
                                  {4, &dbo::dmsCurrentSpeed},
                                  {8, &dbo::dmsCurrentSpeedLimit},
                                  {12, &dbo::watchdogFailureCount},
                                  {16, &dbo::dmsStatDoorOpen}};

const MibKeyedObject kMultiFields[] = {
    {0, nullptr}, {4, &dbo::statMultiFieldCode}, {8, &dbo::statMultiCurrentFieldValue}};

const MibKeyedObject kPower[] = {{0, &dbo::signVolts},  {4, &dbo::lowFuelThreshold},
                                 {8, &dbo::fuelLevel},  {12, &dbo::engineRPM},
                                 {16, &dbo::lineVolts}, {20, &dbo::powerSource}};

// A temperature, and the sensor peripherals of which one must be live for it with bit 0x1000.
struct Temperature {
    uint8_t key;
    const DbObject* object;
    const uint16_t* sensors;
    size_t sensor_count;
};

constexpr uint16_t kCabinetSensors[] = {10, 11};
constexpr uint16_t kAmbientSensors[] = {12};
constexpr uint16_t kHousingSensors[] = {13, 14, 15, 160, 161, 162, 163, 164, 165, 16};

const Temperature kTemperatures[] = {
    {0, &dbo::tempMinCtrlCabinet, kCabinetSensors, std::size(kCabinetSensors)},
    {4, &dbo::tempMaxCtrlCabinet, kCabinetSensors, std::size(kCabinetSensors)},
    {8, &dbo::tempMinAmbient, kAmbientSensors, std::size(kAmbientSensors)},
    {12, &dbo::tempMaxAmbient, kAmbientSensors, std::size(kAmbientSensors)},
    {16, &dbo::tempMinSignHousing, kHousingSensors, std::size(kHousingSensors)},
    {20, &dbo::tempMaxSignHousing, kHousingSensors, std::size(kHousingSensors)},
};

const MibKeyedObject kSensorMaps[] = {{24, &dbo::temperatureSensorMap},
                                      {28, &dbo::secondTemperatureSensorMap}};

bool FeatureBit(uint32_t bit) {
    return (g_DataBase.Get(dbo::brenSpecialFeatureSet) & bit) != 0;
}

bool AnySensorLive(const Temperature& t) {
    CPeripheralTask* task = PeripheralTask();
    if (task == nullptr) {
        return false;
    }
    for (size_t i = 0; i < t.sensor_count; ++i) {
        if (task->HasPeripheral(t.sensors[i])) {
            return true;
        }
    }
    return false;
}

// Keys of the levels answered scaled under the compatibility bit.
uint32_t CompatibilityLevel(uint8_t key, uint32_t stored) {
    switch (key) {
        case 8:
            return stored / kPhotocellDivisor;
        case 12:
        case 16:
            return stored / 2u;
        default:
            return stored;
    }
}

}  // namespace

uintptr_t* var_illum(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    uintptr_t* answer = MibServeColumn(kIllum, row, mode, pdu, index, 0, 0, value_length);
    if (answer != nullptr && row->type != kMibTypeOctets && FeatureBit(kCompatibilityBit)) {
        *answer = CompatibilityLevel(row->key, static_cast<uint32_t>(*answer));
    }
    return answer;
}

uintptr_t* var_dmsStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kStatus, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_statMultiFieldEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibIndexedInstance(row, name, *name_length, mode, value_length, kMultiFieldRows) == 0) {
        return nullptr;
    }
    return MibServeKeyedColumn(kMultiFields, kMultiFieldRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_statPower(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kPower, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_statTemp(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    for (const Temperature& t : kTemperatures) {
        if (t.key != row->key) {
            continue;
        }
        if (FeatureBit(kSensorTemperaturesBit) && !AnySensorLive(t)) {
            return nullptr;
        }
        const auto stored = static_cast<int8_t>(g_DataBase.Get(*t.object));
        return MibAnswerWord(pdu, index, static_cast<uint32_t>(static_cast<int32_t>(stored)),
                             value_length);
    }
    return MibServeKeyedScalar(kSensorMaps, row, name, name_length, mode, value_length, pdu, index);
}
