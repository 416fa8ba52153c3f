// Tick count and interrupt posture.

#include "platform/kernel/core.h"

using kernel::Context;
using kernel::Core;
using kernel::ServiceCall;

namespace {
thread_local UINT tls_outside_posture = TX_INT_ENABLE;
}

ULONG tx_time_get(VOID) {
    ServiceCall call;
    if (!call) {
        return 0;
    }
    Core& core = call.core();
    return static_cast<ULONG>(core.NowTicks(call.context())) + core.time_offset_;
}

VOID tx_time_set(ULONG new_time) {
    ServiceCall call;
    if (!call) {
        return;
    }
    Core& core = call.core();
    core.time_offset_ = new_time - static_cast<ULONG>(core.NowTicks(call.context()));
}

UINT tx_interrupt_control(UINT new_posture) {
    // Masking and restoring pair up in guards: neither unwinds a thread being ended.
    ServiceCall call(false, true);
    new_posture = new_posture == TX_INT_ENABLE ? TX_INT_ENABLE : TX_INT_DISABLE;
    if (!call || call.context() == Context::kOutside) {
        const UINT old = tls_outside_posture;
        tls_outside_posture = new_posture;
        return old;
    }
    Core& core = call.core();
    if (!call.in_thread()) {
        const UINT old = core.system_posture_;
        core.system_posture_ = new_posture;
        return old;
    }
    kernel::ThreadRec* self = call.self();
    const UINT old = self->posture;
    self->posture = new_posture;
    if (old == TX_INT_DISABLE && new_posture == TX_INT_ENABLE) {
        // Interrupts raised while masked are served now.
        core.DispatchPending(call.lock());
        core.PreemptPoint(call.lock(), self);
    }
    return old;
}
