#pragma once
// The transports of the controller: the two UART drivers (ports 0 and 1), the server channels
// (ports 4 to 6), the twelve interface objects and their start-up.
//
//   BuildTransports();               // program start (each boot)
//   InitNtcipTransports(&cursor);    // RTOS start-up: opens the ports, creates the six agents
//   InitNtcipTransports(nullptr);    // a reconfiguration: reopens the CCP port

#include <cstdint>

#include "comm/ntcip_interface.h"
#include "comm/q2_serial_driver.h"
#include "comm/server_channel_stand_in.h"

inline constexpr uint32_t kCcpRingSize = 2000;
inline constexpr uint32_t kPanelRingSize = 4000;
inline constexpr uint32_t kPanelBaud = 19200;

// Interface objects of the six agents.
inline constexpr unsigned kIfCcpPmpp = 0, kIfCcpPpp = 1, kIfEthernetPmpp = 8, kIfEthernetPpp = 9,
                          kIfEthernetTcp = 10, kIfEthernetUdp = 11;

void BuildTransports();
void EndTransports();

CQ2SerialDriver& CcpSerialDriver();
CQ2SerialDriver& PanelSerialDriver();
CServerChannelStandIn& TcpServer();
CServerChannelStandIn& UdpServer();
CServerChannelStandIn& TrapServer();
CNTCIP& NtcipInterface(unsigned index);

// Mode word and handshake argument of a handshake code (brenCommConfigFlowControl).
struct SerialLineMode {
    uint32_t mode;
    uint32_t handshake;
};
SerialLineMode LineModeOfHandshake(uint32_t code, bool rdi);

// 0, or 1 when the agents could not be created (no memory given at the first call).
int InitNtcipTransports(uint8_t** next);
