#include "platform/net/net_config.h"

#include <atomic>

namespace net {
namespace {
std::atomic<int> g_portOffset{0};
std::atomic<uint32_t> g_bindAddress{0x7F000001u};
std::atomic<bool> g_allowNetwork{false};
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

void SetBindAddress(uint32_t address) {
    g_bindAddress.store(address);
}
uint32_t BindAddress() {
    return g_bindAddress.load();
}

void SetAllowNetwork(bool allow) {
    g_allowNetwork.store(allow);
}
bool NetworkAllowed() {
    return g_allowNetwork.load();
}

bool EgressAllowed(uint32_t address) {
    return (address >> 24) == 127u || g_allowNetwork.load();
}

}  // namespace net
