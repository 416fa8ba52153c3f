#include "database/time_registers.h"

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
