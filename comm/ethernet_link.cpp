#include "comm/ethernet_link.h"

#include <cstddef>
#include <cstring>

#include "ntcip/snmp_process.h"
#include "runtime/debug_print.h"

EthernetLink* EthernetLink::Of(snmp_agent* agent) {
    static_assert(offsetof(EthernetLink, agent_) == 0);
    return reinterpret_cast<EthernetLink*>(agent);
}

int EthernetLink::NetDriver(snmp_agent* agent, uint32_t, uint32_t operation, uint8_t* buffer,
                            uint32_t* length) {
    EthernetLink* link = Of(agent);
    switch (operation) {
        case kSnmpNetCreate:
            *length = 0;
            return 0;
        case kSnmpNetSend:
            break;
        default:
            return 0;  // the servers open, receive and close; nothing to do here
    }
    if (link->sink_ == nullptr ||
        !link->sink_->SendFrame(buffer, *length, link->peerAddress_, link->peerPort_)) {
        ++link->counters_.sendFailures;
        DebugPrintLevel1("failed to transmit packet on ethernet\n");
        return 1;
    }
    ++link->counters_.framesSent;
    return 0;
}

int EthernetLink::Create(const char* name, uint16_t port, uint16_t trapPort, uint32_t ownAddress) {
    if (created_) {
        return 0;
    }
    UINT status =
        tx_mutex_create(&protect_, const_cast<CHAR*>("ETHERNET PROTECT MUTEX"), TX_INHERIT);
    if (status != TX_SUCCESS) {
        DebugPrint("ethernet_create: tx_mutex_create failed %d\n", status);
        return int(status);
    }
    const uint8_t address[4] = {uint8_t(ownAddress >> 24), uint8_t(ownAddress >> 16),
                                uint8_t(ownAddress >> 8), uint8_t(ownAddress)};
    uint32_t used = 0;
    const int result =
        snmp_agent_create(&agent_, name, port, trapPort, address, memory_, &used, 0, snmp_process,
                          snmp_agent_null_callback, &NetDriver, nullptr, nullptr);
    created_ = result == 0;
    return result;
}

void EthernetLink::DeliverMessage(const uint8_t* message, size_t length, uint32_t peerAddress,
                                  uint16_t peerPort, EthernetFrameSink* sink) {
    if (!created_ || length > kQueueSize) {
        return;
    }
    tx_mutex_get(&protect_, TX_WAIT_FOREVER);
    counters_.bytesReceived += uint32_t(length);
    ++counters_.framesReceived;
    sink_ = sink;
    peerAddress_ = peerAddress;
    peerPort_ = peerPort;
    agent_.source_port = peerPort;
    for (int i = 0; i < 4; ++i) {
        agent_.source_address[i] = uint8_t(peerAddress >> (24 - 8 * i));
    }
    std::memcpy(agent_.receive_buffer, message, length);
    SnmpMessageReceive(&agent_, agent_.receive_buffer, uint32_t(length));
    sink_ = nullptr;
    tx_mutex_put(&protect_);
}
