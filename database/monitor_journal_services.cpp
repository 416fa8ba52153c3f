#include "database/monitor_journal_services.h"

#include "platform/monitor/mon.h"
#include "runtime/os_wrappers.h"

const uint8_t* MonitorJournalServices::Stat(const char* name, uint32_t* size) {
    const TFILE* header = name != nullptr ? mon_tfsstat(name) : nullptr;
    if (header == nullptr) {
        return nullptr;
    }
    if (size != nullptr) {
        *size = header->filsize;
    }
    return reinterpret_cast<const uint8_t*>(header) + header->hdrsize;
}

int MonitorJournalServices::Add(const char* name, uint32_t size) {
    return mon_tfsadd(name, "", "i", nullptr, static_cast<long>(size));
}

int MonitorJournalServices::Ipmod(const char* name, const void* data, uint32_t offset,
                                  uint32_t size) {
    return mon_tfsipmod(name, data, static_cast<long>(offset), static_cast<long>(size));
}

int MonitorJournalServices::Unlink(const char* name) {
    return mon_tfsunlink(name);
}

long MonitorJournalServices::Available() {
    return mon_tfsctrl(TFS_AVAILABLE, 0, 0);
}

long MonitorJournalServices::DeadSpace() {
    return mon_tfsctrl(TFS_DEADSPACE, 0, 0);
}

void MonitorJournalServices::RequestDefragRestart() {
    if (defragRestart_ != nullptr) {
        defragRestart_();
    }
}

bool MonitorJournalServices::CreateLocks() {
    const bool flash = os_mutex_create(&flash_, "Flash Database Mutex", TX_INHERIT) == OS_SUCCESS;
    const bool remove = os_mutex_create(&delete_, "Delete Object", TX_INHERIT) == OS_SUCCESS;
    return flash && remove;
}

bool MonitorJournalServices::Take(Lock lock) {
    return os_mutex_get(Mutex(lock), TX_WAIT_FOREVER) == OS_SUCCESS;
}

void MonitorJournalServices::Give(Lock lock) {
    os_mutex_put(Mutex(lock));
}

unsigned MonitorJournalServices::SetPriority(unsigned priority) {
    TX_THREAD* self = tx_thread_identify();
    UINT previous = priority;
    if (self != nullptr) {
        tx_thread_priority_change(self, priority, &previous);
    }
    return previous;
}

void MonitorJournalServices::Sleep(uint32_t ticks) {
    os_thread_sleep(ticks);
}
