#include "ntcip/ethernet_agent_stand_in.h"

#include "ntcip/snmp_process.h"

namespace {

snmp_agent g_EthernetAgent;
bool g_created = false;
uint32_t g_dropped = 0;

int NoSocketDriver(snmp_agent*, uint32_t, uint32_t operation, uint8_t*, uint32_t*) {
    if (operation == kSnmpNetSend) {
        ++g_dropped;
    }
    return operation == kSnmpNetReceive ? 1 : 0;
}

}  // namespace

int snmp_start_ethernet_agent_stand_in(uint8_t** next) {
    g_created = false;
    if (next == nullptr || *next == nullptr) {
        return -1;
    }
    snmp_entry();
    const uint8_t address[4] = {127, 0, 0, 1};
    uint32_t used = 0;
    const int status = snmp_agent_create(&g_EthernetAgent, "ethernet", 161, 162, address, *next,
                                         &used, 0, snmp_process, snmp_agent_null_callback,
                                         &NoSocketDriver, nullptr, nullptr);
    *next += used;
    g_created = status == 0;
    return status;
}

snmp_agent* snmp_ethernet_agent() {
    return g_created ? &g_EthernetAgent : nullptr;
}

uint32_t snmp_ethernet_agent_stand_in_dropped() {
    return g_dropped;
}
