#pragma once
// The board's hardware watchdog: while switched on it must be serviced
// within its period (in kernel ticks) or it bites, which resets the board.

#include <cstdint>

namespace monitor {

class Watchdog {
public:
    static constexpr uint32_t kDefaultPeriod = 300;  // 3 s at 100 ticks per second

    void SetPeriod(uint32_t ticks) { period_ = ticks ? ticks : 1; }
    uint32_t Period() const { return period_; }
    void Control(bool on, uint32_t now) {
        on_ = on;
        last_ = now;
    }
    void Kick(uint32_t now) {
        last_ = now;
        kicks_++;
    }
    bool On() const { return on_; }
    uint32_t Kicks() const { return kicks_; }
    // True once the period has gone by without a kick while on.
    bool Expired(uint32_t now) const { return on_ && uint32_t(now - last_) >= period_; }

private:
    uint32_t period_ = kDefaultPeriod;
    uint32_t last_ = 0;
    uint32_t kicks_ = 0;
    bool on_ = false;
};

}  // namespace monitor
