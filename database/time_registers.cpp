#include "database/time_registers.h"

#include "platform/sim/hw.h"

namespace {
int IndexOf(uint32_t address) {
    for (int i = 0; i < 4; ++i) {
        if (kGlobalTimeRegisters[i] == address) {
            return i;
        }
    }
    return -1;
}
}  // namespace

uint8_t MemoryTimeRegisters::Read(uint32_t address) {
    const int i = IndexOf(address);
    return i < 0 ? 0 : bytes_[i];
}

void MemoryTimeRegisters::Write(uint32_t address, uint8_t value) {
    const int i = IndexOf(address);
    if (i >= 0) {
        bytes_[i] = value;
        ++writes_;
    }
}

uint8_t BoardTimeRegisters::Read(uint32_t address) {
    return hw::Read8(address);
}

void BoardTimeRegisters::Write(uint32_t address, uint8_t value) {
    hw::Write8(address, value);
}

BoardTimeRegisters& BoardTimeRegisters::Instance() {
    static BoardTimeRegisters registers;
    return registers;
}
