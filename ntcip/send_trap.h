#pragma once
// Sending a trap to every interface. The interfaces (CNTCIP) belong to communications, above the
// agent, so the agent's own callers (event logging) send through this hook, which communications
// points at CNTCIP::SendTrap. Trap distribution to the interfaces is not built yet: the queueing
// stand-in fills a record (expiring after brenTrapsExpirationDuration minutes when that is not 0)
// and queues it in g_TrapBuffer, with no destination filtering.

#include <cstdint>

#include "ntcip/trap_record.h"

using NtcipSendTrapFn = int (*)(uint32_t generic, uint32_t specific, uint32_t count,
                                const trap_varbind* varbinds);

// Sends through the installed hook (the queueing stand-in when none is installed).
int ntcip_send_trap(uint32_t generic, uint32_t specific, uint32_t count,
                    const trap_varbind* varbinds);
void ntcip_set_send_trap(NtcipSendTrapFn fn);  // null: the queueing stand-in

// An enterprise-specific trap (generic 6) with the two variables sysLocation and globalTime.
int ntcip_send_location_trap(uint32_t specific);

// Stand-in for trap distribution: queues the trap in g_TrapBuffer.
int ntcip_queue_trap_stand_in(uint32_t generic, uint32_t specific, uint32_t count,
                              const trap_varbind* varbinds);
