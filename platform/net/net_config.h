#pragma once
// Process-wide settings of the host network layer: the port offset added to every protocol port
// (for users who cannot bind low ports), the address servers bind to, and the egress guard.

#include <cstdint>

namespace net {

// Added to every protocol port the controller listens on (0 by default).
void SetPortOffset(int offset);
int PortOffset();
// port + offset; 0 when the result leaves 1..65535.
uint16_t ShiftedPort(uint16_t port);

// IPv4 address (host order) that servers bind to; 127.0.0.1 by default.
void SetBindAddress(uint32_t address);
uint32_t BindAddress();

// Egress guard: by default only loopback peers (127.0.0.0/8) may be sent to.
void SetAllowNetwork(bool allow);
bool NetworkAllowed();
// True when traffic to the address (host order) is allowed.
bool EgressAllowed(uint32_t address);

}  // namespace net
