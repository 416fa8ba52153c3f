#pragma once
// What the stand-in keeps for one IP instance beside the NX_IP record: the lwIP interface, the
// frames lwIP emitted for the link driver, and the firmware callbacks due on the instance's
// thread. Every queue is bounded (lwIP allocates with malloc).

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/net/nx_api.h"

extern "C" {
#include "lwip/netif.h"
#include "lwip/opt.h"
}

namespace net {

inline constexpr ULONG kEventReceive = 0x1;
inline constexpr ULONG kEventTransmit = 0x2;
inline constexpr ULONG kEventJobs = 0x4;
inline constexpr ULONG kEventStop = 0x8;
inline constexpr ULONG kEventAll = 0xF;

inline constexpr size_t kMaxQueuedFrames = 128;
inline constexpr size_t kMaxQueuedJobs = 256;

struct IpInstance {
    NX_IP* ip = nullptr;
    struct netif nif {};
    std::mutex lock;  // frames and jobs (filled by lwIP's thread too)
    std::deque<std::vector<uint8_t>> frames;
    bool sending = false;  // a thread is handing the frames to the driver
    std::deque<std::function<void()>> jobs;
    NX_PACKET* rxHead = nullptr;  // from the driver, changed with interrupts masked
    NX_PACKET* rxTail = nullptr;
    ULONG rxCount = 0;
    UINT lastLinkUp = 0;
    bool stopping = false;
    // A point-to-point link (the driver needs no address mapping): frames are bare IP packets.
    bool pointToPoint = false;
};

// The instance's interface once its thread has added it, else null (sockets are bound to it so
// that each instance's traffic stays on its own link).
inline const struct netif* NetifOf(const NX_IP* ip) {
    return ip->nx_ip_impl != nullptr && ip->nx_ip_impl->nif.state != nullptr ? &ip->nx_ip_impl->nif
                                                                             : nullptr;
}

// True for an instance over a point-to-point link: its ports are not forwarded from the host.
inline bool PointToPoint(const NX_IP* ip) {
    return ip != nullptr && ip->nx_ip_impl != nullptr && ip->nx_ip_impl->pointToPoint;
}

// Runs fn on the instance's thread (firmware callbacks of the sockets). Any context; from a
// firmware thread under the core lock the wake waits for the lock's release.
void PostToIpThread(NX_IP* ip, std::function<void()> fn);

}  // namespace net
