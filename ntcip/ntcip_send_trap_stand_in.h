#pragma once
// CNTCIP::SendTrap, stand-in until trap distribution lands: no destination
// filtering; fills a record (expiring after brenTrapsExpirationDuration minutes
// when that is not 0) and queues it in g_TrapBuffer.

#include <cstdint>

#include "ntcip/trap_record.h"

class CNTCIP {
public:
    static int SendTrap(uint32_t generic, uint32_t specific, uint32_t count,
                        const trap_varbind* varbinds);
};
