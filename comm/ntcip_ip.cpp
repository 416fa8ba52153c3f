#include "comm/ntcip_ip.h"

CNTCIP_IP g_NtcipIp;

namespace {
void Split(uint32_t address, uint8_t bytes[4]) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = uint8_t(address >> (24 - 8 * i));
    }
}
}  // namespace

void CNTCIP_IP::SetLocalAddress(uint32_t address) {
    local = address;
    Split(address, localBytes);
}

void CNTCIP_IP::SetCentralAddress(uint32_t address) {
    central = address;
    Split(address, centralBytes);
}
