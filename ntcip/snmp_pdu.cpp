#include "ntcip/snmp_pdu.h"

#include <cstring>

#include "ntcip/snmp_compat.h"
#include "ntcip/snmp_counters.h"
#include "runtime/debug_print.h"

namespace {

struct SyntaxRow {
    uint32_t syntax;
    uint32_t cls;
    uint32_t tag;
};

// Searched in this order both ways; the first match wins.
constexpr SyntaxRow kSyntaxTable[] = {
    {kSnmpNull, kAsn1Universal, kAsn1TagNull},
    {kSnmpInteger, kAsn1Universal, kAsn1TagInteger},
    {kSnmpOctetString, kAsn1Universal, kAsn1TagOctetString},
    {kSnmpObjectId, kAsn1Universal, kAsn1TagObjectId},
    {kSnmpIpAddress, kAsn1Application, 0},
    {kSnmpCounter, kAsn1Application, 1},
    {kSnmpGauge, kAsn1Application, 2},
    {kSnmpTimeTicks, kAsn1Application, 3},
    {kSnmpOpaque, kAsn1Application, 4},
    {kSnmpBitString, kAsn1Universal, kAsn1TagBitString},
    {kSnmpCounter64, kAsn1Application, 6},
    {kSnmpNoSuchObject, kAsn1Context, 0},
    {kSnmpNoSuchInstance, kAsn1Context, 1},
    {kSnmpEndOfMibView, kAsn1Context, 2},
};

int Fail(asn1_context* ctx, Asn1Error error) {
    ctx->error = error;
    return 0;
}

uint32_t Low32(const void* address) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
}

int ExpectUnsigned(asn1_context* ctx, const uint8_t* enclosing, uint32_t* value) {
    const uint8_t* end = nullptr;
    return snmp_header_expect(ctx, enclosing, &end, kAsn1Universal, kAsn1Primitive,
                              kAsn1TagInteger) &&
           g_asn1_uint_decode(ctx, end, value);
}

int EncodeUnsigned(asn1_context* ctx, uint32_t value, uint32_t cls, uint32_t tag) {
    const uint8_t* end = nullptr;
    return g_asn1_uint_encode(ctx, &end, value) &&
           g_asn1_header_encode(ctx, end, cls, kAsn1Primitive, tag);
}

// Octets into destination, or only checked against capacity when destination is null.
int DecodeOctets(asn1_context* ctx, const uint8_t* end, uint8_t* destination, uint32_t capacity,
                 uint32_t* count) {
    if (destination != nullptr) {
        return g_asn1_octets_decode(ctx, end, destination, capacity, count);
    }
    if (end != nullptr && end >= ctx->position &&
        static_cast<uint32_t>(end - ctx->position) > capacity) {
        return Fail(ctx, kAsn1TooLong);
    }
    const uint8_t* start = ctx->position;
    if (!g_asn1_null_decode(ctx, end)) {
        return 0;
    }
    *count = static_cast<uint32_t>(end - start);
    return 1;
}

int DecodeValue(asn1_context* ctx, const uint8_t* varbind_end, snmp_object* object,
                uint32_t* syntax, uint32_t* value_length) {
    const uint8_t* end = nullptr;
    uint32_t cls = 0;
    uint32_t constructed = 0;
    uint32_t tag = 0;
    if (!snmp_header_decode_within(ctx, varbind_end, &end, &cls, &constructed, &tag)) {
        return 0;
    }
    if (constructed != kAsn1Primitive || !g_snmp_tag_cls2syntax(tag, cls, syntax) ||
        *syntax >= 15) {
        return Fail(ctx, kAsn1Unexpected);
    }
    uint32_t word = 0;
    uint32_t count = 0;
    switch (*syntax) {
        case kSnmpNull:
        case kSnmpNoSuchObject:
        case kSnmpNoSuchInstance:
        case kSnmpEndOfMibView:
            *value_length = 0;
            return g_asn1_null_decode(ctx, end);
        case kSnmpInteger: {
            int32_t integer = 0;
            if (!g_asn1_int_decode(ctx, end, &integer)) {
                return 0;
            }
            word = static_cast<uint32_t>(integer);
            *value_length = 4;
            break;
        }
        case kSnmpCounter:
        case kSnmpGauge:
        case kSnmpTimeTicks:
            if (!g_asn1_uint_decode(ctx, end, &word)) {
                return 0;
            }
            *value_length = 4;
            break;
        case kSnmpOctetString:
        case kSnmpOpaque:
            if (!DecodeOctets(ctx, end, object ? object->octets() : nullptr, kSnmpValueArea,
                              &count)) {
                return 0;
            }
            *value_length = count;
            return 1;
        case kSnmpIpAddress: {
            uint8_t address[16];
            if (!g_asn1_octets_decode(ctx, end, address, sizeof address, &count)) {
                return 0;
            }
            if (count != 4 && count != 16) {
                return Fail(ctx, kAsn1Unexpected);
            }
            if (object != nullptr) {
                std::memcpy(object->octets(), address, count);
            }
            *value_length = count;
            return 1;
        }
        case kSnmpObjectId: {
            uint32_t work[kSnmpMaxNameLength];
            if (!g_asn1_oid_decode(ctx, end, work, kSnmpMaxNameLength, &count)) {
                return 0;
            }
            if (object != nullptr) {
                std::memcpy(object->value, work, count * sizeof(uint32_t));
            }
            *value_length = 4 * count;
            return 1;
        }
        default:  // BIT STRING, Counter64
            return Fail(ctx, kAsn1Unexpected);
    }
    if (object != nullptr) {
        object->value[0] = word;
    }
    return 1;
}

template <typename Decode>
int DecodeTypedPdu(asn1_context* ctx, snmp_pdu* pdu, const uint8_t* enclosing, Decode decode) {
    const uint8_t* end = nullptr;
    uint32_t cls = 0;
    uint32_t constructed = 0;
    uint32_t tag = 0;
    if (!snmp_header_decode_within(ctx, enclosing, &end, &cls, &constructed, &tag)) {
        return 0;
    }
    if (cls != kAsn1Context || constructed != kAsn1Constructed) {
        return Fail(ctx, kAsn1Unexpected);
    }
    pdu->type = tag;
    return decode(end) && g_asn1_eoc_decode(ctx, end);
}

bool IsV2Type(uint32_t type) {
    return type <= kSnmpSetRequest || (type >= kSnmpGetBulkRequest && type <= kSnmpTrapV2);
}

// Request varbind list then request header, written backwards.
int EncodeRequestBody(asn1_context* ctx, const snmp_pdu* pdu, bool verbose) {
    if (!g_snmp_list_encode(ctx, pdu->varbinds, pdu->count)) {
        if (verbose) {
            DebugPrintLevel1("g_snmp_pdu_v1_encode: g_snmp_list_encode failed\n");
        }
        return 0;
    }
    if (!g_snmp_request_encode(ctx, &pdu->request)) {
        if (verbose) {
            DebugPrintLevel1("g_snmp_pdu_v1_encode: g_snmp_request_encode failed\n");
        }
        return 0;
    }
    return 1;
}

int EncodeText(asn1_context* ctx, const char* text, uint32_t capacity) {
    const uint8_t* end = nullptr;
    const uint32_t length = static_cast<uint32_t>(strnlen(text, capacity));
    return g_asn1_octets_encode(ctx, &end, reinterpret_cast<const uint8_t*>(text), length) &&
           g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString);
}

}  // namespace

int snmp_header_decode_within(asn1_context* ctx, const uint8_t* enclosing, const uint8_t** end_mark,
                              uint32_t* cls, uint32_t* constructed, uint32_t* tag) {
    if (!g_asn1_header_decode(ctx, end_mark, cls, constructed, tag)) {
        return 0;
    }
    if (*end_mark == nullptr) {
        return Fail(ctx, kAsn1Indefinite);
    }
    if (enclosing != nullptr && enclosing >= ctx->begin && enclosing <= ctx->end) {
        const uint8_t* limit = enclosing;
        if (snmp_compatibility_mode()) {
            limit += (ctx->end - enclosing) < 2 ? (ctx->end - enclosing) : 2;
        }
        if (*end_mark > limit) {
            return Fail(ctx, kAsn1Overrun);
        }
    }
    return 1;
}

int snmp_header_expect(asn1_context* ctx, const uint8_t* enclosing, const uint8_t** end_mark,
                       uint32_t cls, uint32_t constructed, uint32_t tag) {
    uint32_t c = 0;
    uint32_t f = 0;
    uint32_t t = 0;
    if (!snmp_header_decode_within(ctx, enclosing, end_mark, &c, &f, &t)) {
        return 0;
    }
    if (c != cls || f != constructed || t != tag) {
        return Fail(ctx, kAsn1Unexpected);
    }
    return 1;
}

int g_snmp_syntax2tag_cls(uint32_t syntax, uint32_t* tag, uint32_t* cls) {
    for (const SyntaxRow& row : kSyntaxTable) {
        if (row.syntax == syntax) {
            *tag = row.tag;
            *cls = row.cls;
            return 1;
        }
    }
    return 0;
}

int g_snmp_tag_cls2syntax(uint32_t tag, uint32_t cls, uint32_t* syntax) {
    for (const SyntaxRow& row : kSyntaxTable) {
        if (row.tag == tag && row.cls == cls) {
            *syntax = row.syntax;
            return 1;
        }
    }
    return 0;
}

int g_snmp_object_encode(asn1_context* ctx, const snmp_object* object) {
    const uint8_t* varbind_end = nullptr;
    const uint8_t* value_end = nullptr;
    g_asn1_eoc_encode(ctx, &varbind_end);
    if (object->name_length > kSnmpMaxNameLength) {
        return Fail(ctx, kAsn1TooLong);
    }
    int ok = 0;
    switch (object->syntax) {
        case kSnmpNull:
        case kSnmpNoSuchObject:
        case kSnmpNoSuchInstance:
        case kSnmpEndOfMibView:
            ok = g_asn1_null_encode(ctx, &value_end);
            break;
        case kSnmpInteger:
            ok = g_asn1_int_encode(ctx, &value_end, static_cast<int32_t>(object->value[0]));
            break;
        case kSnmpOctetString:
        case kSnmpIpAddress:
        case kSnmpOpaque:
            if (object->value_length > kSnmpValueArea) {
                return Fail(ctx, kAsn1TooLong);
            }
            ok = g_asn1_octets_encode(ctx, &value_end, object->octets(), object->value_length);
            break;
        case kSnmpObjectId:
            DebugPrintLevel1("asn1:0x%08X,end:0x%08X,ul:0x%08X,len:0x%08X\n", Low32(ctx),
                             Low32(varbind_end), Low32(object->value), object->value_length);
            if (object->value_length > kSnmpValueArea / 4) {
                return Fail(ctx, kAsn1TooLong);
            }
            ok = g_asn1_oid_encode(ctx, &value_end, object->value, object->value_length);
            break;
        case kSnmpCounter:
        case kSnmpGauge:
        case kSnmpTimeTicks:
            ok = g_asn1_uint_encode(ctx, &value_end, object->value[0]);
            break;
        default:
            snmp_count_out_bad_values();
            return 0;
    }
    uint32_t tag = 0;
    uint32_t cls = 0;
    const uint8_t* name_end = nullptr;
    return ok && g_snmp_syntax2tag_cls(object->syntax, &tag, &cls) &&
           g_asn1_header_encode(ctx, value_end, cls, kAsn1Primitive, tag) &&
           g_asn1_oid_encode(ctx, &name_end, object->name, object->name_length) &&
           g_asn1_header_encode(ctx, name_end, kAsn1Universal, kAsn1Primitive, kAsn1TagObjectId) &&
           g_asn1_header_encode(ctx, varbind_end, kAsn1Universal, kAsn1Constructed,
                                kAsn1TagSequence);
}

int g_snmp_object_decode(asn1_context* ctx, snmp_object* object, const uint8_t* enclosing) {
    const uint8_t* varbind_end = nullptr;
    const uint8_t* name_end = nullptr;
    if (!snmp_header_expect(ctx, enclosing, &varbind_end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence) ||
        !snmp_header_expect(ctx, varbind_end, &name_end, kAsn1Universal, kAsn1Primitive,
                            kAsn1TagObjectId)) {
        return 0;
    }
    uint32_t scratch_name[kSnmpMaxNameLength];
    uint32_t name_length = 0;
    if (!g_asn1_oid_decode(ctx, name_end, object ? object->name : scratch_name, kSnmpMaxNameLength,
                           &name_length)) {
        DebugPrint("g_snmp_object_decode failed at g_asn1_oid_decode\n");
        return 0;
    }
    uint32_t syntax = kSnmpNull;
    uint32_t value_length = 0;
    if (ctx->position == varbind_end && snmp_compatibility_mode()) {
        // A varbind without a value reads as NULL; the end check then sees the
        // 2 octets a NULL would have taken.
        varbind_end -= 2;
    } else if (!DecodeValue(ctx, varbind_end, object, &syntax, &value_length)) {
        return 0;
    }
    if (object != nullptr) {
        object->value_length = value_length;
        object->syntax = static_cast<uint16_t>(syntax);
        object->name_length = name_length;
    }
    return g_asn1_eoc_decode(ctx, varbind_end);
}

int g_snmp_list_encode(asn1_context* ctx, const snmp_object* objects, int16_t count) {
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(ctx, &end);
    if (count < 0 || count > kSnmpMaxVarbinds) {
        return Fail(ctx, kAsn1TooLong);
    }
    for (int i = count - 1; i >= 0; --i) {
        if (!g_snmp_object_encode(ctx, &objects[i])) {
            DebugPrintLevel1("g_snmp_list_encode: object encode failed,asn1:0x%08X,obj:0x%08X\n",
                             Low32(ctx), Low32(&objects[i]));
            return 0;
        }
    }
    return g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence);
}

int g_snmp_list_decode(asn1_context* ctx, snmp_object* objects, int16_t* count,
                       const uint8_t* enclosing, uint32_t* total) {
    *count = 0;
    const uint8_t* end = nullptr;
    if (!snmp_header_expect(ctx, enclosing, &end, kAsn1Universal, kAsn1Constructed,
                            kAsn1TagSequence)) {
        return 0;
    }
    uint32_t seen = 0;
    while (ctx->position < end) {
        // Varbinds after the 50th are checked and dropped.
        snmp_object* slot = *count < kSnmpMaxVarbinds ? &objects[*count] : nullptr;
        if (!g_snmp_object_decode(ctx, slot, end)) {
            DebugPrint("g_snmp_list_decode: failed at g_snmp_object_decode idx %d\n",
                       static_cast<int>(seen));
            return 0;
        }
        ++seen;
        if (slot != nullptr) {
            ++*count;
        }
    }
    if (total != nullptr) {
        *total = seen;
    }
    return g_asn1_eoc_decode(ctx, end);
}

int g_snmp_request_encode(asn1_context* ctx, const snmp_request_header* request) {
    return EncodeUnsigned(ctx, request->error_index, kAsn1Universal, kAsn1TagInteger) &&
           EncodeUnsigned(ctx, request->error_status, kAsn1Universal, kAsn1TagInteger) &&
           EncodeUnsigned(ctx, request->request_id, kAsn1Universal, kAsn1TagInteger);
}

int g_snmp_request_decode(asn1_context* ctx, snmp_request_header* request,
                          const uint8_t* enclosing) {
    return ExpectUnsigned(ctx, enclosing, &request->request_id) &&
           ExpectUnsigned(ctx, enclosing, &request->error_status) &&
           ExpectUnsigned(ctx, enclosing, &request->error_index);
}

int g_snmp_trap_encode(asn1_context* ctx, const snmp_trap_header* trap) {
    const uint8_t* end = nullptr;
    if (trap->enterprise_length > kSnmpMaxNameLength) {
        return Fail(ctx, kAsn1TooLong);
    }
    return EncodeUnsigned(ctx, trap->time_stamp, kAsn1Application, 3) &&
           EncodeUnsigned(ctx, trap->specific_trap, kAsn1Universal, kAsn1TagInteger) &&
           EncodeUnsigned(ctx, trap->generic_trap, kAsn1Universal, kAsn1TagInteger) &&
           g_asn1_octets_encode(ctx, &end, trap->agent_address, 4) &&
           g_asn1_header_encode(ctx, end, kAsn1Application, kAsn1Primitive, 0) &&
           g_asn1_oid_encode(ctx, &end, trap->enterprise, trap->enterprise_length) &&
           g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Primitive, kAsn1TagObjectId);
}

int g_snmp_trap_decode(asn1_context* ctx, snmp_trap_header* trap, const uint8_t* enclosing) {
    const uint8_t* end = nullptr;
    uint32_t cls = 0;
    uint32_t constructed = 0;
    uint32_t tag = 0;
    uint32_t count = 0;
    if (!snmp_header_expect(ctx, enclosing, &end, kAsn1Universal, kAsn1Primitive,
                            kAsn1TagObjectId) ||
        !g_asn1_oid_decode(ctx, end, trap->enterprise, kSnmpMaxNameLength,
                           &trap->enterprise_length)) {
        return 0;
    }
    // Agent address: IpAddress, or an OCTET STRING from older managers.
    if (!snmp_header_decode_within(ctx, enclosing, &end, &cls, &constructed, &tag)) {
        return 0;
    }
    const bool ip_address = cls == kAsn1Application && tag == 0;
    const bool octets = cls == kAsn1Universal && tag == kAsn1TagOctetString;
    if (constructed != kAsn1Primitive || !(ip_address || octets)) {
        return Fail(ctx, kAsn1Unexpected);
    }
    std::memset(trap->agent_address, 0, sizeof trap->agent_address);
    if (!g_asn1_octets_decode(ctx, end, trap->agent_address, sizeof trap->agent_address, &count) ||
        !ExpectUnsigned(ctx, enclosing, &trap->generic_trap) ||
        !ExpectUnsigned(ctx, enclosing, &trap->specific_trap)) {
        return 0;
    }
    // Time stamp: TimeTicks, or an INTEGER.
    if (!snmp_header_decode_within(ctx, enclosing, &end, &cls, &constructed, &tag)) {
        return 0;
    }
    const bool ticks = cls == kAsn1Application && tag == 3;
    const bool integer = cls == kAsn1Universal && tag == kAsn1TagInteger;
    if (constructed != kAsn1Primitive || !(ticks || integer)) {
        return Fail(ctx, kAsn1Unexpected);
    }
    return g_asn1_uint_decode(ctx, end, &trap->time_stamp);
}

int g_snmp_pdu_v1_encode(asn1_context* ctx, const snmp_pdu* pdu) {
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(ctx, &end);
    if (pdu->type <= kSnmpSetRequest) {
        if (!EncodeRequestBody(ctx, pdu, true)) {
            return 0;
        }
    } else if (pdu->type == kSnmpTrapV1) {
        if (!g_snmp_list_encode(ctx, pdu->varbinds, pdu->count) ||
            !g_snmp_trap_encode(ctx, &pdu->trap)) {
            return 0;
        }
    } else {
        return Fail(ctx, kAsn1Unexpected);
    }
    if (!g_asn1_header_encode(ctx, end, kAsn1Context, kAsn1Constructed, pdu->type)) {
        DebugPrint("g_snmp_pdu_v1_encode: g_snmp_header_encode failed\n");
        return 0;
    }
    return 1;
}

int g_snmp_pdu_v1_decode(asn1_context* ctx, snmp_pdu* pdu, const uint8_t* enclosing) {
    return DecodeTypedPdu(ctx, pdu, enclosing, [&](const uint8_t* end) -> int {
        uint32_t total = 0;
        if (pdu->type <= kSnmpSetRequest) {
            if (!g_snmp_request_decode(ctx, &pdu->request, end)) {
                DebugPrint("g_snmp_pdu_v1_decode: g_snmp_request_decode failed\n");
                return 0;
            }
            if (!g_snmp_list_decode(ctx, pdu->varbinds, &pdu->count, end, &total)) {
                DebugPrint("g_snmp_pdu_v1_decode: g_snmp_list_decode failed\n");
                return 0;
            }
            if (total > static_cast<uint32_t>(kSnmpMaxVarbinds)) {
                DebugPrint("**** MAX OBJECTS EXCEEDED!");
            }
            return 1;
        }
        if (pdu->type == kSnmpTrapV1) {
            return g_snmp_trap_decode(ctx, &pdu->trap, end) &&
                   g_snmp_list_decode(ctx, pdu->varbinds, &pdu->count, end);
        }
        return Fail(ctx, kAsn1Unexpected);
    });
}

int g_snmp_pdu_v2_encode(asn1_context* ctx, const snmp_pdu* pdu) {
    const uint8_t* end = nullptr;
    g_asn1_eoc_encode(ctx, &end);
    if (!IsV2Type(pdu->type)) {
        return Fail(ctx, kAsn1Unexpected);
    }
    return EncodeRequestBody(ctx, pdu, false) &&
           g_asn1_header_encode(ctx, end, kAsn1Context, kAsn1Constructed, pdu->type);
}

int g_snmp_pdu_v2_decode(asn1_context* ctx, snmp_pdu* pdu, const uint8_t* enclosing) {
    return DecodeTypedPdu(ctx, pdu, enclosing, [&](const uint8_t* end) -> int {
        if (!IsV2Type(pdu->type)) {
            return Fail(ctx, kAsn1Unexpected);
        }
        return g_snmp_request_decode(ctx, &pdu->request, end) &&
               g_snmp_list_decode(ctx, pdu->varbinds, &pdu->count, end);
    });
}

int g_snmp_pdu_v3_encode(asn1_context* ctx, const snmp_pdu* pdu, const char* context_engine_id,
                         const char* context_name) {
    const uint8_t* scoped_end = nullptr;
    g_asn1_eoc_encode(ctx, &scoped_end);
    if (!g_snmp_pdu_v2_encode(ctx, pdu)) {
        return 0;
    }
    return EncodeText(ctx, context_name, 49) && EncodeText(ctx, context_engine_id, 49) &&
           g_asn1_header_encode(ctx, scoped_end, kAsn1Universal, kAsn1Constructed,
                                kAsn1TagSequence);
}
