#include "comm/port_table.h"

#include "platform/kernel/tx_api.h"

CSerialDriver* g_BoundSerial = nullptr;
CServerChannelStandIn* g_BoundTcp = nullptr;
CServerChannelStandIn* g_BoundUdp = nullptr;

namespace {

CommChannel g_ports[kCommPortCount];
uint32_t g_claims = 0;

// The claim mask is changed from several threads: read, change and write back with interrupts
// masked, as one update.
class Masked {
public:
    Masked() : saved_(tx_interrupt_control(TX_INT_DISABLE)) {}
    ~Masked() { tx_interrupt_control(saved_); }
    Masked(const Masked&) = delete;
    Masked& operator=(const Masked&) = delete;

private:
    UINT saved_;
};

}  // namespace

void SetPortTable(CSerialDriver* ccp, CSerialDriver* panel, CServerChannelStandIn* tcp,
                  CServerChannelStandIn* udp, CServerChannelStandIn* trap) {
    for (CommChannel& channel : g_ports) {
        channel = {};
    }
    g_ports[kCommPortCcp].serial = ccp;
    g_ports[kCommPortPanel].serial = panel;
    g_ports[kCommPortTcp].server = tcp;
    g_ports[kCommPortUdp].server = udp;
    g_ports[kCommPortTrap].server = trap;
    g_claims = 0;
    g_BoundSerial = nullptr;
    g_BoundTcp = nullptr;
    g_BoundUdp = nullptr;
}

const CommChannel* AttainPortDriver(uint32_t port) {
    if (port >= kCommPortCount) {
        return nullptr;
    }
    Masked masked;
    const uint32_t bit = 1u << port;
    if (g_claims & bit) {
        return nullptr;
    }
    g_claims |= bit;
    return g_ports[port].Empty() ? nullptr : &g_ports[port];
}

int ReleasePortDriver(uint32_t port) {
    if (port >= 16) {
        return 0;
    }
    Masked masked;
    g_claims &= ~(1u << port);
    return 1;
}

uint32_t PortClaimMask() {
    return g_claims;
}

const CommChannel& PortChannel(uint32_t port) {
    static const CommChannel none;
    return port < kCommPortCount ? g_ports[port] : none;
}

void CcpPortPutChar(uint8_t byte) {
    if (g_BoundSerial != nullptr) {
        g_BoundSerial->PutChar(byte);
    }
}

int CcpPortGetChar(uint8_t* byte) {
    uint32_t value = 0;
    if (g_BoundSerial != nullptr && g_BoundSerial->GetChar(&value) == 1) {
        *byte = uint8_t(value);
        return 1;
    }
    return 0;
}

int TcpPortSendFrame(const uint8_t* buffer, uint32_t length) {
    return g_BoundTcp != nullptr ? g_BoundTcp->SendFrame(buffer, length) : 0;
}

int UdpPortSendFrame(const uint8_t* buffer, uint32_t length) {
    return g_BoundUdp != nullptr ? g_BoundUdp->SendFrame(buffer, length) : 0;
}

void PortRxNotify(uintptr_t group, uintptr_t bit) {
    auto* events = reinterpret_cast<TX_EVENT_FLAGS_GROUP*>(group);
    if (events != nullptr) {
        tx_event_flags_set(events, ULONG(bit), TX_OR);
    }
}
