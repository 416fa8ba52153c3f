#pragma once
// The simulated boot monitor of one board directory. Boot() opens the
// battery-backed registers and the flash, mounts the file system (packing
// it first when bit 0 of the boot flag byte asks, and finishing a packing a
// power cut interrupted), loads the environment, runs "monrc" and makes this
// instance the one behind the mon_* calls. One boot = one Monitor object; a
// test boots the same directory again with a new one.
//
// Board directory:
//   flash.bin    the flash (16 MiB unless made with another size; see tfs.cpp)
//   nvram.bin    battery-backed registers, clock offset, board id (sim/nvram.h)
//   environment  IPADD, NETMASK, GIPADD, ETHERADD as NAME=value lines

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/monitor/console.h"
#include "platform/monitor/environment.h"
#include "platform/monitor/flash.h"
#include "platform/monitor/tfs.h"
#include "platform/monitor/watchdog.h"
#include "platform/sim/nvram.h"
#include "platform/sim/rtc.h"

namespace monitor {

enum class RestartCause { None, Requested, Watchdog };

struct MonitorConfig {
    std::string boardDir = "var/board";
    size_t flashSize = Flash::kDefaultSize;  // for a flash file made new
    uint8_t boardId = sim::kDefaultBoardId;  // for an NVRAM file made new
    std::string buildDate = "Dec  4 2018";
    std::string version = "MicroMonitor-1.0";
    uint32_t watchdogPeriod = Watchdog::kDefaultPeriod;
    int8_t boardTemperature = 25;
    bool runMonrc = true;
    // Armed before the mount, so it also covers a packing at boot.
    std::optional<FaultPlan> faultPlan;
};

class Monitor {
public:
    explicit Monitor(MonitorConfig config);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    bool Boot();
    static Monitor* Active();
    const MonitorConfig& Config() const { return config_; }

    Flash& GetFlash() { return flash_; }
    Tfs& GetTfs() { return tfs_; }
    Console& GetConsole() { return console_; }
    Environment& Env() { return env_; }
    sim::Nvram& Nvram() { return nvram_; }
    sim::Rtc& Rtc() { return *rtc_; }
    Watchdog& GetWatchdog() { return watchdog_; }

    // Kernel seams. Tick source: the kernel's tick counter (the clock and the
    // watchdog follow it). Thread probe: true when the caller runs in thread
    // context (the lock hooks are used only then). Both may be null.
    void SetTickSource(uint32_t (*ticks)());
    void SetThreadProbe(bool (*inThread)()) { inThread_ = inThread; }
    uint32_t Ticks() const { return ticks_ ? ticks_() : 0; }

    // Lock hooks from monConnect.
    void SetLockHooks(void (*lock)(), void (*unlock)()) {
        lock_ = lock;
        unlock_ = unlock;
    }
    // Runs the lock hooks around a service call when in thread context.
    class Guard {
    public:
        explicit Guard(Monitor* m);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        Monitor* m_;
        bool locked_ = false;
    };

    // Board reset: the boot ends with its cause and value recorded; the hook
    // (installed by whoever runs the boot) stops it.
    void SetRestartHook(std::function<void(RestartCause, int)> hook) {
        restartHook_ = std::move(hook);
    }
    void Reset(RestartCause cause, int value);
    RestartCause Cause() const { return cause_; }
    int RestartValue() const { return restartValue_; }
    // Bites when the watchdog is on and was not serviced within its period.
    void PollWatchdog();
    // Timer seam: arm(ticks) asks for one PollWatchdog call that many ticks
    // from now (replacing an earlier request); disarm cancels it. Called
    // whenever the watchdog is switched or serviced.
    void SetWatchdogTimer(void (*arm)(uint32_t ticks), void (*disarm)()) {
        armWatchdog_ = arm;
        disarmWatchdog_ = disarm;
    }
    void WatchdogControl(bool on);
    void WatchdogKick();
    // Host clock seam (milliseconds), set while the board runs faster than real time: the
    // watchdog then bites only once its period has also gone by in host time, so that a host
    // too loaded to keep up with the scaled clock does not reset the board. May be null.
    void SetHostClock(uint64_t (*ms)()) {
        hostMs_ = ms;
        lastServiceMs_ = ms ? ms() : 0;
    }

    // EPLD load: the hook receives the bitstream payload (the EPLD model).
    void SetEpldLoadHook(std::function<bool(const uint8_t*, size_t)> hook) {
        epldHook_ = std::move(hook);
    }
    int LoadEpld(const char* filename);
    uint32_t ServiceCalls(int number) const;
    long Service(int number, long arg1, long arg2);

    // The built-in "tfs" command (ls, rm, cat, stat).
    int TfsCommand(int argc, char* argv[]);

private:
    void RunMonrc();

    MonitorConfig config_;
    sim::Nvram nvram_;
    std::unique_ptr<sim::Rtc> rtc_;
    Flash flash_;
    Tfs tfs_{&flash_};
    Console console_;
    Environment env_;
    Watchdog watchdog_;
    uint32_t (*ticks_)() = nullptr;
    bool (*inThread_)() = nullptr;
    void (*armWatchdog_)(uint32_t) = nullptr;
    void (*disarmWatchdog_)() = nullptr;
    uint64_t (*hostMs_)() = nullptr;
    uint64_t lastServiceMs_ = 0;  // host time of the last switch or kick
    void (*lock_)() = nullptr;
    void (*unlock_)() = nullptr;
    std::function<void(RestartCause, int)> restartHook_;
    std::function<bool(const uint8_t*, size_t)> epldHook_;
    RestartCause cause_ = RestartCause::None;
    int restartValue_ = 0;
    uint32_t service32_ = 0;
    uint32_t service33_ = 0;
    uint32_t service49_ = 0;
    bool booted_ = false;
    class BootVector;
    std::unique_ptr<BootVector> bootVector_;
};

}  // namespace monitor
