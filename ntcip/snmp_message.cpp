#include "ntcip/snmp_message.h"

#include <cstring>

#include "ntcip/asn1_codec.h"
#include "ntcip/snmp_counters.h"

namespace {

int DecodeUnsigned(asn1_context* ctx, const uint8_t* enclosing, uint32_t* value) {
    const uint8_t* end = nullptr;
    return snmp_header_expect(ctx, enclosing, &end, kAsn1Universal, kAsn1Primitive,
                              kAsn1TagInteger) &&
           g_asn1_uint_decode(ctx, end, value);
}

// An OCTET STRING into a zero-terminated area; longer than area - 1 is refused.
int DecodeText(asn1_context* ctx, const uint8_t* enclosing, char* area, uint32_t area_size) {
    const uint8_t* end = nullptr;
    uint32_t count = 0;
    if (!snmp_header_expect(ctx, enclosing, &end, kAsn1Universal, kAsn1Primitive,
                            kAsn1TagOctetString) ||
        !g_asn1_octets_decode(ctx, end, reinterpret_cast<uint8_t*>(area), area_size - 1, &count)) {
        return 0;
    }
    area[count] = '\0';
    return 1;
}

int EncodeUnsigned(asn1_context* ctx, uint32_t value) {
    const uint8_t* end = nullptr;
    return g_asn1_uint_encode(ctx, &end, value) &&
           g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger);
}

int EncodeOctets(asn1_context* ctx, const uint8_t* bytes, uint32_t count) {
    const uint8_t* end = nullptr;
    return g_asn1_octets_encode(ctx, &end, bytes, count) &&
           g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString);
}

int EncodeText(asn1_context* ctx, const char* text, uint32_t area_size) {
    return EncodeOctets(ctx, reinterpret_cast<const uint8_t*>(text),
                        static_cast<uint32_t>(strnlen(text, area_size - 1)));
}

using PduDecoder = int (*)(asn1_context*, snmp_pdu*, const uint8_t*);

// Shared by versions 1 and 2c: SEQUENCE { version, community, PDU }.
int ParseCommunityMessage(PduDecoder decode_pdu, bool count_responses, snmp_pending_table* pending,
                          uint32_t source_port, const uint8_t source_address[4],
                          const uint8_t* message, uint32_t length, snmp_message_fields* fields,
                          snmp_pdu* pdu) {
    fields->response_tag = 0;
    fields->pending_slot = kSnmpNoPendingSlot;
    asn1_context ctx;
    g_asn1_open_decode(&ctx, message, length);
    const uint8_t* end = nullptr;
    if (!snmp_header_expect(&ctx, nullptr, &end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence) ||
        !DecodeUnsigned(&ctx, end, &fields->version) ||
        !DecodeText(&ctx, end, fields->community, kSnmpCommunityArea) ||
        !decode_pdu(&ctx, pdu, end) || !g_asn1_eoc_decode(&ctx, end)) {
        return 0;
    }
    if (pdu->type == kSnmpGetResponse) {
        if (count_responses) {
            snmp_count_in_get_responses();
        }
        fields->response_tag = kSnmpNoResponseTag;
        return 1;
    }
    return snmp_pending_alloc(pending, 0, source_port, source_address, &fields->pending_slot);
}

// Takes the slot first, so that a refused response still frees it.
int TakeSlot(snmp_pending_table* pending, const snmp_message_fields* fields, snmp_reply* reply,
             uint32_t* response_tag) {
    return snmp_pending_take(pending, fields->pending_slot, response_tag, &reply->port,
                             reply->address);
}

int Finish(asn1_context* ctx, const uint8_t* end, snmp_reply* reply) {
    if (!g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence)) {
        return 0;
    }
    return g_asn1_close(ctx, &reply->message, &reply->length);
}

}  // namespace

int snmp_message_version(const uint8_t* message, uint32_t length, uint32_t* version) {
    asn1_context ctx;
    g_asn1_open_decode(&ctx, message, length);
    const uint8_t* end = nullptr;
    return snmp_header_expect(&ctx, nullptr, &end, kAsn1Universal, kAsn1Constructed,
                              kAsn1TagSequence) &&
           DecodeUnsigned(&ctx, end, version);
}

int snmpv1_parse_message(snmp_pending_table* pending, uint32_t source_port,
                         const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                         snmp_message_fields* fields, snmp_pdu* pdu) {
    fields->security_model = 1;
    fields->security_flags = 0;
    fields->message_model = 0;
    return ParseCommunityMessage(g_snmp_pdu_v1_decode, true, pending, source_port, source_address,
                                 message, length, fields, pdu);
}

int snmpv2c_parse_message(snmp_pending_table* pending, uint32_t source_port,
                          const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                          snmp_message_fields* fields, snmp_pdu* pdu) {
    fields->security_model = 2;
    fields->security_flags = 0;
    fields->message_model = 2;
    return ParseCommunityMessage(g_snmp_pdu_v2_decode, false, pending, source_port, source_address,
                                 message, length, fields, pdu);
}

int snmpv3_parse_message(snmp_pending_table* pending, uint32_t source_port,
                         const uint8_t source_address[4], const uint8_t* message, uint32_t length,
                         snmp_message_fields* fields, snmp_pdu* pdu) {
    fields->response_tag = 0;
    fields->pending_slot = kSnmpNoPendingSlot;
    asn1_context ctx;
    g_asn1_open_decode(&ctx, message, length);
    const uint8_t* end = nullptr;
    const uint8_t* global_end = nullptr;
    const uint8_t* scoped_end = nullptr;
    uint32_t message_id = 0;
    uint32_t max_size = 0;
    uint32_t security_model = 0;
    char flags[8];
    if (!snmp_header_expect(&ctx, nullptr, &end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence) ||
        !DecodeUnsigned(&ctx, end, &fields->message_model) ||
        !snmp_header_expect(&ctx, end, &global_end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence) ||
        !DecodeUnsigned(&ctx, global_end, &message_id) ||
        !DecodeUnsigned(&ctx, global_end, &max_size) ||
        !DecodeText(&ctx, global_end, flags, sizeof flags) ||
        !DecodeUnsigned(&ctx, global_end, &security_model) ||
        !g_asn1_eoc_decode(&ctx, global_end) ||
        !DecodeText(&ctx, end, fields->community, kSnmpCommunityArea) ||
        !snmp_header_expect(&ctx, end, &scoped_end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence) ||
        !DecodeText(&ctx, scoped_end, fields->context_engine_id, kSnmpContextArea) ||
        !DecodeText(&ctx, scoped_end, fields->context_name, kSnmpContextArea) ||
        !g_snmp_pdu_v2_decode(&ctx, pdu, scoped_end) || !g_asn1_eoc_decode(&ctx, scoped_end) ||
        !g_asn1_eoc_decode(&ctx, end)) {
        return 0;
    }
    if (pdu->type == kSnmpGetResponse) {
        fields->response_tag = kSnmpNoResponseTag;
        return 1;
    }
    fields->response_tag = message_id;
    return snmp_pending_alloc(pending, message_id, source_port, source_address,
                              &fields->pending_slot);
}

int snmpv1_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                    const snmp_message_fields* fields, const snmp_pdu* pdu,
                                    snmp_reply* reply) {
    uint32_t tag = 0;
    if (!TakeSlot(pending, fields, reply, &tag)) {
        return 0;
    }
    if (fields->version != 0 || fields->security_model > 1 || fields->security_flags != 0 ||
        fields->message_model != 0) {
        return 0;
    }
    std::memset(transmit_buffer, 0, kSnmpMessageBufferSize);
    asn1_context ctx;
    g_asn1_open(&ctx, transmit_buffer, kSnmpMessageBufferSize, 0);
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(&ctx, &end);
    return g_snmp_pdu_v1_encode(&ctx, pdu) &&
           EncodeText(&ctx, fields->community, kSnmpCommunityArea) && EncodeUnsigned(&ctx, 0) &&
           Finish(&ctx, end, reply);
}

int snmpv2c_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                     const snmp_message_fields* fields, const snmp_pdu* pdu,
                                     snmp_reply* reply) {
    uint32_t tag = 0;
    if (!TakeSlot(pending, fields, reply, &tag)) {
        return 0;
    }
    if (fields->version != 1 || fields->security_model > 2 || fields->security_flags != 0 ||
        fields->message_model != 2) {
        return 0;
    }
    asn1_context ctx;
    g_asn1_open(&ctx, transmit_buffer, kSnmpMessageBufferSize, 0);
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(&ctx, &end);
    return g_snmp_pdu_v2_encode(&ctx, pdu) &&
           EncodeText(&ctx, fields->community, kSnmpCommunityArea) && EncodeUnsigned(&ctx, 1) &&
           Finish(&ctx, end, reply);
}

int snmpv3_prepare_response_message(snmp_pending_table* pending, uint8_t* transmit_buffer,
                                    const snmp_message_fields* fields, const snmp_pdu* pdu,
                                    snmp_reply* reply) {
    uint32_t message_id = 0;
    if (!TakeSlot(pending, fields, reply, &message_id)) {
        return 0;
    }
    if (fields->version != 3 || fields->security_model == 1 || fields->security_model == 2 ||
        fields->message_model != 2) {
        return 0;
    }
    asn1_context ctx;
    g_asn1_open(&ctx, transmit_buffer, kSnmpMessageBufferSize, 0);
    const uint8_t* end = nullptr;
    const uint8_t* global_end = nullptr;
    const uint8_t flags = static_cast<uint8_t>(fields->security_flags & 0xFF);
    const uint32_t security_model = fields->security_model == 0 ? 3 : fields->security_model;
    g_asn1_eoc_encode(&ctx, &end);
    if (!g_snmp_pdu_v3_encode(&ctx, pdu, fields->context_engine_id, fields->context_name) ||
        !EncodeText(&ctx, fields->community, kSnmpCommunityArea)) {
        return 0;
    }
    g_asn1_eoc_encode(&ctx, &global_end);
    return EncodeUnsigned(&ctx, security_model) && EncodeOctets(&ctx, &flags, 1) &&
           EncodeUnsigned(&ctx, kSnmpMessageBufferSize) && EncodeUnsigned(&ctx, message_id) &&
           g_asn1_header_encode(&ctx, global_end, kAsn1Universal, kAsn1Constructed,
                                kAsn1TagSequence) &&
           EncodeUnsigned(&ctx, 3) && Finish(&ctx, end, reply);
}
