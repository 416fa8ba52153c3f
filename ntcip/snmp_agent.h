#pragma once
// SNMP agents, one per interface that carries SNMP, and the contract with the
// transport that carries it: the transport's net driver (create, open, receive,
// send, delete) and SnmpMessageReceive, through which every transport hands in a
// received message. A message is decoded, processed, encoded and sent inside
// SnmpMessageReceive, under the engine lock.
//
//   snmp_entry();                                   // once, before any agent
//   uint32_t used = 0;
//   snmp_agent_create(&agent, "ethernet", 161, 162, address, memory, &used, 2048,
//                     snmp_process, snmp_agent_null_callback, my_net_drv,
//                     nullptr, nullptr);            // no dispatch threads
//   SnmpMessageReceive(&agent, datagram, length);   // from the transport's thread

#include <cstdint>

#include "ntcip/snmp_message.h"
#include "ntcip/snmp_pending.h"
#include "platform/kernel/tx_api.h"

struct snmp_agent;

// Net driver layers and operations.
enum SnmpNetLayer : uint32_t { kSnmpLayerUdp = 0, kSnmpLayerTcp = 1 };
enum SnmpNetOperation : uint32_t {
    kSnmpNetCreate = 0,   // buffer: the agent's memory; *length: octets used, raised by the driver
    kSnmpNetOpen = 1,     // buffer: {port high, port low, address 1..4, 0}; *length 7
    kSnmpNetReceive = 2,  // into the receive buffer; sets *length and the source fields
    kSnmpNetSend = 3,     // buffer: first octet of the message; *length its octets
    kSnmpNetDelete = 4,
};
// 0 for success.
using snmp_net_drv = int (*)(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                             uint32_t* length);

// Process callback (snmp_process) and the second callback (GetResponse PDUs and
// version-3 messages with a msgID; the last argument is then the response tag).
using snmp_agent_callback = int (*)(snmp_agent* agent, uint32_t version, uint32_t security_model,
                                    const char* community, uint32_t security_flags,
                                    const char* context_engine_id, const char* context_name,
                                    uint32_t message_model, snmp_pdu* pdu, uint32_t slot_or_tag);

constexpr uint32_t kSnmpAgentNameSize = 30;
constexpr uint32_t kSnmpDispatchPriority = 3;

struct snmp_agent {
    char name[kSnmpAgentNameSize];
    uint16_t port;
    uint16_t trap_port;
    uint8_t address[4];
    uint8_t* transmit_buffer;  // kSnmpMessageBufferSize octets
    uint8_t* receive_buffer;   // kSnmpMessageBufferSize octets
    snmp_agent_callback process;
    snmp_agent_callback second;
    snmp_net_drv net_driver;
    uint16_t source_port;  // sender of the message being received (set by the transport)
    uint8_t source_address[4];
    uint32_t reply_port;  // where the response being sent goes
    uint8_t reply_address[4];
    snmp_pending_table pending;
    TX_SEMAPHORE semaphore;
    TX_THREAD udp_dispatch;
    TX_THREAD tcp_dispatch;
    // Link status of the PPP transport's network instance: 0 once the link is up
    // (waits until then). Null: always up.
    int (*wait_link_enabled)(snmp_agent* agent);
};

// Creates "SNMP PROTECT MUTEX" and links the MIB.
void snmp_entry();
// 0 or the failing status. *used counts the octets of memory taken: what the
// driver's create takes, both 3000-octet buffers and the dispatch stacks.
int snmp_agent_create(snmp_agent* agent, const char* name, uint16_t port, uint16_t trap_port,
                      const uint8_t address[4], uint8_t* memory, uint32_t* used,
                      uint32_t stack_size, snmp_agent_callback process, snmp_agent_callback second,
                      snmp_net_drv driver, TX_THREAD_ENTRY udp_entry, TX_THREAD_ENTRY tcp_entry);

// Dispatch thread entries (argument: the agent).
void pmpp_udp_ip_thread_entry(ULONG_PTR agent);
void pmpp_tcp_ip_thread_entry(ULONG_PTR agent);
void ppp_udp_ip_thread_entry(ULONG_PTR agent);
void ppp_tcp_ip_thread_entry(ULONG_PTR agent);

// The callback's result, or 0 when the message was dropped.
int SnmpMessageReceive(snmp_agent* agent, const uint8_t* message, uint32_t length);
// Encodes the response in the request's version and sends it through the net
// driver: 1 when sent, 0 when it could not be encoded.
int returnResponsePdu(snmp_agent* agent, uint32_t version, uint32_t security_model,
                      const char* community, uint32_t security_flags, const char* context_engine_id,
                      const char* context_name, uint32_t message_model, const snmp_pdu* pdu,
                      uint32_t pending_slot);
int snmp_agent_null_callback(snmp_agent* agent, uint32_t version, uint32_t security_model,
                             const char* community, uint32_t security_flags,
                             const char* context_engine_id, const char* context_name,
                             uint32_t message_model, snmp_pdu* pdu, uint32_t response_tag);
