#pragma once
// Binds a booted monitor to the running kernel instance:
//   - the time-of-day clock and the watchdog follow tx_time_get;
//   - the "MicromonitorMutex" lock hooks run only in thread context (start-up,
//     timer and interrupt context call the monitor unlocked: they never wait);
//   - the watchdog model gets the kernel timer "hardware watchdog", re-armed at
//     every switch and service, so a stepped clock jumps straight to a bite;
//   - a board reset (mon_restart, a bite) asks the kernel to stop; a firmware
//     thread that called mon_restart stays suspended until the kernel ends it.
// Call from start-up context (or before the kernel starts); one binding at a
// time.

#include "platform/monitor/monitor.h"

namespace monitor {

bool BindKernel(Monitor* m);
void UnbindKernel(Monitor* m);

}  // namespace monitor
