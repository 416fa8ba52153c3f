#include "platform/sim/rtc.h"

#include <ctime>

namespace sim {
namespace {
Rtc::HostClock g_hostClock = nullptr;
}

void Rtc::SetHostClock(HostClock clock) {
    g_hostClock = clock;
}

int64_t Rtc::HostNow() {
    if (g_hostClock != nullptr) {
        return g_hostClock();
    }
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec;
}

Rtc::Rtc(Nvram* nvram) : nvram_(nvram) {
    if (nvram_ != nullptr && !nvram_->ClockValid()) {
        Set(kBatteryLostEpoch);
    }
}

void Rtc::Rebase(int64_t seconds) {
    base_ = seconds;
    baseTick_ = ticks_ ? ticks_() : 0;
}

void Rtc::SetTickSource(TickSource ticks, uint32_t ticksPerSecond) {
    int64_t now = Now();
    ticks_ = ticks;
    ticksPerSecond_ = ticksPerSecond ? ticksPerSecond : 100;
    Rebase(now);
}

int64_t Rtc::Now() {
    int64_t host = HostNow();
    int64_t offset = nvram_ ? nvram_->ClockOffset() : 0;
    if (ticks_ == nullptr) {
        return host + offset;
    }
    uint32_t elapsed = ticks_() - baseTick_;  // wraps safely
    int64_t now = base_ + elapsed / ticksPerSecond_;
    // Keep the battery-backed offset current, so the next power-up goes on
    // from here even when the stepped clock ran ahead of the host's.
    if (nvram_ != nullptr && now - host != offset) {
        nvram_->SetClockOffset(now - host);
    }
    return now;
}

void Rtc::Set(int64_t seconds) {
    if (nvram_ != nullptr) {
        nvram_->SetClockOffset(seconds - HostNow());
    }
    Rebase(seconds);
}

}  // namespace sim
