#pragma once
// The network stack's services under their usual names: IP instances with a link driver,
// packet pools, UDP and TCP sockets. The stack underneath is lwIP; waits are kernel waits in
// ticks (TX_NO_WAIT, TX_WAIT_FOREVER or a count) and end with NX_WAIT_ABORTED when the thread's
// wait is aborted.
//
// Packets are single buffers (no chains). A packet pool carves the caller's memory into
// payloads at a stride of payload size + 44 bytes; the packet records live beside it.

#include <cstdint>

#include "platform/kernel/tx_api.h"

// Statuses.
inline constexpr UINT NX_SUCCESS = 0x00;
inline constexpr UINT NX_NO_PACKET = 0x01;
inline constexpr UINT NX_UNDERFLOW = 0x02;
inline constexpr UINT NX_OVERFLOW = 0x03;
inline constexpr UINT NX_NO_MAPPING = 0x04;
inline constexpr UINT NX_DELETED = 0x05;
inline constexpr UINT NX_POOL_ERROR = 0x06;
inline constexpr UINT NX_PTR_ERROR = 0x07;
inline constexpr UINT NX_WAIT_ERROR = 0x08;
inline constexpr UINT NX_SIZE_ERROR = 0x09;
inline constexpr UINT NX_OPTION_ERROR = 0x0A;
inline constexpr UINT NX_CALLER_ERROR = 0x11;
inline constexpr UINT NX_INVALID_PACKET = 0x12;
inline constexpr UINT NX_INVALID_SOCKET = 0x13;
inline constexpr UINT NX_NOT_ENABLED = 0x14;
inline constexpr UINT NX_ALREADY_ENABLED = 0x15;
inline constexpr UINT NX_ENTRY_NOT_FOUND = 0x16;
inline constexpr UINT NX_WAIT_ABORTED = 0x1A;
inline constexpr UINT NX_IP_INTERNAL_ERROR = 0x20;
inline constexpr UINT NX_IP_ADDRESS_ERROR = 0x21;
inline constexpr UINT NX_ALREADY_BOUND = 0x22;
inline constexpr UINT NX_PORT_UNAVAILABLE = 0x23;
inline constexpr UINT NX_NOT_BOUND = 0x24;
inline constexpr UINT NX_NOT_CREATED = 0x27;
inline constexpr UINT NX_NO_RESPONSE = 0x29;
inline constexpr UINT NX_ALREADY_RELEASED = 0x31;
inline constexpr UINT NX_MAX_LISTEN = 0x33;
inline constexpr UINT NX_DUPLICATE_LISTEN = 0x34;
inline constexpr UINT NX_NOT_CLOSED = 0x35;
inline constexpr UINT NX_NOT_LISTEN_STATE = 0x36;
inline constexpr UINT NX_IN_PROGRESS = 0x37;
inline constexpr UINT NX_NOT_CONNECTED = 0x38;
inline constexpr UINT NX_WINDOW_OVERFLOW = 0x39;
inline constexpr UINT NX_STILL_BOUND = 0x42;
inline constexpr UINT NX_NOT_SUCCESSFUL = 0x43;
inline constexpr UINT NX_UNHANDLED_COMMAND = 0x44;
inline constexpr UINT NX_INVALID_PORT = 0x46;
inline constexpr UINT NX_INVALID_RELISTEN = 0x47;
inline constexpr UINT NX_CONNECTION_PENDING = 0x48;

// Packet types: the room left before the payload for the headers to come.
inline constexpr ULONG NX_RECEIVE_PACKET = 0;
inline constexpr ULONG NX_PHYSICAL_HEADER = 16;
inline constexpr ULONG NX_IP_PACKET = 36;
inline constexpr ULONG NX_UDP_PACKET = 44;
inline constexpr ULONG NX_TCP_PACKET = 56;
inline constexpr ULONG NX_PACKET_HEADER_SIZE = 44;  // charged per packet in a pool's memory

// Driver commands.
inline constexpr UINT NX_LINK_PACKET_SEND = 0;
inline constexpr UINT NX_LINK_INITIALIZE = 1;
inline constexpr UINT NX_LINK_ENABLE = 2;
inline constexpr UINT NX_LINK_DISABLE = 3;
inline constexpr UINT NX_LINK_PACKET_BROADCAST = 4;
inline constexpr UINT NX_LINK_ARP_SEND = 5;
inline constexpr UINT NX_LINK_ARP_RESPONSE_SEND = 6;
inline constexpr UINT NX_LINK_RARP_SEND = 7;
inline constexpr UINT NX_LINK_MULTICAST_JOIN = 8;
inline constexpr UINT NX_LINK_MULTICAST_LEAVE = 9;
inline constexpr UINT NX_LINK_GET_STATUS = 10;

// nx_ip_status_check options.
inline constexpr ULONG NX_IP_INITIALIZE_DONE = 0x0001;
inline constexpr ULONG NX_IP_ADDRESS_RESOLVED = 0x0002;
inline constexpr ULONG NX_IP_LINK_ENABLED = 0x0004;
inline constexpr ULONG NX_IP_ARP_ENABLED = 0x0008;
inline constexpr ULONG NX_IP_UDP_ENABLED = 0x0010;
inline constexpr ULONG NX_IP_TCP_ENABLED = 0x0020;
inline constexpr ULONG NX_IP_IGMP_ENABLED = 0x0040;
inline constexpr ULONG NX_IP_RARP_COMPLETE = 0x0080;

// Socket options.
inline constexpr ULONG NX_IP_NORMAL = 0;
inline constexpr ULONG NX_FRAGMENT_OKAY = 0;
inline constexpr ULONG NX_DONT_FRAGMENT = 0x4000;
inline constexpr UINT NX_IP_TIME_TO_LIVE = 128;
inline constexpr UINT NX_ANY_PORT = 0;
inline constexpr UINT NX_SEARCH_PORT_START = 0xC000;

#define IP_ADDRESS(a, b, c, d) ((ULONG(a) << 24) | (ULONG(b) << 16) | (ULONG(c) << 8) | ULONG(d))

struct NX_PACKET_POOL;
struct NX_IP;

struct NX_PACKET {
    NX_PACKET* nx_packet_queue_next;  // free for whoever holds the packet (driver queues)
    NX_PACKET* nx_packet_next;        // always null: packets are single buffers
    NX_PACKET_POOL* nx_packet_pool_owner;
    UCHAR* nx_packet_data_start;
    UCHAR* nx_packet_data_end;
    UCHAR* nx_packet_prepend_ptr;
    UCHAR* nx_packet_append_ptr;
    ULONG nx_packet_length;
    NX_IP* nx_packet_ip;        // the instance a received packet came through
    ULONG nx_packet_source_ip;  // received datagrams: sender (host order)
    UINT nx_packet_source_port;
    NX_PACKET* nx_packet_pool_next;  // the pool's free list
    UCHAR nx_packet_allocated;
};

struct NX_PACKET_POOL {
    ULONG nx_packet_pool_id;
    const CHAR* nx_packet_pool_name;
    ULONG nx_packet_pool_total;
    ULONG nx_packet_pool_available;
    ULONG nx_packet_pool_empty_requests;  // allocations that found the pool empty
    ULONG nx_packet_pool_invalid_releases;
    ULONG nx_packet_pool_payload_size;
    NX_PACKET* nx_packet_pool_free_list;
    NX_PACKET* nx_packet_pool_records;  // host-side records, one per packet
    TX_SEMAPHORE nx_packet_pool_free;   // counts free packets (for waiting allocations)
};

struct NX_IP_DRIVER {
    UINT nx_ip_driver_command;
    UINT nx_ip_driver_status;
    ULONG nx_ip_driver_physical_address_msw;
    ULONG nx_ip_driver_physical_address_lsw;
    NX_PACKET* nx_ip_driver_packet;
    ULONG* nx_ip_driver_return_ptr;
    NX_IP* nx_ip_driver_ptr;
};

using NX_IP_DRIVER_ENTRY = void (*)(NX_IP_DRIVER*);

namespace net {
struct IpInstance;
struct UdpSocketState;
struct TcpSocketState;
}  // namespace net

// Counters of an IP instance (read by the console's network displays).
struct NX_IP_COUNTERS {
    ULONG packets_sent;
    ULONG packets_received;
    ULONG packets_dropped;  // no packet for a frame, queue full, unknown command
    ULONG arp_frames_received;
    ULONG arp_requests_sent;
    ULONG arp_requests_received;
    ULONG arp_responses_sent;
    ULONG arp_responses_received;
    ULONG icmp_dropped;  // echo requests while ICMP is off
    ULONG udp_datagrams_sent;
    ULONG udp_datagrams_received;
    ULONG udp_receive_dropped;  // socket queue full or nobody bound
    ULONG tcp_connections;      // accepted or connected
    ULONG tcp_disconnections;
    ULONG tcp_bytes_sent;
    ULONG tcp_bytes_received;
};

struct NX_IP {
    ULONG nx_ip_id;
    const CHAR* nx_ip_name;
    ULONG nx_ip_address;  // host order
    ULONG nx_ip_network_mask;
    ULONG nx_ip_gateway_address;
    UINT nx_ip_driver_mtu;
    UINT nx_ip_driver_mapping_needed;
    UINT nx_ip_driver_link_up;
    ULONG nx_ip_arp_physical_address_msw;  // set by the driver at initialisation
    ULONG nx_ip_arp_physical_address_lsw;
    NX_IP_DRIVER_ENTRY nx_ip_link_driver_entry;
    NX_PACKET_POOL* nx_ip_default_packet_pool;
    UINT nx_ip_arp_enabled;
    UINT nx_ip_icmp_enabled;
    UINT nx_ip_udp_enabled;
    UINT nx_ip_tcp_enabled;
    NX_IP_COUNTERS nx_ip_counters;
    void* nx_ip_driver_data;  // free for the link driver
    TX_THREAD nx_ip_thread;
    TX_EVENT_FLAGS_GROUP nx_ip_events;
    net::IpInstance* nx_ip_impl;
};

struct NX_UDP_SOCKET {
    ULONG nx_udp_socket_id;
    const CHAR* nx_udp_socket_name;
    NX_IP* nx_udp_socket_ip_ptr;
    UINT nx_udp_socket_port;  // 0 while unbound
    ULONG nx_udp_socket_queue_maximum;
    TX_SEMAPHORE nx_udp_socket_received;
    net::UdpSocketState* nx_udp_socket_impl;
};

struct NX_TCP_SOCKET;
using NX_TCP_CALLBACK = void (*)(NX_TCP_SOCKET* socket);
using NX_TCP_LISTEN_CALLBACK = void (*)(NX_TCP_SOCKET* socket, UINT port);

// TCP socket states.
inline constexpr UINT NX_TCP_CLOSED = 1;
inline constexpr UINT NX_TCP_LISTEN_STATE = 2;
inline constexpr UINT NX_TCP_SYN_SENT = 3;
inline constexpr UINT NX_TCP_ESTABLISHED = 5;
inline constexpr UINT NX_TCP_CLOSE_WAIT = 6;

struct NX_TCP_SOCKET {
    ULONG nx_tcp_socket_id;
    const CHAR* nx_tcp_socket_name;
    NX_IP* nx_tcp_socket_ip_ptr;
    UINT nx_tcp_socket_state;
    UINT nx_tcp_socket_port;  // local port (listen port for a server socket)
    ULONG nx_tcp_socket_connect_ip;
    UINT nx_tcp_socket_connect_port;
    ULONG nx_tcp_socket_rx_window_default;
    NX_TCP_CALLBACK nx_tcp_urgent_data_callback;
    NX_TCP_CALLBACK nx_tcp_disconnect_callback;
    TX_SEMAPHORE nx_tcp_socket_signal;  // something changed (data, connection, space, close)
    net::TcpSocketState* nx_tcp_socket_impl;
};

// Packet pools.
UINT nx_packet_pool_create(NX_PACKET_POOL* pool, const CHAR* name, ULONG payload_size, VOID* memory,
                           ULONG memory_size);
UINT nx_packet_pool_delete(NX_PACKET_POOL* pool);
UINT nx_packet_allocate(NX_PACKET_POOL* pool, NX_PACKET** packet, ULONG packet_type,
                        ULONG wait_option);
UINT nx_packet_release(NX_PACKET* packet);
UINT nx_packet_transmit_release(NX_PACKET* packet);
UINT nx_packet_data_append(NX_PACKET* packet, const VOID* data, ULONG size, NX_PACKET_POOL* pool,
                           ULONG wait_option);
UINT nx_packet_data_retrieve(NX_PACKET* packet, VOID* buffer, ULONG* size);
UINT nx_packet_pool_info_get(NX_PACKET_POOL* pool, ULONG* total, ULONG* free, ULONG* empty_requests,
                             ULONG* invalid_releases);

// IP instances. The instance's thread ("IP helper") initialises and enables the link, then
// carries frames between the driver and the stack.
UINT nx_system_initialize();
UINT nx_ip_create(NX_IP* ip, const CHAR* name, ULONG ip_address, ULONG network_mask,
                  NX_PACKET_POOL* default_pool, NX_IP_DRIVER_ENTRY driver, VOID* memory,
                  ULONG memory_size, UINT priority);
UINT nx_ip_delete(NX_IP* ip);
UINT nx_ip_gateway_address_set(NX_IP* ip, ULONG address);
UINT nx_ip_address_set(NX_IP* ip, ULONG address, ULONG network_mask);
UINT nx_ip_address_get(NX_IP* ip, ULONG* address, ULONG* network_mask);
UINT nx_ip_status_check(NX_IP* ip, ULONG needed_status, ULONG* actual_status, ULONG wait_option);
UINT nx_arp_enable(NX_IP* ip, VOID* cache_memory, ULONG cache_size);
UINT nx_arp_info_get(NX_IP* ip, ULONG* requests_sent, ULONG* requests_received,
                     ULONG* responses_sent, ULONG* responses_received, ULONG* dynamic_entries,
                     ULONG* static_entries, ULONG* aged_entries, ULONG* invalid_messages);
// The index-th valid entry of the instance's ARP cache (this stand-in's own listing call).
UINT nx_arp_entry_get(NX_IP* ip, UINT index, ULONG* ip_address, ULONG* msw, ULONG* lsw);
UINT nx_icmp_enable(NX_IP* ip);
UINT nx_udp_enable(NX_IP* ip);
UINT nx_tcp_enable(NX_IP* ip);
// Driver side: a received frame's payload (header removed) for the instance's thread. Callable
// from interrupt handlers.
VOID _nx_ip_driver_deferred_receive(NX_IP* ip, NX_PACKET* packet);
VOID _nx_arp_packet_deferred_receive(NX_IP* ip, NX_PACKET* packet);
VOID _nx_rarp_packet_deferred_receive(NX_IP* ip, NX_PACKET* packet);

// UDP.
UINT nx_udp_socket_create(NX_IP* ip, NX_UDP_SOCKET* socket, const CHAR* name, ULONG tos,
                          ULONG fragment, UINT ttl, ULONG queue_maximum);
UINT nx_udp_socket_delete(NX_UDP_SOCKET* socket);
UINT nx_udp_socket_bind(NX_UDP_SOCKET* socket, UINT port, ULONG wait_option);
UINT nx_udp_socket_unbind(NX_UDP_SOCKET* socket);
UINT nx_udp_socket_send(NX_UDP_SOCKET* socket, NX_PACKET* packet, ULONG ip_address, UINT port);
UINT nx_udp_socket_receive(NX_UDP_SOCKET* socket, NX_PACKET** packet, ULONG wait_option);
UINT nx_udp_source_extract(NX_PACKET* packet, ULONG* ip_address, UINT* port);

// TCP.
UINT nx_tcp_socket_create(NX_IP* ip, NX_TCP_SOCKET* socket, const CHAR* name, ULONG tos,
                          ULONG fragment, UINT ttl, ULONG window_size,
                          NX_TCP_CALLBACK urgent_data_callback,
                          NX_TCP_CALLBACK disconnect_callback);
UINT nx_tcp_socket_delete(NX_TCP_SOCKET* socket);
UINT nx_tcp_server_socket_listen(NX_IP* ip, UINT port, NX_TCP_SOCKET* socket, UINT queue_maximum,
                                 NX_TCP_LISTEN_CALLBACK listen_callback);
UINT nx_tcp_server_socket_accept(NX_TCP_SOCKET* socket, ULONG wait_option);
UINT nx_tcp_server_socket_unaccept(NX_TCP_SOCKET* socket);
UINT nx_tcp_server_socket_relisten(NX_IP* ip, UINT port, NX_TCP_SOCKET* socket);
UINT nx_tcp_server_socket_unlisten(NX_IP* ip, UINT port);
UINT nx_tcp_client_socket_bind(NX_TCP_SOCKET* socket, UINT port, ULONG wait_option);
UINT nx_tcp_client_socket_unbind(NX_TCP_SOCKET* socket);
UINT nx_tcp_client_socket_connect(NX_TCP_SOCKET* socket, ULONG server_ip, UINT server_port,
                                  ULONG wait_option);
UINT nx_tcp_socket_disconnect(NX_TCP_SOCKET* socket, ULONG wait_option);
UINT nx_tcp_socket_send(NX_TCP_SOCKET* socket, NX_PACKET* packet, ULONG wait_option);
UINT nx_tcp_socket_receive(NX_TCP_SOCKET* socket, NX_PACKET** packet, ULONG wait_option);
// Calls notify (on the instance's thread) whenever data arrives on the socket; null stops it.
UINT nx_tcp_socket_receive_notify(NX_TCP_SOCKET* socket, NX_TCP_CALLBACK notify);
