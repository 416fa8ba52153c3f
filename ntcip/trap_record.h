#pragma once
// One queued trap: up to 10 variables whose values are copied into the record's
// own value areas (at most 20 octets each), and the time after which it is
// dropped unsent.

#include <cstdint>

constexpr uint32_t kTrapMaxVarbinds = 10;
constexpr uint32_t kTrapValueArea = 20;
constexpr uint32_t kTrapMaxName = 40;

struct trap_varbind {
    uint32_t name[kTrapMaxName];
    uint32_t name_length;
    uint8_t syntax;  // SnmpSyntax
    uint32_t value_length;
    // The 32-bit number for the integer syntaxes, the octets otherwise (an OBJECT
    // IDENTIFIER as 32-bit sub-identifiers, value_length = 4 x count).
    const void* value;
};

struct trap_record {
    uint32_t generic_trap;
    uint32_t specific_trap;
    uint32_t varbind_count;
    trap_varbind varbinds[kTrapMaxVarbinds];
    uint8_t values[kTrapMaxVarbinds][kTrapValueArea];
    uint32_t expiry_time;
};

// Fills the record from the given varbinds, cutting counts, names and values to
// the record's sizes; value pointers then point into the record.
void trap_record_fill(trap_record* record, uint32_t generic, uint32_t specific, uint32_t count,
                      const trap_varbind* varbinds, uint32_t expiry_time);
// Copies varbind i of `from` into `to`, its value into to's own area.
void trap_record_copy_varbind(trap_record* to, const trap_record& from, uint32_t i);
