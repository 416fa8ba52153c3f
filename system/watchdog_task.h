#pragma once
// The watchdog task: supervises the other tasks through their kick letters, services the board's
// hardware watchdog through the boot monitor, offers the nested switch-off of the hardware
// watchdog, and carries out controlled restarts.

#include <cstdint>

#include "runtime/standard_task.h"

class CWatchdogTask : public CStandardTask {
public:
    static constexpr int kSlots = 6;
    static constexpr uint32_t kReload = 600;
    static constexpr ULONG kNesting = 200;
    static constexpr uint16_t kWaitBudget = 20;

    enum ResetState : uint8_t { kIdle = 0, kRequested = 1, kWaiting = 2, kResetting = 3 };
    enum ResetReason : uint8_t { kRestart = 0, kShutdown = 1, kPowerLoss = 2, kDefrag = 3 };

    explicit CWatchdogTask(PostOffice& office);
    ~CWatchdogTask() override;

    // Nested switch-off of the hardware watchdog: every disable must be matched by one enable;
    // the outermost enable switches it on again. An enable without a disable is ignored.
    void DisableWatchdogTimer();
    void EnableWatchdogTimer();
    void KickWatchdogTimer();

    // One part of the cycle each (Run calls them in this order after the mailbox).
    void CountDown();
    void ResetSequence();

    static const char* SlotName(int slot);

    uint8_t resetState = kIdle;
    uint8_t resetReason = kRestart;
    uint32_t reload[kSlots] = {};
    uint32_t counter[kSlots] = {};
    TX_MUTEX mutex{};
    TX_SEMAPHORE nesting{};
    uint8_t enabled = 0;
    uint16_t waitBudget = kWaitBudget;

protected:
    void Init() override;
    void OnLetter(letter_s& letter) override;
    void Work() override;
    void OnSuspend() override;
    void OnResume() override;

private:
    bool mutexCreated_ = false;
    bool semaphoreCreated_ = false;
};

// The one watchdog task (null before start-up builds it).
CWatchdogTask* WatchdogTask();

// 1 while the watchdog task services the hardware watchdog.
int IsWatchdogEnabled();

// Restarts. On this host the hardware restart ends the boot and the calling thread never runs
// again; from start-up context they return once the restart is requested.
void SystemReset();
void EthernetReset();
void DefragReset();

// Bit 0x04: write CONFIG.XML before a controlled restart.
extern uint8_t g_ResetOptions;

// Steps of other subsystems the restarts use (null: skipped).
struct WatchdogResetHooks {
    void (*bootCounter)(int stage);  // counts the boot attempt (stage 1)
    void (*writeConfigFile)();       // writes CONFIG.XML on the system drive
};
void SetWatchdogResetHooks(const WatchdogResetHooks& hooks);
