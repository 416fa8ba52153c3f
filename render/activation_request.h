#pragma once
// Writing a request into one of the seven activation request slots, as every writer does: the
// source mode and origin first, then the code, all notified (the code write posts the letter
// that has the display task serve the slots).

#include <cstdint>

#include "database/data_base.h"
#include "render/msg_activation_code.h"

void WriteActivationRequest(CDataBase& db, uint32_t slot, uint32_t sourceMode, uint32_t origin,
                            const CMsgActivationCode& code);
