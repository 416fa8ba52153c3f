#include "ntcip/asn1_codec.h"

#include <cstring>

#include "ntcip/snmp_compat.h"
#include "runtime/debug_print.h"

namespace {

int Fail(asn1_context* ctx, Asn1Error error) {
    ctx->error = error;
    return 0;
}

uint32_t Remaining(const asn1_context* ctx) {
    return static_cast<uint32_t>(ctx->end - ctx->position);
}

// A primitive value's end mark must be definite and lie between the position
// and the end of the data.
int CheckEndMark(asn1_context* ctx, const uint8_t* end_mark) {
    if (end_mark == nullptr) {
        return Fail(ctx, kAsn1Indefinite);
    }
    if (end_mark < ctx->position || end_mark > ctx->end) {
        return Fail(ctx, kAsn1Overrun);
    }
    return 1;
}

// Reads one sub-identifier without crossing limit (limit <= end).
int SubidDecodeWithin(asn1_context* ctx, const uint8_t* limit, uint32_t* value) {
    uint32_t result = 0;
    uint8_t octet = 0;
    do {
        if (ctx->position >= limit) {
            return Fail(ctx, ctx->position >= ctx->end ? kAsn1EndOfData : kAsn1Overrun);
        }
        octet = *ctx->position++;
        result = (result << 7) | (octet & 0x7F);
    } while (octet & 0x80);
    *value = result;
    return 1;
}

}  // namespace

int g_asn1_open(asn1_context* ctx, uint8_t* buffer, uint32_t length, int mode) {
    ctx->begin = buffer;
    ctx->end = buffer + length;
    ctx->position = mode ? ctx->begin : ctx->end;
    ctx->error = kAsn1Ok;
    ctx->writable = buffer;
    return 1;
}

int g_asn1_open_decode(asn1_context* ctx, const uint8_t* buffer, uint32_t length) {
    ctx->begin = buffer;
    ctx->end = buffer + length;
    ctx->position = buffer;
    ctx->error = kAsn1Ok;
    ctx->writable = nullptr;
    return 1;
}

int g_asn1_close(const asn1_context* ctx, const uint8_t** start, uint32_t* length) {
    *start = ctx->position;
    *length = Remaining(ctx);
    return 1;
}

int g_asn1_octet_encode(asn1_context* ctx, uint8_t octet) {
    if (ctx->writable == nullptr || ctx->position <= ctx->begin) {
        return Fail(ctx, kAsn1NoRoom);
    }
    --ctx->position;
    ctx->writable[ctx->position - ctx->begin] = octet;
    return 1;
}

int g_asn1_octet_decode(asn1_context* ctx, uint8_t* octet) {
    if (ctx->position >= ctx->end) {
        return Fail(ctx, kAsn1EndOfData);
    }
    *octet = *ctx->position++;
    return 1;
}

int g_asn1_subid_encode(asn1_context* ctx, uint32_t value) {
    if (!g_asn1_octet_encode(ctx, static_cast<uint8_t>(value & 0x7F))) {
        return 0;
    }
    value >>= 7;
    while (value != 0) {
        if (!g_asn1_octet_encode(ctx, static_cast<uint8_t>(0x80 | (value & 0x7F)))) {
            return 0;
        }
        value >>= 7;
    }
    return 1;
}

int g_asn1_subid_decode(asn1_context* ctx, uint32_t* value) {
    return SubidDecodeWithin(ctx, ctx->end, value);
}

int g_asn1_id_encode(asn1_context* ctx, uint32_t cls, uint32_t constructed, uint32_t tag) {
    uint32_t field = tag;
    if (tag >= 31) {
        if (!g_asn1_subid_encode(ctx, tag)) {
            return 0;
        }
        field = 31;
    }
    return g_asn1_octet_encode(ctx, static_cast<uint8_t>((cls << 6) | (constructed << 5) | field));
}

int g_asn1_id_decode(asn1_context* ctx, uint32_t* cls, uint32_t* constructed, uint32_t* tag) {
    uint8_t octet = 0;
    if (!g_asn1_octet_decode(ctx, &octet)) {
        return 0;
    }
    *cls = octet >> 6;
    *constructed = (octet >> 5) & 1;
    *tag = octet & 0x1F;
    if (*tag == 31) {
        return g_asn1_subid_decode(ctx, tag);
    }
    return 1;
}

int g_asn1_length_encode(asn1_context* ctx, uint32_t definite, uint32_t length) {
    if (!definite) {
        return g_asn1_octet_encode(ctx, 0x80);
    }
    if (length < 0x80) {
        return g_asn1_octet_encode(ctx, static_cast<uint8_t>(length));
    }
    uint8_t count = 0;
    while (length != 0) {
        if (!g_asn1_octet_encode(ctx, static_cast<uint8_t>(length & 0xFF))) {
            return 0;
        }
        length >>= 8;
        ++count;
    }
    return g_asn1_octet_encode(ctx, static_cast<uint8_t>(0x80 | count));
}

int g_asn1_length_decode(asn1_context* ctx, uint32_t* definite, uint32_t* length) {
    uint8_t octet = 0;
    if (!g_asn1_octet_decode(ctx, &octet)) {
        return 0;
    }
    if (octet == 0x80) {
        *definite = 0;
        return 1;
    }
    *definite = 1;
    if (octet < 0x80) {
        *length = octet;
        return 1;
    }
    uint32_t count = octet & 0x7F;
    uint32_t result = 0;
    while (count-- > 0) {
        if (!g_asn1_octet_decode(ctx, &octet)) {
            return 0;
        }
        result = (result << 8) | octet;
    }
    *length = result;
    return 1;
}

int g_asn1_header_encode(asn1_context* ctx, const uint8_t* end_mark, uint32_t cls,
                         uint32_t constructed, uint32_t tag) {
    if (end_mark == nullptr) {
        if (!g_asn1_length_encode(ctx, 0, 0)) {
            return 0;
        }
    } else {
        if (end_mark < ctx->position || end_mark > ctx->end) {
            return Fail(ctx, kAsn1Overrun);
        }
        if (!g_asn1_length_encode(ctx, 1, static_cast<uint32_t>(end_mark - ctx->position))) {
            return 0;
        }
    }
    return g_asn1_id_encode(ctx, cls, constructed, tag);
}

int g_asn1_header_decode(asn1_context* ctx, const uint8_t** end_mark, uint32_t* cls,
                         uint32_t* constructed, uint32_t* tag) {
    uint32_t definite = 0;
    uint32_t length = 0;
    if (!g_asn1_id_decode(ctx, cls, constructed, tag) ||
        !g_asn1_length_decode(ctx, &definite, &length)) {
        return 0;
    }
    if (!definite) {
        *end_mark = nullptr;
        return 1;
    }
    if (length > Remaining(ctx)) {
        return Fail(ctx, kAsn1EndOfData);
    }
    *end_mark = ctx->position + length;
    return 1;
}

int g_asn1_eoc_encode(asn1_context* ctx, const uint8_t** end_mark) {
    if (end_mark != nullptr) {
        *end_mark = ctx->position;
        return 1;
    }
    return g_asn1_octet_encode(ctx, 0x00) && g_asn1_octet_encode(ctx, 0x00);
}

int g_asn1_eoc_decode(asn1_context* ctx, const uint8_t* end_mark) {
    if (end_mark == nullptr) {
        uint8_t first = 0;
        uint8_t second = 0;
        if (!g_asn1_octet_decode(ctx, &first) || !g_asn1_octet_decode(ctx, &second)) {
            return 0;
        }
        if (first != 0x00 || second != 0x00) {
            return Fail(ctx, kAsn1BadEoc);
        }
        return 1;
    }
    if (ctx->position == end_mark) {
        return 1;
    }
    // Some central systems declare constructed lengths 2 octets short.
    if (ctx->position > end_mark && ctx->position - end_mark == 2 && snmp_compatibility_mode()) {
        return 1;
    }
    return Fail(ctx, kAsn1WrongEnd);
}

int g_asn1_null_encode(asn1_context* ctx, const uint8_t** end_mark) {
    *end_mark = ctx->position;
    return 1;
}

int g_asn1_null_decode(asn1_context* ctx, const uint8_t* end_mark) {
    if (!CheckEndMark(ctx, end_mark)) {
        return 0;
    }
    ctx->position = end_mark;
    return 1;
}

int g_asn1_int_encode(asn1_context* ctx, const uint8_t** end_mark, int32_t value) {
    *end_mark = ctx->position;
    if (value < 0) {
        uint32_t word = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) {
            if (!g_asn1_octet_encode(ctx, static_cast<uint8_t>(word & 0xFF))) {
                return 0;
            }
            word >>= 8;
        }
        return 1;
    }
    return g_asn1_uint_encode(ctx, end_mark, static_cast<uint32_t>(value));
}

int g_asn1_int_decode(asn1_context* ctx, const uint8_t* end_mark, int32_t* value) {
    if (!CheckEndMark(ctx, end_mark)) {
        return 0;
    }
    if (ctx->position == end_mark) {
        return Fail(ctx, kAsn1Overrun);  // no content octet
    }
    uint8_t octet = *ctx->position++;
    uint32_t result = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(octet)));
    uint32_t count = 1;
    while (ctx->position < end_mark) {
        if (++count > 5) {
            return Fail(ctx, kAsn1TooLong);
        }
        result = (result << 8) | *ctx->position++;
    }
    *value = static_cast<int32_t>(result);
    return 1;
}

int g_asn1_uint_encode(asn1_context* ctx, const uint8_t** end_mark, uint32_t value) {
    *end_mark = ctx->position;
    uint8_t top = 0;
    do {
        top = static_cast<uint8_t>(value & 0xFF);
        if (!g_asn1_octet_encode(ctx, top)) {
            return 0;
        }
        value >>= 8;
    } while (value != 0);
    if (top & 0x80) {
        return g_asn1_octet_encode(ctx, 0x00);
    }
    return 1;
}

int g_asn1_uint_decode(asn1_context* ctx, const uint8_t* end_mark, uint32_t* value) {
    if (!CheckEndMark(ctx, end_mark)) {
        return 0;
    }
    if (ctx->position == end_mark) {
        return Fail(ctx, kAsn1Overrun);  // no content octet
    }
    uint8_t octet = *ctx->position++;
    uint32_t result = octet;
    uint32_t counted = octet != 0 ? 1 : 0;
    while (ctx->position < end_mark) {
        if (++counted > 4) {
            return Fail(ctx, kAsn1TooLong);
        }
        result = (result << 8) | *ctx->position++;
    }
    *value = result;
    return 1;
}

int g_asn1_octets_encode(asn1_context* ctx, const uint8_t** end_mark, const uint8_t* bytes,
                         uint32_t count) {
    *end_mark = ctx->position;
    if (ctx->writable == nullptr || static_cast<uint32_t>(ctx->position - ctx->begin) < count) {
        return Fail(ctx, kAsn1NoRoom);
    }
    ctx->position -= count;
    if (count > 0) {
        std::memcpy(ctx->writable + (ctx->position - ctx->begin), bytes, count);
    }
    return 1;
}

int g_asn1_octets_decode(asn1_context* ctx, const uint8_t* end_mark, uint8_t* destination,
                         uint32_t capacity, uint32_t* count) {
    if (!CheckEndMark(ctx, end_mark)) {
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(end_mark - ctx->position);
    if (length > capacity) {
        return Fail(ctx, kAsn1TooLong);
    }
    if (length > 0) {
        std::memcpy(destination, ctx->position, length);
    }
    ctx->position = end_mark;
    *count = length;
    return 1;
}

int g_asn1_oid_encode(asn1_context* ctx, const uint8_t** end_mark, const uint32_t* subids,
                      uint32_t count) {
    *end_mark = ctx->position;
    if (count < 2) {
        return Fail(ctx, kAsn1OidTooShort);
    }
    for (uint32_t i = count - 1; i >= 2; --i) {
        if (!g_asn1_subid_encode(ctx, subids[i])) {
            return 0;
        }
    }
    return g_asn1_subid_encode(ctx, subids[0] * 40 + subids[1]);
}

int g_asn1_oid_decode(asn1_context* ctx, const uint8_t* end_mark, uint32_t* destination,
                      uint32_t capacity, uint32_t* count) {
    *count = 0;
    uint32_t first = 0;
    if (!CheckEndMark(ctx, end_mark) || !SubidDecodeWithin(ctx, end_mark, &first)) {
        DebugPrint("g_asn1_oid_decode failed 1\n");
        return 0;
    }
    if (capacity < 2) {
        DebugPrint("g_asn1_oid_decode failed 2\n");
        return Fail(ctx, kAsn1TooLong);
    }
    if (first < 40) {
        destination[0] = 0;
        destination[1] = first;
    } else if (first < 80) {
        destination[0] = 1;
        destination[1] = first - 40;
    } else {
        destination[0] = 2;
        destination[1] = first - 80;
    }
    uint32_t n = 2;
    while (ctx->position < end_mark) {
        if (n + 1 > capacity) {
            DebugPrint("g_asn1_oid_decode failed 2\n");
            return Fail(ctx, kAsn1TooLong);
        }
        if (!SubidDecodeWithin(ctx, end_mark, &destination[n])) {
            DebugPrint("g_asn1_oid_decode failed 3\n");
            return 0;
        }
        ++n;
    }
    *count = n;
    return 1;
}
