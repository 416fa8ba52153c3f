#pragma once
// SNMP over a PMPP link: the agent's net driver `snmp_pmpp_net_drv`. Requests arrive as a message
// in a 0xC1 frame (answered on the receive worker, at once or kept for the poll) or as IP
// packets in 0x21 frames, joined and handed to the IP instance "PMPP over SNMP/IP", whose UDP
// and TCP port 161 the agent's dispatch threads serve. A response leaves the way its request
// came.
//
//   PmppAttachAgent(&interface.agent, &interface.pmpp);  // before snmp_agent_create
//   snmp_agent_create(..., snmp_pmpp_net_drv, pmpp_udp_ip_thread_entry, ...);
//   StartPmppIp(pool, address);                           // after the network start-up

#include <cstdint>

#include "comm/pmpp_link.h"
#include "ntcip/snmp_agent.h"
#include "platform/net/nx_api.h"

inline constexpr uint32_t kPmppDriverMemory = 5120;
inline constexpr UINT kPmppSnmpPort = 161;

// Binds an agent to its link (up to 12 agents); the create operation finds the link by it.
bool PmppAttachAgent(snmp_agent* agent, PmppLink* link);

int snmp_pmpp_net_drv(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                      uint32_t* length);

// Creates the IP instance over every link of an attached agent (the agents' open operations wait
// for it). The instance takes the agent's own address, or address when that is 0.
void StartPmppIp(NX_PACKET_POOL* pool, uint32_t address);

// From the frame processing of the receive worker.
int pmpp_snmp_receive(PmppLink* link, int twoOctetAddress);
void pmpp_ip_receive(PmppLink* link);

// A direct response: sent at once, or kept for the poll when the request was for all stations
// or a group. 1 sent or kept, 0 dropped (longer than a frame).
int ntcip_pmpp_packet_send(PmppLink* link, const uint8_t* message, uint32_t length);

// Link driver of the IP instance.
void _nx_pmpp_driver(NX_IP_DRIVER* request);
// Frames the oldest packet of the link's IP transmit queue (under "PMPP PROTECT MUTEX").
void pmpp_ip_packet_send(PmppLink* link);

// The IP instance of an agent's link once started, else null.
NX_IP* PmppIpInstance(const snmp_agent* agent);
// 1 while a TCP connection is up on the agent's instance.
uint32_t PmppTcpConnected(const snmp_agent* agent);

// Forgets every attachment and instance (a new boot; the kernel has gone).
void SnmpOverPmppEndOfBoot();
