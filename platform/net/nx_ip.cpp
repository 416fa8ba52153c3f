// IP instances: an lwIP interface per instance and a firmware thread that carries frames
// between the link driver and lwIP, as the stack's own IP thread would. A frame handed up by an
// interrupt handler goes into lwIP at once, on the handler's stack.

#include <cstring>
#include <new>

#include "platform/kernel/kernel.h"
#include "platform/net/ip_instance.h"
#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"

extern "C" {
#include "lwip/etharp.h"
#include "lwip/ip4.h"
#include "lwip/opt.h"
#include "lwip/pbuf.h"
#include "netif/ethernet.h"
}

namespace net {
namespace {

std::vector<IpInstance*> g_instances;  // guarded by the core lock

constexpr ULONG kIpId = 0x49504944;  // "IPID"
constexpr uint16_t kTypeIp = 0x0800;
constexpr uint16_t kTypeArp = 0x0806;

ip4_addr_t Addr(ULONG hostOrder) {
    ip4_addr_t a;
    ip4_addr_set_u32(&a, lwip_htonl(hostOrder));
    return a;
}

uint16_t Be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

void SetEvent(NX_IP* ip, ULONG bits) {
    Wake([ip, bits] { tx_event_flags_set(&ip->nx_ip_events, bits, TX_OR); });
}

void SendFrames(NX_IP* ip);

err_t LinkOutput(struct netif* nif, struct pbuf* p) {
    auto* impl = static_cast<IpInstance*>(nif->state);
    if (p->tot_len < 14 || p->tot_len > 1514) {
        return ERR_OK;
    }
    std::vector<uint8_t> frame(p->tot_len);
    pbuf_copy_partial(p, frame.data(), p->tot_len, 0);
    {
        std::lock_guard<std::mutex> guard(impl->lock);
        if (impl->frames.size() >= kMaxQueuedFrames) {
            ++impl->ip->nx_ip_counters.packets_dropped;
            return ERR_OK;
        }
        impl->frames.push_back(std::move(frame));
    }
    NX_IP* ip = impl->ip;
    if (kernel::CurrentContext() == kernel::Context::kThread) {
        // The sending thread hands the frame to the driver itself once it lets go of the lock,
        // as a thread sending through the stack's API does.
        Wake([ip] { SendFrames(ip); });
    } else {
        SetEvent(ip, kEventTransmit);
    }
    return ERR_OK;
}

// A point-to-point link's output: the IP packet as it is, for the link driver.
err_t PointOutput(struct netif* nif, struct pbuf* p, const ip4_addr_t*) {
    auto* impl = static_cast<IpInstance*>(nif->state);
    if (p->tot_len < 20 || p->tot_len > nif->mtu) {
        return ERR_OK;
    }
    std::vector<uint8_t> packet(p->tot_len);
    pbuf_copy_partial(p, packet.data(), p->tot_len, 0);
    {
        std::lock_guard<std::mutex> guard(impl->lock);
        if (impl->frames.size() >= kMaxQueuedFrames) {
            ++impl->ip->nx_ip_counters.packets_dropped;
            return ERR_OK;
        }
        impl->frames.push_back(std::move(packet));
    }
    SetEvent(impl->ip, kEventTransmit);
    return ERR_OK;
}

err_t InitNetif(struct netif* nif) {
    auto* impl = static_cast<IpInstance*>(nif->state);
    NX_IP* ip = impl->ip;
    if (impl->pointToPoint) {
        nif->name[0] = 'p';
        nif->name[1] = 't';
        nif->output = PointOutput;
        nif->linkoutput = nullptr;
        const UINT mtu = ip->nx_ip_driver_mtu;
        nif->mtu = uint16_t(mtu >= 1500 ? 1500 : (mtu >= 576 ? mtu : 576));
        nif->hwaddr_len = 0;
        nif->flags = 0;
        return ERR_OK;
    }
    nif->name[0] = 'e';
    nif->name[1] = 'n';
    nif->output = etharp_output;
    nif->linkoutput = LinkOutput;
    const UINT mtu = ip->nx_ip_driver_mtu;
    nif->mtu = mtu >= 1514 ? 1500 : (mtu > 14 + 68 ? uint16_t(mtu - 14) : 576);
    nif->hwaddr_len = 6;
    const ULONG msw = ip->nx_ip_arp_physical_address_msw;
    const ULONG lsw = ip->nx_ip_arp_physical_address_lsw;
    const uint8_t mac[6] = {uint8_t(msw >> 8),  uint8_t(msw),      uint8_t(lsw >> 24),
                            uint8_t(lsw >> 16), uint8_t(lsw >> 8), uint8_t(lsw)};
    std::memcpy(nif->hwaddr, mac, 6);
    nif->flags = NETIF_FLAG_BROADCAST | NETIF_FLAG_ETHARP | NETIF_FLAG_ETHERNET;
    return ERR_OK;
}

// The command and destination for a frame lwIP emitted; false for a type the link does not
// carry.
bool Classify(const std::vector<uint8_t>& frame, NX_IP_DRIVER* request) {
    const uint16_t type = uint16_t(frame[12] << 8 | frame[13]);
    bool broadcast = true;
    for (int i = 0; i < 6; ++i) {
        broadcast = broadcast && frame[i] == 0xFF;
    }
    request->nx_ip_driver_physical_address_msw = ULONG(frame[0]) << 8 | frame[1];
    request->nx_ip_driver_physical_address_lsw =
        ULONG(frame[2]) << 24 | ULONG(frame[3]) << 16 | ULONG(frame[4]) << 8 | frame[5];
    if (type == kTypeIp) {
        request->nx_ip_driver_command = broadcast ? NX_LINK_PACKET_BROADCAST : NX_LINK_PACKET_SEND;
    } else if (type == kTypeArp) {
        request->nx_ip_driver_command = broadcast ? NX_LINK_ARP_SEND : NX_LINK_ARP_RESPONSE_SEND;
    } else {
        return false;
    }
    return true;
}

// Hands the queued frames to the link driver in order. One thread at a time drains the queue;
// a frame queued meanwhile by another thread is sent by the one draining.
void SendFrames(NX_IP* ip) {
    IpInstance* impl = ip->nx_ip_impl;
    {
        std::lock_guard<std::mutex> guard(impl->lock);
        if (impl->sending) {
            return;
        }
        impl->sending = true;
    }
    // Also let go when the thread is ended inside the driver.
    struct Draining {
        IpInstance* impl;
        bool done = false;
        ~Draining() {
            if (!done) {
                std::lock_guard<std::mutex> guard(impl->lock);
                impl->sending = false;
            }
        }
    } draining{impl};
    for (;;) {
        std::vector<uint8_t> frame;
        {
            std::lock_guard<std::mutex> guard(impl->lock);
            if (impl->frames.empty()) {
                impl->sending = false;
                draining.done = true;
                return;
            }
            frame = std::move(impl->frames.front());
            impl->frames.pop_front();
        }
        NX_IP_DRIVER request{};
        NX_PACKET* packet = nullptr;
        const size_t header = impl->pointToPoint ? 0 : 14;
        if (impl->pointToPoint) {
            request.nx_ip_driver_command = NX_LINK_PACKET_SEND;
        }
        if ((!impl->pointToPoint && !Classify(frame, &request)) ||
            nx_packet_allocate(ip->nx_ip_default_packet_pool, &packet, NX_IP_PACKET, TX_NO_WAIT) !=
                NX_SUCCESS ||
            nx_packet_data_append(packet, frame.data() + header, ULONG(frame.size() - header),
                                  nullptr, TX_NO_WAIT) != NX_SUCCESS) {
            if (packet != nullptr) {
                nx_packet_release(packet);
            }
            ++ip->nx_ip_counters.packets_dropped;
            continue;
        }
        request.nx_ip_driver_ptr = ip;
        request.nx_ip_driver_packet = packet;
        const bool arp =
            !impl->pointToPoint && Be16(frame.data() + 12) == kTypeArp && frame.size() >= 22;
        const uint16_t op = arp ? Be16(frame.data() + 20) : 0;
        ip->nx_ip_link_driver_entry(&request);
        ip->nx_ip_counters.arp_requests_sent += op == 1;
        ip->nx_ip_counters.arp_responses_sent += op == 2;
        if (request.nx_ip_driver_status == NX_SUCCESS) {
            ++ip->nx_ip_counters.packets_sent;
        } else {
            ++ip->nx_ip_counters.packets_dropped;
        }
    }
}

// An echo request while ICMP is off.
bool IsUnansweredEcho(const NX_IP* ip, const uint8_t* data, ULONG length) {
    if (ip->nx_ip_icmp_enabled || length < 21 || data[9] != 1) {
        return false;
    }
    const ULONG headerLength = ULONG(data[0] & 0x0F) * 4;
    return headerLength < length && data[headerLength] == 8;
}

// One received packet into lwIP (the packet is released).
void Input(NX_IP* ip, NX_PACKET* packet) {
    IpInstance* impl = ip->nx_ip_impl;
    const bool arp = packet->nx_packet_source_port == kTypeArp;
    const ULONG length = packet->nx_packet_length;
    struct pbuf* p = nullptr;
    if (length != 0 && length <= 1500 &&
        !(!arp && IsUnansweredEcho(ip, packet->nx_packet_prepend_ptr, length))) {
        p = pbuf_alloc(PBUF_RAW, uint16_t(length), PBUF_RAM);
        if (p != nullptr) {
            pbuf_take(p, packet->nx_packet_prepend_ptr, uint16_t(length));
        }
    } else if (!arp && length != 0) {
        ++ip->nx_ip_counters.icmp_dropped;
    }
    nx_packet_release(packet);
    if (p == nullptr) {
        ++ip->nx_ip_counters.packets_dropped;
        return;
    }
    ++ip->nx_ip_counters.packets_received;
    if (arp) {
        const uint16_t op = length >= 8 ? Be16(static_cast<uint8_t*>(p->payload) + 6) : 0;
        ip->nx_ip_counters.arp_requests_received += op == 1;
        ip->nx_ip_counters.arp_responses_received += op == 2;
    }
    CoreLock core;
    if (arp) {
        ++ip->nx_ip_counters.arp_frames_received;
        etharp_input(p, &impl->nif);
    } else {
        ip4_input(p, &impl->nif);
    }
}

void ReceiveFrames(NX_IP* ip) {
    IpInstance* impl = ip->nx_ip_impl;
    for (;;) {
        TX_INTERRUPT_SAVE_AREA
        TX_DISABLE
        NX_PACKET* packet = impl->rxHead;
        if (packet != nullptr) {
            impl->rxHead = packet->nx_packet_queue_next;
            if (impl->rxHead == nullptr) {
                impl->rxTail = nullptr;
            }
            --impl->rxCount;
        }
        TX_RESTORE
        if (packet == nullptr) {
            return;
        }
        Input(ip, packet);
    }
}

void RunJobs(NX_IP* ip) {
    IpInstance* impl = ip->nx_ip_impl;
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> guard(impl->lock);
            if (impl->jobs.empty()) {
                return;
            }
            job = std::move(impl->jobs.front());
            impl->jobs.pop_front();
        }
        job();
    }
}

void FollowLink(NX_IP* ip) {
    IpInstance* impl = ip->nx_ip_impl;
    if (ip->nx_ip_driver_link_up == impl->lastLinkUp) {
        return;
    }
    impl->lastLinkUp = ip->nx_ip_driver_link_up;
    CoreLock core;
    if (impl->lastLinkUp) {
        netif_set_link_up(&impl->nif);
    } else {
        netif_set_link_down(&impl->nif);
    }
}

void MoveToListEnd(struct netif* nif) {
    if (netif_list != nif || nif->next == nullptr) {
        return;  // netif_add puts a new interface first
    }
    netif_list = nif->next;
    struct netif* last = netif_list;
    while (last->next != nullptr) {
        last = last->next;
    }
    last->next = nif;
    nif->next = nullptr;
}

void CallDriver(NX_IP* ip, UINT command) {
    NX_IP_DRIVER request{};
    request.nx_ip_driver_command = command;
    request.nx_ip_driver_ptr = ip;
    ip->nx_ip_link_driver_entry(&request);
}

void IpThread(ULONG_PTR input) {
    auto* ip = reinterpret_cast<NX_IP*>(input);
    IpInstance* impl = ip->nx_ip_impl;
    CallDriver(ip, NX_LINK_INITIALIZE);
    impl->pointToPoint = ip->nx_ip_driver_mapping_needed == 0;
    {
        CoreLock core;
        ip4_addr_t address = Addr(ip->nx_ip_address);
        ip4_addr_t mask = Addr(ip->nx_ip_network_mask);
        ip4_addr_t gateway = Addr(ip->nx_ip_gateway_address);
        netif_add(&impl->nif, &address, &mask, &gateway, impl, InitNetif, netif_input);
        if (impl->pointToPoint) {
            // Last in the stack's list: traffic routed by address (not sent from a socket of
            // this instance) prefers the Ethernet-like interfaces.
            MoveToListEnd(&impl->nif);
        }
        netif_set_up(&impl->nif);
    }
    CallDriver(ip, NX_LINK_ENABLE);
    for (;;) {
        FollowLink(ip);
        ULONG events = 0;
        tx_event_flags_get(&ip->nx_ip_events, kEventAll, TX_OR_CLEAR, &events, TX_WAIT_FOREVER);
        if (events & kEventStop) {
            return;
        }
        ReceiveFrames(ip);
        SendFrames(ip);
        RunJobs(ip);
    }
}

void Deliver(NX_IP* ip, NX_PACKET* packet, uint16_t type) {
    if (ip == nullptr || ip->nx_ip_id != kIpId || packet == nullptr) {
        if (packet != nullptr) {
            nx_packet_release(packet);
        }
        return;
    }
    IpInstance* impl = ip->nx_ip_impl;
    packet->nx_packet_queue_next = nullptr;
    packet->nx_packet_source_port = type;
    packet->nx_packet_ip = ip;
    // From an interrupt handler the packet goes into lwIP at once (what lwIP answers is sent by
    // the instance's thread), unless earlier ones still wait for the thread.
    if (impl->rxHead == nullptr && impl->nif.state != nullptr && !HoldsCoreLock() &&
        kernel::CurrentContext() == kernel::Context::kIsr) {
        Input(ip, packet);
        return;
    }
    TX_INTERRUPT_SAVE_AREA
    TX_DISABLE
    if (impl->rxCount >= kMaxQueuedFrames) {
        ++ip->nx_ip_counters.packets_dropped;
        TX_RESTORE
        nx_packet_release(packet);
        return;
    }
    if (impl->rxTail != nullptr) {
        impl->rxTail->nx_packet_queue_next = packet;
    } else {
        impl->rxHead = packet;
    }
    impl->rxTail = packet;
    ++impl->rxCount;
    TX_RESTORE
    tx_event_flags_set(&ip->nx_ip_events, kEventReceive, TX_OR);
}

}  // namespace

void ForgetInstances() {
    for (IpInstance* impl : g_instances) {
        if (impl->nif.state != nullptr) {
            netif_remove(&impl->nif);
        }
        delete impl;
    }
    g_instances.clear();
}

void PostToIpThread(NX_IP* ip, std::function<void()> fn) {
    IpInstance* impl = ip->nx_ip_impl;
    {
        std::lock_guard<std::mutex> guard(impl->lock);
        if (impl->jobs.size() >= kMaxQueuedJobs) {
            return;
        }
        impl->jobs.push_back(std::move(fn));
    }
    SetEvent(ip, kEventJobs);
}

}  // namespace net

using net::IpInstance;

UINT nx_system_initialize() {
    net::StartStack();
    return NX_SUCCESS;
}

UINT nx_ip_create(NX_IP* ip, const CHAR* name, ULONG ip_address, ULONG network_mask,
                  NX_PACKET_POOL* default_pool, NX_IP_DRIVER_ENTRY driver, VOID* memory,
                  ULONG memory_size, UINT priority) {
    if (ip == nullptr || default_pool == nullptr || driver == nullptr || memory == nullptr) {
        return NX_PTR_ERROR;
    }
    net::StartStack();
    auto* impl = new (std::nothrow) IpInstance;
    if (impl == nullptr) {
        return NX_NOT_SUCCESSFUL;
    }
    *ip = NX_IP{};
    ip->nx_ip_name = name;
    ip->nx_ip_address = ip_address;
    ip->nx_ip_network_mask = network_mask;
    ip->nx_ip_default_packet_pool = default_pool;
    ip->nx_ip_link_driver_entry = driver;
    ip->nx_ip_impl = impl;
    impl->ip = ip;
    {
        net::CoreLock core;
        net::g_instances.push_back(impl);
    }
    if (tx_event_flags_create(&ip->nx_ip_events, const_cast<CHAR*>("NetX IP events")) !=
        TX_SUCCESS) {
        delete impl;
        return NX_NOT_SUCCESSFUL;
    }
    ip->nx_ip_id = net::kIpId;
    const UINT status = tx_thread_create(&ip->nx_ip_thread, const_cast<CHAR*>(name), net::IpThread,
                                         reinterpret_cast<ULONG_PTR>(ip), memory, memory_size,
                                         priority, priority, TX_NO_TIME_SLICE, TX_AUTO_START);
    if (status != TX_SUCCESS) {
        ip->nx_ip_id = 0;
        tx_event_flags_delete(&ip->nx_ip_events);
        net::CoreLock core;
        std::erase(net::g_instances, impl);
        delete impl;
        return status;
    }
    return NX_SUCCESS;
}

UINT nx_ip_delete(NX_IP* ip) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId) {
        return NX_PTR_ERROR;
    }
    IpInstance* impl = ip->nx_ip_impl;
    tx_thread_terminate(&ip->nx_ip_thread);
    tx_thread_delete(&ip->nx_ip_thread);
    {
        net::CoreLock core;
        if (impl->nif.state != nullptr) {
            netif_remove(&impl->nif);
        }
        std::erase(net::g_instances, impl);
    }
    while (impl->rxHead != nullptr) {
        NX_PACKET* p = impl->rxHead;
        impl->rxHead = p->nx_packet_queue_next;
        nx_packet_release(p);
    }
    tx_event_flags_delete(&ip->nx_ip_events);
    ip->nx_ip_id = 0;
    delete impl;
    ip->nx_ip_impl = nullptr;
    return NX_SUCCESS;
}

UINT nx_ip_gateway_address_set(NX_IP* ip, ULONG address) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    ip->nx_ip_gateway_address = address;
    ip4_addr_t gw = net::Addr(address);
    netif_set_gw(&ip->nx_ip_impl->nif, &gw);
    return NX_SUCCESS;
}

UINT nx_ip_address_set(NX_IP* ip, ULONG address, ULONG network_mask) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    ip->nx_ip_address = address;
    ip->nx_ip_network_mask = network_mask;
    ip4_addr_t a = net::Addr(address);
    ip4_addr_t m = net::Addr(network_mask);
    netif_set_netmask(&ip->nx_ip_impl->nif, &m);
    netif_set_ipaddr(&ip->nx_ip_impl->nif, &a);
    return NX_SUCCESS;
}

UINT nx_ip_address_get(NX_IP* ip, ULONG* address, ULONG* network_mask) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId || address == nullptr ||
        network_mask == nullptr) {
        return NX_PTR_ERROR;
    }
    *address = ip->nx_ip_address;
    *network_mask = ip->nx_ip_network_mask;
    return NX_SUCCESS;
}

UINT nx_ip_status_check(NX_IP* ip, ULONG needed_status, ULONG* actual_status, ULONG wait_option) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId || actual_status == nullptr) {
        return NX_PTR_ERROR;
    }
    const ULONG start = tx_time_get();
    for (;;) {
        ULONG status = NX_IP_INITIALIZE_DONE;
        status |= ip->nx_ip_address != 0 ? NX_IP_ADDRESS_RESOLVED : 0;
        status |= ip->nx_ip_driver_link_up ? NX_IP_LINK_ENABLED : 0;
        status |= ip->nx_ip_arp_enabled ? NX_IP_ARP_ENABLED : 0;
        status |= ip->nx_ip_udp_enabled ? NX_IP_UDP_ENABLED : 0;
        status |= ip->nx_ip_tcp_enabled ? NX_IP_TCP_ENABLED : 0;
        *actual_status = status & needed_status;
        if (*actual_status == needed_status) {
            return NX_SUCCESS;
        }
        const ULONG waited = tx_time_get() - start;
        if (wait_option != TX_WAIT_FOREVER && waited >= wait_option) {
            return NX_NOT_SUCCESSFUL;
        }
        if (tx_thread_sleep(1) == TX_WAIT_ABORTED) {
            return NX_WAIT_ABORTED;
        }
    }
}

UINT nx_arp_enable(NX_IP* ip, VOID* cache_memory, ULONG) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId || cache_memory == nullptr) {
        return NX_PTR_ERROR;
    }
    if (ip->nx_ip_arp_enabled) {
        return NX_ALREADY_ENABLED;
    }
    ip->nx_ip_arp_enabled = 1;
    return NX_SUCCESS;
}

namespace {
UINT EnableFlag(NX_IP* ip, UINT NX_IP::*flag) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId) {
        return NX_PTR_ERROR;
    }
    if (ip->*flag) {
        return NX_ALREADY_ENABLED;
    }
    ip->*flag = 1;
    return NX_SUCCESS;
}
}  // namespace

UINT nx_icmp_enable(NX_IP* ip) {
    return EnableFlag(ip, &NX_IP::nx_ip_icmp_enabled);
}
UINT nx_udp_enable(NX_IP* ip) {
    return EnableFlag(ip, &NX_IP::nx_ip_udp_enabled);
}
UINT nx_tcp_enable(NX_IP* ip) {
    return EnableFlag(ip, &NX_IP::nx_ip_tcp_enabled);
}

VOID _nx_ip_driver_deferred_receive(NX_IP* ip, NX_PACKET* packet) {
    net::Deliver(ip, packet, net::kTypeIp);
}

VOID _nx_arp_packet_deferred_receive(NX_IP* ip, NX_PACKET* packet) {
    net::Deliver(ip, packet, net::kTypeArp);
}

VOID _nx_rarp_packet_deferred_receive(NX_IP*, NX_PACKET* packet) {
    if (packet != nullptr) {
        nx_packet_release(packet);
    }
}

UINT nx_arp_info_get(NX_IP* ip, ULONG* requests_sent, ULONG* requests_received,
                     ULONG* responses_sent, ULONG* responses_received, ULONG* dynamic_entries,
                     ULONG* static_entries, ULONG* aged_entries, ULONG* invalid_messages) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId) {
        return NX_PTR_ERROR;
    }
    const NX_IP_COUNTERS& c = ip->nx_ip_counters;
    ULONG entries = 0;
    {
        net::CoreLock core;
        for (size_t i = 0; i < ARP_TABLE_SIZE; ++i) {
            ip4_addr_t* address = nullptr;
            struct netif* nif = nullptr;
            struct eth_addr* eth = nullptr;
            entries += etharp_get_entry(i, &address, &nif, &eth) && nif == &ip->nx_ip_impl->nif;
        }
    }
    if (requests_sent)
        *requests_sent = c.arp_requests_sent;
    if (requests_received)
        *requests_received = c.arp_requests_received;
    if (responses_sent)
        *responses_sent = c.arp_responses_sent;
    if (responses_received)
        *responses_received = c.arp_responses_received;
    if (dynamic_entries)
        *dynamic_entries = entries;
    if (static_entries)
        *static_entries = 0;
    if (aged_entries)
        *aged_entries = 0;
    if (invalid_messages)
        *invalid_messages = 0;
    return NX_SUCCESS;
}

UINT nx_arp_entry_get(NX_IP* ip, UINT index, ULONG* ip_address, ULONG* msw, ULONG* lsw) {
    if (ip == nullptr || ip->nx_ip_id != net::kIpId || ip_address == nullptr || msw == nullptr ||
        lsw == nullptr) {
        return NX_PTR_ERROR;
    }
    net::CoreLock core;
    UINT seen = 0;
    for (size_t i = 0; i < ARP_TABLE_SIZE; ++i) {
        ip4_addr_t* address = nullptr;
        struct netif* nif = nullptr;
        struct eth_addr* eth = nullptr;
        if (!etharp_get_entry(i, &address, &nif, &eth) || nif != &ip->nx_ip_impl->nif) {
            continue;
        }
        if (seen++ == index) {
            *ip_address = lwip_ntohl(ip4_addr_get_u32(address));
            const uint8_t* a = eth->addr;
            *msw = ULONG(a[0]) << 8 | a[1];
            *lsw = ULONG(a[2]) << 24 | ULONG(a[3]) << 16 | ULONG(a[4]) << 8 | a[5];
            return NX_SUCCESS;
        }
    }
    return NX_ENTRY_NOT_FOUND;
}
