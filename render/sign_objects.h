#pragma once
// The object database as the surfaces and fonts see it: the sign settings they read and the
// font table objects. Start-up attaches the controller's database; tests attach their own.
// Without a database every object reads as 0 (full-matrix sign, no fonts).

#include <cstdint>

class CDataBase;

namespace sign_objects {

// The database read by every surface and font from now on; null detaches it.
void AttachDatabase(CDataBase* database);
CDataBase* Database();

// An integer object of the non-volatile image (width 1, 2 or 4).
uint32_t NvInt(uint32_t id, uint32_t width);
// Copies a string object of the non-volatile image into out (at most capacity bytes) and
// returns its length.
uint32_t NvString(uint32_t id, uint8_t* out, uint32_t capacity);

// dmsControlMode (volatile 132).
uint32_t ControlMode();
constexpr uint32_t kControlModeSimulation = 6;
// dmsSignType (NV 57) is 4 or 132.
bool IsCharacterMatrix();
// dmsSignType is 4, 5, 132 or 133.
bool IsCharacterOrLineMatrix();

}  // namespace sign_objects
