#include "runtime/task_base.h"

#include <cstring>

#include "platform/kernel/kernel.h"
#include "runtime/debug_print.h"
#include "runtime/os_wrappers.h"

CTaskBase::CTaskBase(const char* name, uint32_t stackSize, uint32_t priority, uint32_t timeSlice,
                     uint32_t firstTick, uint32_t period)
    : name(name),
      stackSize(stackSize),
      priority(priority),
      timeSlice(timeSlice),
      firstTick(firstTick),
      period(period) {}

int CTaskBase::Run() {
    ++runs;
    return 0;
}

bool CTaskBase::Create(TX_BYTE_POOL* pool, TX_THREAD_ENTRY entry, TX_TIMER_EXPIRY timerCallback,
                       ULONG_PTR input) {
    if (state == kCreated || entry == nullptr) {
        return false;
    }
    void* block = nullptr;
    if (os_byte_allocate(pool, &block, stackSize, TX_NO_WAIT) != OS_SUCCESS) {
        return false;
    }
    std::memset(block, kStackPaint, stackSize);
    if (os_event_flags_create(&events, name) != OS_SUCCESS) {
        os_byte_release(block);
        return false;
    }
    // The thread comes last: it must find its group and timer, and a failure must never give
    // back a stack under a live thread.
    if (timerCallback != nullptr && tx_timer_create(&timer, name, timerCallback, input, firstTick,
                                                    period, TX_AUTO_ACTIVATE) != TX_SUCCESS) {
        os_event_flags_delete(&events);
        os_byte_release(block);
        return false;
    }
    if (tx_thread_create(&thread, name, entry, input, block, stackSize, priority, priority,
                         timeSlice, TX_AUTO_START) != TX_SUCCESS) {
        if (timerCallback != nullptr) {
            tx_timer_deactivate(&timer);
            tx_timer_delete(&timer);
        }
        os_event_flags_delete(&events);
        os_byte_release(block);
        return false;
    }
    stack = static_cast<uint8_t*>(block);
    if (timerCallback != nullptr) {
        hasTimer = true;
        runsPerSecond = static_cast<uint8_t>(period == 0 ? 0 : kernel::kTicksPerSecond / period);
        createdTick = tx_time_get();
    }
    state = kCreated;
    return true;
}

bool CTaskBase::Resume() {
    if (hasTimer) {
        tx_timer_activate(&timer);
    }
    tx_thread_resume(&thread);
    return true;
}

bool CTaskBase::Suspend() {
    if (hasTimer) {
        tx_timer_deactivate(&timer);
    }
    tx_thread_suspend(&thread);
    return true;
}

void CTaskBase::GetUptimeSeconds(uint32_t* seconds) const {
    if (seconds == nullptr) {
        return;
    }
    const uint64_t elapsed = uint64_t{ticks} * period / kernel::kTicksPerSecond;
    *seconds = static_cast<uint32_t>(elapsed);
}

void CTaskBase::GetUptime(std::tm* time) const {
    uint32_t seconds = 0;
    GetUptimeSeconds(&seconds);
    SecondsToUptime(seconds, time);
}

void CTaskBase::SecondsToUptime(uint32_t s, std::tm* time) {
    if (time == nullptr) {
        return;
    }
    time->tm_sec = static_cast<int>(s % 60);
    time->tm_min = static_cast<int>((s / 60) % 60);
    time->tm_hour = static_cast<int>((s / 3600) % 24);
    time->tm_yday = static_cast<int>((s / 86400) % 365);
    time->tm_year = static_cast<int>(s / 31536000);
}

uint32_t CTaskBase::UntouchedStackBytes(const uint8_t* stack, uint32_t size) {
    uint32_t i = 0;
    while (i < size && stack[i] == kStackPaint) {
        ++i;
    }
    return i;
}

bool CTaskBase::StackReport(const char* name, const uint8_t* stack, uint32_t size) {
    if (stack == nullptr) {
        return false;
    }
    const uint32_t i = UntouchedStackBytes(stack, size);
    if (i == size) {
        return false;
    }
    // Board addresses are 32 bits: the low word of the host address stands for them.
    const auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stack));
    DebugPrint("%s Stack Used: %d/%d. 0x%08X-0x%08X Current:0x%08X\n", name,
               static_cast<int>(size - i), static_cast<int>(size), low, low + size, low + i);
    return true;
}

void CTaskBase::StackReport() {
    if (state != kCreated) {
        return;
    }
    // The thread runs on a host stack: mirror its use into the painted stack first.
    kernel::MirrorStackUse(&thread);
    StackReport(name, stack, stackSize);
}
