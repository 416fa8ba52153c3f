#pragma once
// Bulk writers (default runs, font import, memory clear, writes by OID) switch change notices and
// validation off around a run. The switch belongs to the calling thread: another thread that
// writes meanwhile is still validated and notified, and two overlapping runs cannot leave the
// switches off for good. A thread can only suppress what the database has enabled.

#include <cstdint>

#include "database/db_types.h"

// Sets the calling thread's two switches from `newFlags` (kDbSwapNotify, kDbSwapValidate: a set
// bit leaves the function on, a clear bit suppresses it) and returns the previous state through
// `previous` in the same coding. Restoring is passing the previous state back.
void db_swap_control_flags(uint32_t newFlags, uint8_t* previous);

// The functions the calling thread suppresses (kDbSwapNotify | kDbSwapValidate bits).
uint8_t DbThreadSuppressed();

// Suppresses notices and validation (unless kept by `keep`) for this thread while in scope.
class DbBulkWriteScope {
public:
    explicit DbBulkWriteScope(uint32_t keep = 0) { db_swap_control_flags(keep, &saved_); }
    ~DbBulkWriteScope() { db_swap_control_flags(saved_, nullptr); }
    DbBulkWriteScope(const DbBulkWriteScope&) = delete;
    DbBulkWriteScope& operator=(const DbBulkWriteScope&) = delete;

private:
    uint8_t saved_ = 0;
};
