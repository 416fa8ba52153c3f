#pragma once
// SNMP messages of versions 1, 2c and 3: decoding a received message into its
// header fields and PDU (taking a pending slot for a request), and encoding the
// response into an agent's transmit buffer (giving the slot back).
//
// Typical use by an agent, under the engine lock:
//   uint32_t version;
//   if (!snmp_message_version(msg, len, &version)) drop;
//   snmpv1_parse_message / snmpv2c_parse_message / snmpv3_parse_message
//       (&pending, port, address, msg, len, &fields, pdu)  -> 0: drop
//   ... process pdu->varbinds[0 .. pdu->count-1], set pdu->type = kSnmpGetResponse ...
//   snmpv1_prepare_response_message (or v2c, v3)
//       (&pending, transmit, &fields, pdu, &reply)          -> send reply.message
//   snmp_pending_release(&pending, fields.pending_slot);     // on every path: a no-op
//                                                            // once the response took it

#include <cstdint>

#include "ntcip/snmp_pdu.h"
#include "ntcip/snmp_pending.h"

constexpr uint32_t kSnmpMessageBufferSize = 3000;  // receive and transmit buffers
constexpr uint32_t kSnmpCommunityArea = 52;        // at most 51 octets and a zero
constexpr uint32_t kSnmpContextArea = 50;          // at most 49 octets and a zero
constexpr uint32_t kSnmpNoResponseTag = 0xFFFFFFFF;

// Header fields of one message.
struct snmp_message_fields {
    uint32_t version;
    uint32_t security_model;
    uint32_t security_flags;
    uint32_t message_model;
    char community[kSnmpCommunityArea];  // msgSecurityParameters for version 3
    char context_engine_id[kSnmpContextArea];
    char context_name[kSnmpContextArea];
    // 0 for a request of version 1 or 2c, the msgID for version 3, all ones for a
    // received GetResponse.
    uint32_t response_tag;
    uint32_t pending_slot;  // kSnmpNoPendingSlot when none was taken
};

// Where and what to send.
struct snmp_reply {
    uint32_t port;
    uint8_t address[4];
    const uint8_t* message;  // first octet, at the tail of the transmit buffer
    uint32_t length;
};

// The version of a message that starts with a SEQUENCE and an INTEGER; 0 otherwise.
int snmp_message_version(const uint8_t* message, uint32_t length, uint32_t* version);

// Decode a whole message. 1 when it decoded and, unless it is a GetResponse, a
// pending slot was taken. A community longer than 51 octets, a context field
// longer than 49, an indefinite length, a length past the data or past its
// enclosing value, or no free pending slot: 0 and no slot held.
int snmpv1_parse_message(snmp_pending_table* pending, uint32_t source_port,
                         const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                         snmp_message_fields* fields, snmp_pdu* pdu);
int snmpv2c_parse_message(snmp_pending_table* pending, uint32_t source_port,
                          const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                          snmp_message_fields* fields, snmp_pdu* pdu);
// Leaves version, security model and security flags untouched.
int snmpv3_parse_message(snmp_pending_table* pending, uint32_t source_port,
                         const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                         snmp_message_fields* fields, snmp_pdu* pdu);

// Encode the response into transmit_buffer (kSnmpMessageBufferSize octets).
// The pending slot is taken first, so it is free afterwards whatever the outcome.
int snmpv1_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                    const snmp_message_fields* fields, const snmp_pdu* pdu,
                                    snmp_reply* reply);
int snmpv2c_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                     const snmp_message_fields* fields, const snmp_pdu* pdu,
                                     snmp_reply* reply);
int snmpv3_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                    const snmp_message_fields* fields, const snmp_pdu* pdu,
                                    snmp_reply* reply);
