#include "comm/link_stand_ins.h"

namespace {

TX_SEMAPHORE g_idle;
bool g_idleCreated = false;
uint32_t g_dropped = 0;

int StandInDriver(uint32_t operation, uint32_t* length) {
    switch (operation) {
        case kSnmpNetCreate:
            *length += kLinkStandInMemory;
            return 0;
        case kSnmpNetReceive:
            // Nothing arrives over a link that is not built: wait without spinning.
            if (g_idleCreated) {
                tx_semaphore_get(&g_idle, TX_WAIT_FOREVER);
            }
            return 1;
        case kSnmpNetSend:
            ++g_dropped;
            return 0;
        default:
            return 0;
    }
}

}  // namespace

void NonePutChar(uint8_t) {}
int NoneGetChar(uint8_t*) {
    return 0;
}
int NoneSendFrame(const uint8_t*, uint32_t) {
    return 0;
}

int snmp_ppp_net_drv(snmp_agent*, uint32_t, uint32_t operation, uint8_t*, uint32_t* length) {
    return StandInDriver(operation, length);
}

int snmp_ethernet_net_drv(snmp_agent*, uint32_t, uint32_t operation, uint8_t*, uint32_t* length) {
    return StandInDriver(operation, length);
}

bool LinkStandInsStart() {
    g_idleCreated = tx_semaphore_create(&g_idle, "link stand-in idle", 0) == TX_SUCCESS;
    return g_idleCreated;
}

uint32_t LinkStandInsDropped() {
    return g_dropped;
}
