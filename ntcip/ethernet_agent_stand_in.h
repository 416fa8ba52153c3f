#pragma once
// Stand-in for the Ethernet interface's agent until the Ethernet transport exists: the
// agent "ethernet" (SNMP port 161, traps 162) is created at start-up, after the agent
// module's start, with a net driver that has no socket yet: it receives nothing and drops
// what it is asked to send. Requests handed to SnmpMessageReceive are served in full.

#include <cstdint>

#include "ntcip/snmp_agent.h"

// Starts the agent module and creates the agent from the start-up memory at *next
// (raised by what it takes). 0 or the creation status.
int snmp_start_ethernet_agent_stand_in(uint8_t** next);
// The agent, once created; null before.
snmp_agent* snmp_ethernet_agent();
// Responses the driver dropped for want of a socket.
uint32_t snmp_ethernet_agent_stand_in_dropped();
