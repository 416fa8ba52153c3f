#pragma once
// Reading the time-base schedule and day-plan tables: which schedule entry applies on a date,
// which day-plan event is in effect at a time of day, and the action an event names.

#include <cstdint>
#include <ctime>

namespace time_base_schedule {

inline constexpr uint32_t kEntries = 29;
inline constexpr uint32_t kDayPlans = 20;
inline constexpr uint32_t kEvents = 24;
// An action OID is read into this many sub-identifiers (longer values are cut).
inline constexpr uint32_t kOidCapacity = 30;
inline constexpr uint32_t kMaxAction = 255;

// The schedule row (0-based) that applies on the date, -1 when none: among the rows whose month,
// day-of-week and day-of-month bits are all set, the first in row order, replaced by a later
// one that has fewer bits in any of its three masks.
int ChooseEntry(const std::tm& date);

// The day plan (1..20) of a schedule row; 0 when the row holds a number outside 1..20.
uint32_t DayPlanOf(int entry);

// The event (1-based) of the day plan in effect at hour:minute: the latest event not later than
// that time whose action names a row of the action table, the higher event number on a tie;
// 0 when none.
uint32_t EventInEffect(uint32_t dayPlan, int hour, int minute);

// The action number (the sub-identifier after the action table's index prefix) of an event;
// 0 when the event names no action row.
uint32_t ActionNumber(uint32_t dayPlan, uint32_t event);

}  // namespace time_base_schedule
