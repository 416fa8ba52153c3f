#include "database/write_mode_scope.h"

namespace {
thread_local uint8_t t_suppressed = 0;
}  // namespace

void db_swap_control_flags(uint32_t newFlags, uint8_t* previous) {
    const uint8_t mask = kDbSwapNotify | kDbSwapValidate;
    if (previous != nullptr) {
        *previous = static_cast<uint8_t>(~t_suppressed & mask);
    }
    t_suppressed = static_cast<uint8_t>(~newFlags & mask);
}

uint8_t DbThreadSuppressed() {
    return t_suppressed;
}
