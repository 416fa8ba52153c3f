#pragma once
// The board's battery-backed time-of-day clock. While a kernel runs, the
// clock follows its ticks (so the stepped clock of tests moves it too);
// across power-off it follows the host's clock through an offset kept in the
// NVRAM. After a battery loss it starts again at 1 January 2000, 00:00:00.

#include <cstdint>

#include "platform/sim/nvram.h"

namespace sim {

class Rtc {
public:
    using TickSource = uint32_t (*)();
    using HostClock = int64_t (*)();
    static constexpr int64_t kBatteryLostEpoch = 946684800;  // 2000-01-01 00:00:00 UTC

    explicit Rtc(Nvram* nvram);

    // Ticks of the running kernel (null: the host clock alone).
    void SetTickSource(TickSource ticks, uint32_t ticksPerSecond = 100);
    // Seconds since 1970-01-01 UTC.
    int64_t Now();
    void Set(int64_t seconds);
    void Jump(int64_t deltaSeconds) { Set(Now() + deltaSeconds); }

    // Tests replace the host's wall clock (null: the real one).
    static void SetHostClock(HostClock clock);
    static int64_t HostNow();

private:
    void Rebase(int64_t seconds);

    Nvram* nvram_;
    TickSource ticks_ = nullptr;
    uint32_t ticksPerSecond_ = 100;
    int64_t base_ = 0;
    uint32_t baseTick_ = 0;
};

}  // namespace sim
