#include "ntcip/trap_record.h"

#include <algorithm>
#include <cstring>

namespace {

void CopyVarbind(trap_record* to, uint32_t i, const trap_varbind& from) {
    trap_varbind& v = to->varbinds[i];
    v.name_length = std::min(from.name_length, kTrapMaxName);
    std::memcpy(v.name, from.name, v.name_length * sizeof(uint32_t));
    v.syntax = from.syntax;
    v.value_length = std::min(from.value_length, kTrapValueArea);
    std::memset(to->values[i], 0, kTrapValueArea);
    if (from.value != nullptr) {
        std::memcpy(to->values[i], from.value, v.value_length);
    }
    v.value = to->values[i];
}

}  // namespace

void trap_record_fill(trap_record* record, uint32_t generic, uint32_t specific, uint32_t count,
                      const trap_varbind* varbinds, uint32_t expiry_time) {
    record->generic_trap = generic;
    record->specific_trap = specific;
    record->varbind_count = std::min(count, kTrapMaxVarbinds);
    record->expiry_time = expiry_time;
    for (uint32_t i = 0; i < record->varbind_count && varbinds != nullptr; ++i) {
        CopyVarbind(record, i, varbinds[i]);
    }
}

void trap_record_copy_varbind(trap_record* to, const trap_record& from, uint32_t i) {
    CopyVarbind(to, i, from.varbinds[i]);
}
