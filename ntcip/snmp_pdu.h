#pragma once
// SNMP varbinds and PDUs: the decoded records the agent works on and their BER
// codecs (versions 1 and 2c, and the scoped PDU of version 3).
//
// Decoders take an optional enclosing end mark: a value found inside must end
// within it (up to 2 octets past it in compatibility mode). Null means the end
// of the data. Indefinite lengths are refused throughout.

#include <cstdint>

#include "ntcip/asn1_codec.h"

constexpr uint32_t kSnmpMaxNameLength = 40;  // sub-identifiers of a name
constexpr uint32_t kSnmpValueArea = 8000;    // octets of a varbind's value area
constexpr int16_t kSnmpMaxVarbinds = 50;     // varbind slots of a PDU

// Value syntax of a varbind.
enum SnmpSyntax : uint16_t {
    kSnmpNull = 0,
    kSnmpInteger = 1,
    kSnmpOctetString = 2,
    kSnmpObjectId = 3,
    kSnmpIpAddress = 4,
    kSnmpCounter = 5,
    kSnmpGauge = 6,
    kSnmpTimeTicks = 7,
    kSnmpOpaque = 8,
    kSnmpBitString = 9,
    kSnmpCounter64 = 11,
    kSnmpNoSuchObject = 12,
    kSnmpNoSuchInstance = 13,
    kSnmpEndOfMibView = 14,
};

// PDU types (the context tag of the PDU).
enum SnmpPduType : uint32_t {
    kSnmpGetRequest = 0,
    kSnmpGetNextRequest = 1,
    kSnmpGetResponse = 2,
    kSnmpSetRequest = 3,
    kSnmpTrapV1 = 4,
    kSnmpGetBulkRequest = 5,
    kSnmpInformRequest = 6,
    kSnmpTrapV2 = 7,
};

// Error status of a response.
enum SnmpErrorStatus : uint32_t {
    kSnmpNoError = 0,
    kSnmpTooBig = 1,
    kSnmpNoSuchName = 2,
    kSnmpBadValue = 3,
    kSnmpReadOnly = 4,
    kSnmpGenErr = 5,
};

// One varbind slot.
struct snmp_object {
    uint32_t name[kSnmpMaxNameLength];
    uint32_t name_length;
    uint16_t syntax;  // SnmpSyntax
    // Octets of OCTET STRING, Opaque and IpAddress values; 4 for the integer
    // syntaxes; for OBJECT IDENTIFIER: 4 x sub-identifiers after decoding, the
    // sub-identifier count before encoding; 0 for NULL and the exceptions.
    uint32_t value_length;
    // value[0] is the word of INTEGER, Counter, Gauge and TimeTicks; an OBJECT
    // IDENTIFIER value is its sub-identifiers; other values are octets().
    uint32_t value[kSnmpValueArea / 4];
    // Set by the MIB handler that answers this varbind: the value or its address.
    uintptr_t handler_value;

    uint8_t* octets() { return reinterpret_cast<uint8_t*>(value); }
    const uint8_t* octets() const { return reinterpret_cast<const uint8_t*>(value); }
};

struct snmp_request_header {
    uint32_t request_id;
    uint32_t error_status;  // GetBulk: non-repeaters
    uint32_t error_index;   // GetBulk: max-repetitions
};

struct snmp_trap_header {
    uint32_t enterprise[kSnmpMaxNameLength];
    uint32_t enterprise_length;
    uint8_t agent_address[4];
    uint32_t generic_trap;
    uint32_t specific_trap;
    uint32_t time_stamp;
};

// One decoded or to-be-encoded PDU. About 400 KB: never a thread-stack local.
struct snmp_pdu {
    uint32_t type;                // SnmpPduType
    snmp_request_header request;  // types 0..3 and 5..7
    snmp_trap_header trap;        // type 4
    snmp_object varbinds[kSnmpMaxVarbinds];
    int16_t count;  // varbinds in use, 0..50
};

// Syntax <-> BER class and tag; 0 when there is no row.
int g_snmp_syntax2tag_cls(uint32_t syntax, uint32_t* tag, uint32_t* cls);
int g_snmp_tag_cls2syntax(uint32_t tag, uint32_t cls, uint32_t* syntax);

int g_snmp_object_encode(asn1_context* ctx, const snmp_object* object);
// A null object checks the varbind and drops it.
int g_snmp_object_decode(asn1_context* ctx, snmp_object* object,
                         const uint8_t* enclosing = nullptr);

int g_snmp_list_encode(asn1_context* ctx, const snmp_object* objects, int16_t count);
// Stores at most 50 varbinds; total (optional) receives how many the list held.
int g_snmp_list_decode(asn1_context* ctx, snmp_object* objects, int16_t* count,
                       const uint8_t* enclosing = nullptr, uint32_t* total = nullptr);

int g_snmp_request_encode(asn1_context* ctx, const snmp_request_header* request);
int g_snmp_request_decode(asn1_context* ctx, snmp_request_header* request,
                          const uint8_t* enclosing = nullptr);
int g_snmp_trap_encode(asn1_context* ctx, const snmp_trap_header* trap);
int g_snmp_trap_decode(asn1_context* ctx, snmp_trap_header* trap,
                       const uint8_t* enclosing = nullptr);

int g_snmp_pdu_v1_encode(asn1_context* ctx, const snmp_pdu* pdu);
int g_snmp_pdu_v1_decode(asn1_context* ctx, snmp_pdu* pdu, const uint8_t* enclosing = nullptr);
int g_snmp_pdu_v2_encode(asn1_context* ctx, const snmp_pdu* pdu);
int g_snmp_pdu_v2_decode(asn1_context* ctx, snmp_pdu* pdu, const uint8_t* enclosing = nullptr);
// Scoped PDU: contextEngineID, contextName (zero-terminated texts) and the PDU.
int g_snmp_pdu_v3_encode(asn1_context* ctx, const snmp_pdu* pdu, const char* context_engine_id,
                         const char* context_name);

// Reads a header that must be definite and end within enclosing (see above).
int snmp_header_decode_within(asn1_context* ctx, const uint8_t* enclosing, const uint8_t** end_mark,
                              uint32_t* cls, uint32_t* constructed, uint32_t* tag);
// The same, and the header must have this class, form and tag.
int snmp_header_expect(asn1_context* ctx, const uint8_t* enclosing, const uint8_t** end_mark,
                       uint32_t cls, uint32_t constructed, uint32_t tag);
