#pragma once
// The seven numbered ports (physical channels) that interfaces are bound to, the claim mask, the
// channel-in-use references of ports 0, 4 and 5 and the callbacks that reach them.
//
//   0  serial driver of the first UART (the CCP port)     4  TCP server (SNMP port and 14001)
//   1  serial driver of the second UART (front panel)     5  UDP server (SNMP port and 3002)
//   2, 3  none                                            6  TCP server of port 162

#include <cstdint>

#include "comm/serial_driver.h"
#include "comm/server_channel_stand_in.h"

enum CommPortNumber : uint8_t {
    kCommPortCcp = 0,
    kCommPortPanel = 1,
    kCommPortTcp = 4,
    kCommPortUdp = 5,
    kCommPortTrap = 6,
    kCommPortCount = 7,
    kCommPortNone = 100,
};

// One port's channel: a serial driver or a server channel, or neither.
struct CommChannel {
    CSerialDriver* serial = nullptr;
    CServerChannelStandIn* server = nullptr;
    bool Empty() const { return serial == nullptr && server == nullptr; }
};

// Fills the table (transport start-up); every claim cleared.
void SetPortTable(CSerialDriver* ccp, CSerialDriver* panel, CServerChannelStandIn* tcp,
                  CServerChannelStandIn* udp, CServerChannelStandIn* trap);
// The table entry, claiming the port; null for ports 7 and above or a claimed port. Ports 2
// and 3 have no channel: null, and their claim bit stays set.
const CommChannel* AttainPortDriver(uint32_t port);
// Clears the claim bit: 1, or 0 for ports 16 and above.
int ReleasePortDriver(uint32_t port);
uint32_t PortClaimMask();
const CommChannel& PortChannel(uint32_t port);

// Channel-in-use references.
extern CSerialDriver* g_BoundSerial;       // port 0
extern CServerChannelStandIn* g_BoundTcp;  // port 4
extern CServerChannelStandIn* g_BoundUdp;  // port 5

// Bound-port callbacks.
void CcpPortPutChar(uint8_t byte);
int CcpPortGetChar(uint8_t* byte);
int TcpPortSendFrame(const uint8_t* buffer, uint32_t length);
int UdpPortSendFrame(const uint8_t* buffer, uint32_t length);
// Receive notification: sets the bit (argument 2) in the event group (argument 1).
void PortRxNotify(uintptr_t group, uintptr_t bit);
