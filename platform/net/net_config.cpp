#include "platform/net/net_config.h"

#include <atomic>

namespace net {
namespace {
std::atomic<int> g_portOffset{0};
}  // namespace

void SetPortOffset(int offset) {
    g_portOffset.store(offset);
}
int PortOffset() {
    return g_portOffset.load();
}

uint16_t ShiftedPort(uint16_t port) {
    const long shifted = static_cast<long>(port) + g_portOffset.load();
    return shifted >= 1 && shifted <= 65535 ? static_cast<uint16_t>(shifted) : 0;
}

}  // namespace net
