#include "schedule/time_base_schedule.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_oid.h"

namespace time_base_schedule {

namespace {

// dmsActionIndex: an event's action OID is this prefix and the action number.
constexpr uint32_t kActionPrefix[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 8, 2, 1, 1};
constexpr uint32_t kPrefixLength = std::size(kActionPrefix);

struct Masks {
    uint32_t month = 0;
    uint32_t day = 0;
    uint32_t date = 0;
};

Masks RowMasks(uint32_t row) {
    return {g_DataBase.Get(dbo::timeBaseScheduleMonth, row),
            g_DataBase.Get(dbo::timeBaseScheduleDay, row),
            g_DataBase.Get(dbo::timeBaseScheduleDate, row)};
}

bool Matches(const Masks& m, const std::tm& date) {
    const auto bit = [](uint32_t mask, int n) { return n >= 0 && n < 32 && (mask >> n) & 1u; };
    return bit(m.month, date.tm_mon + 1) && bit(m.day, date.tm_wday + 1) &&
           bit(m.date, date.tm_mday);
}

bool Narrower(const Masks& candidate, const Masks& choice) {
    return std::popcount(candidate.month) < std::popcount(choice.month) ||
           std::popcount(candidate.day) < std::popcount(choice.day) ||
           std::popcount(candidate.date) < std::popcount(choice.date);
}

uint32_t EventRow(uint32_t dayPlan, uint32_t event) {
    return kEvents * (dayPlan - 1) + (event - 1);
}

// The event's action OID; its sub-identifier count (at most kOidCapacity).
uint32_t ReadActionOid(uint32_t dayPlan, uint32_t event, uint32_t* subids) {
    uint8_t bytes[4 * kOidCapacity] = {};
    const DbObject& column = dbo::dayPlanActionNumberOID;
    const uint32_t length = g_DataBase.ReadString(column.Row(EventRow(dayPlan, event)),
                                                  column.image, bytes, sizeof bytes);
    const uint32_t kept = std::min<uint32_t>(length, sizeof bytes) / 4;
    BytesToOid(subids, bytes, 4 * kept);
    return kept;
}

// True when the OID names a row of the action table: the prefix and one more sub-identifier.
bool NamesAction(const uint32_t* subids, uint32_t count) {
    return count > kPrefixLength &&
           std::equal(kActionPrefix, kActionPrefix + kPrefixLength, subids);
}

}  // namespace

int ChooseEntry(const std::tm& date) {
    int choice = -1;
    Masks chosen;
    for (uint32_t row = 0; row < kEntries; ++row) {
        const Masks m = RowMasks(row);
        if (!Matches(m, date)) {
            continue;
        }
        if (choice < 0 || Narrower(m, chosen)) {
            choice = int(row);
            chosen = m;
        }
    }
    return choice;
}

uint32_t DayPlanOf(int entry) {
    if (entry < 0 || uint32_t(entry) >= kEntries) {
        return 0;
    }
    const uint32_t plan = g_DataBase.Get(dbo::timeBaseScheduleDayPlan, uint32_t(entry));
    return plan >= 1 && plan <= kDayPlans ? plan : 0;
}

uint32_t EventInEffect(uint32_t dayPlan, int hour, int minute) {
    if (dayPlan < 1 || dayPlan > kDayPlans) {
        return 0;
    }
    const int now = hour * 60 + minute;
    uint32_t found = 0;
    int foundAt = -1;
    for (uint32_t event = 1; event <= kEvents; ++event) {
        const uint32_t row = EventRow(dayPlan, event);
        const uint32_t h = g_DataBase.Get(dbo::dayPlanHour, row);
        const uint32_t m = g_DataBase.Get(dbo::dayPlanMinute, row);
        if (h > 23 || m > 59) {
            continue;  // no such time of day
        }
        uint32_t subids[kOidCapacity];
        if (!NamesAction(subids, ReadActionOid(dayPlan, event, subids))) {
            continue;
        }
        const int at = int(h * 60 + m);
        if (at <= now && at >= foundAt) {
            found = event;
            foundAt = at;
        }
    }
    return found;
}

uint32_t ActionNumber(uint32_t dayPlan, uint32_t event) {
    if (dayPlan < 1 || dayPlan > kDayPlans || event < 1 || event > kEvents) {
        return 0;
    }
    uint32_t subids[kOidCapacity];
    const uint32_t count = ReadActionOid(dayPlan, event, subids);
    if (!NamesAction(subids, count)) {
        return 0;
    }
    const uint32_t n = subids[kPrefixLength];
    return n >= 1 && n <= kMaxAction ? n : 0;
}

}  // namespace time_base_schedule
