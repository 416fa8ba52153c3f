#pragma once
// State of the request being processed, shared by every agent and read by the
// object handlers. Guarded by the engine lock (snmp_engine_lock.h).

#include <cstdint>

constexpr uint32_t kSnmpSetBufferSize = 2000;

// 0 in the validate pass of a set; 1 in the commit pass, in a get-next and
// between requests. Handlers write only when it is 1 and their call is a set.
extern uint8_t g_SnmpSetCommit;
// Value of the varbind being set: integer syntaxes and IpAddress as a word;
// octets (and OIDs packed 4 octets each) in the buffer.
extern uint32_t g_SnmpSetInt;
extern uint8_t g_SnmpSetBuffer[kSnmpSetBufferSize];
extern uint32_t g_SnmpSetLength;
// User-group mask of the requester: all ones for the admin community.
extern uint32_t g_SnmpGroupMask;
// 1 after every request of a known community; the communication task clears it.
extern uint8_t g_SnmpActivity;
