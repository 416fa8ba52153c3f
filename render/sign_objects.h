#pragma once
// The sign settings that surfaces and fonts read from the object database.

#include <cstdint>

namespace sign_objects {

constexpr uint32_t kDmsControlMode = 132;  // volatile, 1 byte
constexpr uint32_t kDmsSignType = 57;      // NV, 1 byte
constexpr uint32_t kControlModeSimulation = 6;

// dmsControlMode.
uint32_t ControlMode();
// dmsSignType is 4 or 132.
bool IsCharacterMatrix();
// dmsSignType is 4, 5, 132 or 133.
bool IsCharacterOrLineMatrix();

}  // namespace sign_objects
