#include "ntcip/send_trap.h"

#include <algorithm>
#include <iterator>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_pdu.h"
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

int ntcip_send_location_trap(uint32_t specific) {
    static const uint32_t kSysLocation[] = {1, 3, 6, 1, 2, 1, 1, 6, 0};
    static const uint32_t kGlobalTime[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 3, 1, 0};
    constexpr uint32_t kEnterpriseSpecific = 6;
    uint32_t length = 0;
    const char* location = g_DataBase.GetText(dbo::sysLocation, &length);
    const DbObject& t = dbo::globalTime;
    const uint32_t now = g_DataBase.GetRegisterTime(t.id, t.width, t.image);
    trap_varbind varbinds[2] = {};
    std::copy(std::begin(kSysLocation), std::end(kSysLocation), varbinds[0].name);
    varbinds[0].name_length = std::size(kSysLocation);
    varbinds[0].syntax = kSnmpOctetString;
    varbinds[0].value_length = location != nullptr ? length : 0;
    varbinds[0].value = location;
    std::copy(std::begin(kGlobalTime), std::end(kGlobalTime), varbinds[1].name);
    varbinds[1].name_length = std::size(kGlobalTime);
    varbinds[1].syntax = kSnmpCounter;
    varbinds[1].value_length = 4;
    varbinds[1].value = &now;
    return ntcip_send_trap(kEnterpriseSpecific, specific, 2, varbinds);
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
