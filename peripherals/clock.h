#pragma once
// The clock peripheral (id 90): keeps globalTime in the battery-backed registers going with the
// board's time-of-day clock and gives local time from it and the standard time zone; and the
// conversions between seconds since 1970 and a broken-down time.
// Daylight-saving rules are not applied by this stand-in (the state object reads 1).

#include <cstdint>
#include <ctime>
#include <functional>

#include "peripherals/peripheral.h"

// Seconds since 1970-01-01 to second, minute, hour, day of month 1-31, month 0-11, years since
// 1900, day of week 0-6 (0 Sunday), day of year 0-365; daylight flag 0.
void SecondsToDateTime(uint32_t seconds, std::tm* out);
// The inverse (fields out of range are normalised the way days and months add up); false for a
// null record or a time before 1970 or beyond 32 bits.
bool DateTimeToSeconds(const std::tm* in, uint32_t* seconds);

class CClock : public CPeripheral {
public:
    static constexpr uint16_t kId = 90;
    static constexpr uint32_t kStandardTimeZone = 48852;     // NV, 4 bytes, signed seconds
    static constexpr uint32_t kControllerLocalTime = 12268;  // volatile, 4 bytes
    static constexpr uint32_t kDaylightState = 25209;        // volatile, 1 byte

    struct Objects {
        std::function<uint32_t(uint32_t id, uint32_t width, bool nv)> get;
        std::function<void(uint32_t id, uint32_t width, uint32_t value, bool nv)> set;
    };

    explicit CClock(Objects objects = {});

    // Reads the registers, evaluates the local time and stores it (controllerLocalTime).
    void Poll() override;
    // False while globalTime holds no time (0 after a battery loss).
    bool GetLocalTime(uint32_t* seconds);
    bool GetLocalDateTime(std::tm* out);
    // Seconds between the globalTime saved before the restart and the first tick after it.
    bool GetPowerOffTime(uint32_t* seconds);

    // globalTime from the battery-backed registers.
    static uint32_t ReadGlobalTime();

private:
    bool Evaluate(uint32_t* local);
    // globalTime follows the board's time-of-day clock from poll to poll; a globalTime written
    // from outside sets that clock instead. Registers without a time take the clock's.
    void FollowBoardTime();
    void WriteGlobalTime(uint32_t seconds);
    static bool BoardTime(uint32_t* seconds);

    Objects objects_;
    bool first_ = true;
    uint32_t savedAtStart_ = 0;
    uint32_t powerOff_ = 0;
    bool powerOffKnown_ = false;
    uint32_t written_ = 0;  // the globalTime this clock last wrote or took over
};
