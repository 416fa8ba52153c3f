#pragma once
// The journal's services on the board: the boot monitor's flash file system and the kernel's
// mutexes, thread priority and sleep.

#include <cstdint>

#include "database/journal_services.h"
#include "platform/kernel/tx_api.h"

class MonitorJournalServices : public JournalServices {
public:
    const uint8_t* Stat(const char* name, uint32_t* size) override;
    int Add(const char* name, uint32_t size) override;
    int Ipmod(const char* name, const void* data, uint32_t offset, uint32_t size) override;
    int Unlink(const char* name) override;
    long Available() override;
    long DeadSpace() override;
    // Runs the restart hook (the watchdog task's DefragReset) when one is set.
    void RequestDefragRestart() override;

    bool CreateLocks() override;
    bool Take(Lock lock) override;
    void Give(Lock lock) override;
    unsigned SetPriority(unsigned priority) override;
    void Sleep(uint32_t ticks) override;

    void SetDefragRestart(void (*restart)()) { defragRestart_ = restart; }

private:
    TX_MUTEX* Mutex(Lock lock) { return lock == Lock::kFlash ? &flash_ : &delete_; }

    TX_MUTEX flash_{};
    TX_MUTEX delete_{};
    void (*defragRestart_)() = nullptr;
};
