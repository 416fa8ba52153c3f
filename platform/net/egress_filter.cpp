#include "platform/net/egress_filter.h"

#include <cstdio>

namespace net {

EgressFilter::EgressFilter(uint32_t hostAlias, bool allowNetwork,
                           std::function<void(const std::string&)> report)
    : hostAlias_(hostAlias), allow_(allowNetwork), report_(std::move(report)) {}

bool EgressFilter::Pass(const uint8_t* frame, size_t length) {
    if (length < 14) {
        std::lock_guard<std::mutex> guard(mutex_);
        ++dropped_;
        return false;
    }
    const uint16_t type = uint16_t(frame[12] << 8 | frame[13]);
    if (type == 0x0806) {
        return true;
    }
    if (type != 0x0800 || length < 34) {
        if (!allow_) {
            std::lock_guard<std::mutex> guard(mutex_);
            ++dropped_;
        }
        return allow_;
    }
    const uint8_t* ip = frame + 14;
    const uint32_t destination =
        uint32_t(ip[16]) << 24 | uint32_t(ip[17]) << 16 | uint32_t(ip[18]) << 8 | ip[19];
    if (destination == hostAlias_ || allow_) {
        return true;
    }
    const size_t header = size_t(ip[0] & 0x0F) * 4;
    if (destination == 0xFFFFFFFFu && ip[9] == 17 && length >= 14 + header + 4) {
        const uint8_t* udp = ip + header;
        if ((udp[2] << 8 | udp[3]) == 67) {
            return true;  // DHCP to slirp's own server
        }
    }
    std::string line;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++dropped_;
        if (reported_.size() < kMaxReported && reported_.insert(destination).second) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "net: dropped traffic to %u.%u.%u.%u (--allow-network lifts this)\n",
                          destination >> 24, (destination >> 16) & 0xFF, (destination >> 8) & 0xFF,
                          destination & 0xFF);
            line = text;
        }
    }
    if (!line.empty() && report_) {
        report_(line);
    }
    return false;
}

uint64_t EgressFilter::Dropped() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return dropped_;
}

}  // namespace net
