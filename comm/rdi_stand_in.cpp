#include "comm/rdi_stand_in.h"

#include "comm/pmpp_link.h"

namespace {
uint32_t g_dropped = 0;
}  // namespace

int RdiReceiveStandIn(PmppLink* link, uint8_t) {
    ++link->counters.bytesDropped;
    return kPmppFrameDropped;
}

void RdiTimeoutStandIn(PmppLink*) {}

int RdiPacketSendStandIn(PmppLink*, const uint8_t*, uint32_t) {
    ++g_dropped;
    return 0;
}

uint32_t RdiStandInDropped() {
    return g_dropped;
}
