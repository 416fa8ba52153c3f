#include "platform/monitor/kernel_binding.h"

#include <chrono>

#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace monitor {
namespace {

TX_TIMER g_timer;
bool g_timerCreated = false;

// The ticks of the bound kernel while it runs. Once it is stopping (a reset, a stop from
// outside) or gone, the last count read stands: a dying kernel answers 0, and the clock that
// follows these ticks would fall back to the time of the boot and keep it through the battery.
uint64_t g_boundKernel = 0;
uint32_t g_lastTicks = 0;

uint32_t KernelTicks() {
    kernel::Kernel* k = kernel::Kernel::Current();
    if (k != nullptr && k->id() == g_boundKernel && !k->StopRequested()) {
        const uint32_t now = tx_time_get();
        if (now - g_lastTicks < 0x80000000u) {  // forward, also across the wrap of the count
            g_lastTicks = now;
        }
    }
    return g_lastTicks;
}
uint64_t HostMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}
bool InThread() {
    return kernel::CurrentContext() == kernel::Context::kThread;
}

void Expired(ULONG_PTR) {
    if (Monitor* m = Monitor::Active())
        m->PollWatchdog();
}

void Arm(uint32_t ticks) {
    if (!g_timerCreated || kernel::Kernel::Current() == nullptr)
        return;
    tx_timer_deactivate(&g_timer);
    tx_timer_change(&g_timer, ticks ? ticks : 1, 0);
    tx_timer_activate(&g_timer);
}

void Disarm() {
    if (g_timerCreated && kernel::Kernel::Current() != nullptr)
        tx_timer_deactivate(&g_timer);
}

void Restart(RestartCause, int) {
    if (kernel::Kernel* k = kernel::Kernel::Current())
        k->Stop();
    if (InThread()) {
        // The board is resetting: this thread never runs again.
        for (;;)
            tx_thread_suspend(tx_thread_identify());
    }
}

}  // namespace

bool BindKernel(Monitor* m) {
    if (m == nullptr || kernel::Kernel::Current() == nullptr)
        return false;
    // The timer may belong to this kernel (bound again) or to an earlier
    // instance, which this one does not know: delete, then create afresh.
    if (g_timerCreated)
        tx_timer_delete(&g_timer);
    g_timerCreated = false;
    if (tx_timer_create(&g_timer, "hardware watchdog", Expired, 0, 1, 0, TX_NO_ACTIVATE) !=
        TX_SUCCESS) {
        return false;
    }
    g_timerCreated = true;
    g_boundKernel = kernel::Kernel::Current()->id();
    g_lastTicks = tx_time_get();
    m->SetTickSource(KernelTicks);
    m->SetThreadProbe(InThread);
    m->SetWatchdogTimer(Arm, Disarm);
    m->SetRestartHook(Restart);
    const kernel::Kernel* k = kernel::Kernel::Current();
    m->SetHostClock(k->clock() == kernel::ClockMode::kRealTime && k->time_scale() > 1.0 ? HostMs
                                                                                        : nullptr);
    if (m->GetWatchdog().On())
        Arm(m->GetWatchdog().Period());
    return true;
}

void UnbindKernel(Monitor* m) {
    if (m != nullptr) {
        m->SetWatchdogTimer(nullptr, nullptr);
        m->SetHostClock(nullptr);
        m->SetRestartHook(nullptr);
        m->SetThreadProbe(nullptr);
        m->SetTickSource(nullptr);
    }
    if (g_timerCreated && kernel::Kernel::Current() != nullptr)
        tx_timer_delete(&g_timer);
    g_timerCreated = false;
}

}  // namespace monitor
