#pragma once
// Process-wide setting of the host network layer: the port offset added to every protocol port
// the host reaches the controller on (for users who cannot bind low ports).

#include <cstdint>

namespace net {

// Added to every protocol port the controller listens on (0 by default).
void SetPortOffset(int offset);
int PortOffset();
// port + offset; 0 when the result leaves 1..65535.
uint16_t ShiftedPort(uint16_t port);

}  // namespace net
