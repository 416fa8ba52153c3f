#include "peripherals/clock.h"

#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"

namespace {

constexpr uint32_t kGlobalTimeRegs[4] = {0xF0100001, 0xF0100003, 0xF0100005, 0xF0100007};
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

}  // namespace

void SecondsToDateTime(uint32_t seconds, std::tm* out) {
    if (out == nullptr) {
        return;
    }
    const int64_t days = seconds / kSecondsPerDay;
    const int64_t rest = seconds % kSecondsPerDay;
    int64_t y = 0, m = 0, d = 0;
    CivilFromDays(days, &y, &m, &d);
    *out = std::tm{};
    out->tm_sec = int(rest % 60);
    out->tm_min = int(rest / 60 % 60);
    out->tm_hour = int(rest / 3600);
    out->tm_mday = int(d);
    out->tm_mon = int(m - 1);
    out->tm_year = int(y - 1900);
    out->tm_wday = int((days + 4) % 7);  // 1970-01-01 was a Thursday
    out->tm_yday = int(days - DaysFromCivil(y, 1, 1));
    out->tm_isdst = 0;
}

bool DateTimeToSeconds(const std::tm* in, uint32_t* seconds) {
    if (in == nullptr || seconds == nullptr) {
        return false;
    }
    int64_t year = int64_t(in->tm_year) + 1900;
    int64_t month = in->tm_mon;
    year += month >= 0 ? month / 12 : (month - 11) / 12;
    month = ((month % 12) + 12) % 12;
    const int64_t days = DaysFromCivil(year, month + 1, 1) + in->tm_mday - 1;
    const int64_t total =
        days * kSecondsPerDay + int64_t(in->tm_hour) * 3600 + int64_t(in->tm_min) * 60 + in->tm_sec;
    if (total < 0 || total > int64_t(UINT32_MAX)) {
        return false;
    }
    *seconds = uint32_t(total);
    return true;
}

CClock::CClock(Objects objects) : CPeripheral(0, kId), objects_(std::move(objects)) {
    name = "CLOCK";
    pollDivider = 0;
    enabled = 1;
}

uint32_t CClock::ReadGlobalTime() {
    uint32_t value = 0;
    for (uint32_t reg : kGlobalTimeRegs) {
        value = (value << 8) | hw::Read8(reg);
    }
    return value;
}

bool CClock::Evaluate(uint32_t* local) {
    const uint32_t global = ReadGlobalTime();
    if (global == 0 || global == 0xFFFFFFFFu) {
        state = kSettingUp;
        return false;
    }
    int32_t zone = 0;
    if (objects_.get) {
        zone = int32_t(objects_.get(kStandardTimeZone, 4, true));
    }
    *local = uint32_t(int64_t(global) + zone);
    state = kValid;
    return true;
}

void CClock::WriteGlobalTime(uint32_t seconds) {
    for (int i = 0; i < 4; ++i) {
        hw::Write8(kGlobalTimeRegs[i], uint8_t(seconds >> (24 - 8 * i)));
    }
    written_ = seconds;
}

bool CClock::BoardTime(uint32_t* seconds) {
    std::tm now{};
    return mon_get_time(&now) == 0 && DateTimeToSeconds(&now, seconds);
}

void CClock::FollowBoardTime() {
    const uint32_t global = ReadGlobalTime();
    // Registers that hold no time (cleared, or never written on a new board) take the board's
    // clock: a controller whose clock was never set still counts the time.
    const bool held = global != 0 && global != 0xFFFFFFFFu;
    if (held && global != written_) {
        // Set from outside (globalTime written): the board's clock takes it over.
        std::tm set{};
        SecondsToDateTime(global, &set);
        mon_set_time(&set);
        written_ = global;
        return;
    }
    uint32_t board = 0;
    if (BoardTime(&board) && board != global) {
        WriteGlobalTime(board);
    }
}

void CClock::Poll() {
    if (first_) {
        // The first tick after the restart: the board's clock against the time saved before;
        // globalTime goes on from the board's clock.
        first_ = false;
        savedAtStart_ = ReadGlobalTime();
        uint32_t seconds = 0;
        const bool saved = savedAtStart_ != 0 && savedAtStart_ != 0xFFFFFFFFu;
        if (saved && BoardTime(&seconds) && seconds >= savedAtStart_) {
            powerOff_ = seconds - savedAtStart_;
            powerOffKnown_ = true;
            WriteGlobalTime(seconds);
        } else if (saved) {
            written_ = savedAtStart_;
        } else {
            FollowBoardTime();
        }
    } else {
        FollowBoardTime();
    }
    uint32_t local = 0;
    if (Evaluate(&local) && objects_.set) {
        objects_.set(kControllerLocalTime, 4, local, false);
        objects_.set(kDaylightState, 1, 1, false);
    }
}

bool CClock::GetLocalTime(uint32_t* seconds) {
    uint32_t local = 0;
    if (seconds == nullptr || !Evaluate(&local)) {
        return false;
    }
    *seconds = local;
    return true;
}

bool CClock::GetLocalDateTime(std::tm* out) {
    uint32_t local = 0;
    if (out == nullptr || !GetLocalTime(&local)) {
        return false;
    }
    SecondsToDateTime(local, out);
    return true;
}

bool CClock::GetPowerOffTime(uint32_t* seconds) {
    if (seconds == nullptr || !powerOffKnown_) {
        return false;
    }
    *seconds = powerOff_;
    return true;
}
