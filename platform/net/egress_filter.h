#pragma once
// The guard in front of the Ethernet wire: which frames the controller may send to the host.
// ARP passes, and IPv4 to the host alias (the gateway, which reaches the host's loopback; the
// answers on forwarded connections go there too) and DHCP requests to slirp's server. Anything
// else passes only when the network is allowed; otherwise it is dropped and the first drop per
// destination is reported once.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace net {

class EgressFilter {
public:
    static constexpr size_t kMaxReported = 256;

    // hostAlias in host order; report gets each log line (may be empty).
    EgressFilter(uint32_t hostAlias, bool allowNetwork,
                 std::function<void(const std::string&)> report);

    // True when the frame may go out. Thread-safe.
    bool Pass(const uint8_t* frame, size_t length);
    uint64_t Dropped() const;

private:
    uint32_t hostAlias_;
    bool allow_;
    std::function<void(const std::string&)> report_;
    mutable std::mutex mutex_;
    std::set<uint32_t> reported_;
    uint64_t dropped_ = 0;
};

}  // namespace net
