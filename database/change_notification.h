#pragma once
// Change notices of the object store: four constant tables, two per image, that turn a notified
// write into a letter for the subscribed tasks and/or bits of the "database" event flags.

#include <cstdint>
#include <span>

#include "database/db_types.h"

// One row: inclusive id range, payload (a letter id or an event-flag mask) and row kind. A row of
// kind 1 matches notices of both kinds, a row of kind 2 only notices of kind 2 (changed).
struct NotifyRow {
    int32_t first;
    int32_t last;
    uint32_t payload;
    uint32_t kind;
};

// Where notices go: the event bus and the "database" event flags group.
class DbNotifySink {
public:
    virtual ~DbNotifySink() = default;
    virtual void PostLetter(uint32_t letterId) = 0;
    virtual void SetEventFlags(uint32_t bits) = 0;  // OR into the group
};

extern const NotifyRow kNvLetterRows[29];
extern const NotifyRow kNvFlagRows[14];
extern const NotifyRow kVolatileLetterRows[4];
extern const NotifyRow kVolatileFlagRows[9];

// 1 and the index of the first row that matches the id and notice kind, else 0.
int MatchNotifyRow(uint32_t id, uint32_t kind, std::span<const NotifyRow> table, uint32_t* index);

// The notices of one notified write: at most one letter of the image's letter table, one set of
// bits of its flag table and, for a changed NV object of the configuration catalogue, letter 93.
void PostChangeNotices(uint32_t id, DbImage image, uint32_t kind, DbNotifySink& sink);
