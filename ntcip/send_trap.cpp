#include "ntcip/send_trap.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/trap_buffer.h"

namespace {
NtcipSendTrapFn g_sendTrap = nullptr;
}  // namespace

int ntcip_send_trap(uint32_t generic, uint32_t specific, uint32_t count,
                    const trap_varbind* varbinds) {
    NtcipSendTrapFn fn = g_sendTrap != nullptr ? g_sendTrap : &ntcip_queue_trap_stand_in;
    return fn(generic, specific, count, varbinds);
}

void ntcip_set_send_trap(NtcipSendTrapFn fn) {
    g_sendTrap = fn;
}

int ntcip_queue_trap_stand_in(uint32_t generic, uint32_t specific, uint32_t count,
                              const trap_varbind* varbinds) {
    const uint32_t minutes = g_DataBase.Get(dbo::brenTrapsExpirationDuration);
    uint32_t expiry = 0;
    if (minutes != 0) {
        const DbObject& t = dbo::globalTime;
        expiry = g_DataBase.GetRegisterTime(t.id, t.width, t.image) + minutes * 60u;
    }
    static trap_record record;
    trap_record_fill(&record, generic, specific, count, varbinds, expiry);
    g_TrapBuffer.Push(record);
    return 1;
}
