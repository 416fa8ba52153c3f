#pragma once
// Building and sending SNMPv1 traps: every trap carries enterprise 1.3.6.1.4.47
// and message version 0, is encoded into the agent's transmit buffer under the
// engine lock and goes out over the subnetwork the caller names.
//
//   snmp_trap(agent, kTrapViaUdpClient, 162, address, 0, 0, nullptr, 0, "", "", 0,
//             6, 17, count, varbinds);

#include <cstdint>

#include "ntcip/snmp_agent.h"
#include "ntcip/trap_record.h"

enum TrapSubnetwork : uint32_t {
    kTrapViaLink = 1,       // the agent's own serial link (net driver, layer 1)
    kTrapViaUdpClient = 2,  // the Ethernet UDP trap client
    kTrapViaTcpClient = 3,  // the Ethernet TCP trap client
    kTrapViaTcpServer = 4,  // the TCP server channel on port 162
};

constexpr uint32_t kTrapDefaultPort = 162;
constexpr const char* kTrapDefaultCommunity = "tamsol";

// The transports of kinds 1-4 live with the communication subsystem; each one
// left null drops the message (and counts it).
struct snmp_trap_transports {
    // Kind 1, before the send: the link's protocol identifier for the frame (0xC1)
    // and, in radio mode, its addressing fields (snmp_trap_radio_fields).
    void (*prepare_link)(snmp_agent* agent, uint32_t trap_port);
    int (*udp_client_send_data)(const uint8_t* message, uint32_t length, uint32_t port,
                                const uint8_t address[4]);
    int (*tcp_client_send_data)(const uint8_t* message, uint32_t length, uint32_t port,
                                const uint8_t address[4]);
    int (*TcpServerTrapSend)(const uint8_t* message, uint32_t length);
};
void snmp_trap_set_transports(const snmp_trap_transports& transports);

constexpr uint32_t kTrapRadioFieldsSize = 20;
// The radio addressing fields of a link frame: 02, the remote address, protocol
// 17, five zeros, source port 161, the trap port and the remote logical id as
// five ASCII digits.
void snmp_trap_radio_fields(uint8_t out[kTrapRadioFieldsSize], const uint8_t remote_address[4],
                            uint32_t trap_port, uint32_t remote_lid);

// The result of sendPduTrap, or 0 (nothing sent) for a null agent.
int snmp_trap(snmp_agent* agent, uint32_t subnetwork, uint32_t trap_port,
              const uint8_t agent_address[4], uint32_t version, uint32_t security_model,
              const char* community, uint32_t security_flags, const char* context_engine_id,
              const char* context_name, uint32_t message_model, uint32_t generic, uint32_t specific,
              uint32_t count, const trap_varbind* varbinds);
// 1 sent, -1 refused.
int sendPduTrap(snmp_agent* agent, uint32_t subnetwork, uint32_t trap_port,
                const uint8_t agent_address[4], uint32_t version, uint32_t security_model,
                const char* community, uint32_t security_level, const char* context_engine_id,
                const void* pdu_version, const snmp_pdu* pdu);
// 1 with the message (at the tail of the transmit buffer) and its destination, else 0.
int snmpv1_prepare_trap_message(snmp_agent* agent, uint32_t trap_port,
                                const uint8_t agent_address[4], uint32_t message_model,
                                uint32_t security_model, const char* community,
                                uint32_t security_level, const char* context_engine_id,
                                const void* pdu_version, const snmp_pdu* pdu, uint32_t* port,
                                uint8_t address[4], const uint8_t** message, uint32_t* length);
// Trap messages no transport took.
uint32_t snmp_trap_dropped();
