#include "ntcip/event_value_writer.h"

namespace {

constexpr uint8_t kTagOctets = 0x04;
constexpr uint8_t kTagNull = 0x05;
constexpr uint8_t kTagOid = 0x06;
constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagIpAddress = 0x40;
constexpr uint32_t kMaxOidContent = 40 * 5;

bool Usable(const ber_writer* w) {
    return w != nullptr && w->begin != nullptr && w->position != nullptr;
}

uint32_t Put(ber_writer* w, uint8_t octet) {
    if (static_cast<uint32_t>(w->count) + 1u >= w->capacity) {
        return kBerWriterFull;
    }
    *w->position = octet;
    return ber_writer_advance(w);
}

uint32_t PutLength(ber_writer* w, uint32_t length) {
    if (length < 0x80) {
        return Put(w, static_cast<uint8_t>(length));
    }
    uint32_t octets = length <= 0xFF ? 1u : length <= 0xFFFF ? 2u : length <= 0xFFFFFF ? 3u : 4u;
    uint32_t error = Put(w, static_cast<uint8_t>(0x80u + octets));
    while (octets-- > 0) {
        error |= Put(w, static_cast<uint8_t>(length >> (8u * octets)));
    }
    return error;
}

uint32_t PutContents(ber_writer* w, uint8_t tag, const uint8_t* bytes, uint32_t length) {
    uint32_t error = kBerWriterOk;
    const uint32_t room = ber_writer_room(w);
    if (room == 0) {
        return kBerWriterFull;
    }
    if (length > room) {
        length = room;
        error |= kBerWriterTruncated;
    }
    error |= Put(w, tag);
    error |= PutLength(w, length);
    for (uint32_t i = 0; i < length; ++i) {
        error |= Put(w, bytes[i]);
    }
    return error;
}

}  // namespace

uint32_t ber_writer_init(ber_writer* w, uint8_t* buffer, uint32_t capacity) {
    if (w == nullptr || buffer == nullptr) {
        return kBerWriterMissing;
    }
    w->begin = buffer;
    w->position = buffer;
    w->count = 0;
    w->capacity = capacity;
    return kBerWriterOk;
}

uint32_t ber_writer_advance(ber_writer* w) {
    if (!Usable(w)) {
        return kBerWriterMissing;
    }
    if (static_cast<uint32_t>(w->count) + 1u >= w->capacity) {
        return kBerWriterFull;
    }
    ++w->position;
    ++w->count;
    return kBerWriterOk;
}

uint32_t ber_writer_back(ber_writer* w) {
    if (!Usable(w)) {
        return kBerWriterMissing;
    }
    if (w->count == 0) {
        return kBerWriterAtBegin;
    }
    --w->position;
    --w->count;
    return kBerWriterOk;
}

uint32_t ber_writer_room(const ber_writer* w) {
    if (!Usable(w) || w->capacity == 0) {
        return 0;
    }
    // Advance takes one byte less than the capacity: count the room from there.
    const uint32_t used = static_cast<uint32_t>(w->count);
    uint32_t r = w->capacity - 1u > used ? w->capacity - 1u - used : 0u;
    if (r < 3) {
        return 0;
    }
    if (r == 130 || r == 131) {
        r = 129;
    } else if (r == 32772) {
        r = 32771;
    }
    if (r <= 129) {
        return r - 2u;  // one length octet
    }
    if (r <= 32771) {
        return r - 4u;  // three length octets counted
    }
    return r - 5u < 0x800000u ? r - 5u : 0u;
}

uint32_t ber_write_octets(ber_writer* w, const uint8_t* bytes, uint32_t length) {
    if (!Usable(w) || (bytes == nullptr && length != 0)) {
        return kBerWriterMissing;
    }
    return PutContents(w, kTagOctets, bytes, length);
}

uint32_t ber_write_null(ber_writer* w) {
    if (!Usable(w)) {
        return kBerWriterMissing;
    }
    return Put(w, kTagNull) | Put(w, 0x00);
}

uint32_t ber_write_oid(ber_writer* w, const uint32_t* subids, uint32_t count) {
    if (!Usable(w) || subids == nullptr) {
        return kBerWriterMissing;
    }
    uint8_t contents[kMaxOidContent + 5];
    uint32_t length = 0;
    for (uint32_t i = 0; i < count && length <= kMaxOidContent; ++i) {
        uint32_t value = subids[i];
        if (i == 0) {
            value = 40u * subids[0] + (count > 1 ? subids[1] : 0u);
        } else if (i == 1) {
            continue;
        }
        uint8_t group[5];
        int n = 0;
        do {
            group[n++] = static_cast<uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (n-- > 0) {
            contents[length++] = static_cast<uint8_t>(group[n] | (n > 0 ? 0x80 : 0x00));
        }
    }
    return PutContents(w, kTagOid, contents, length);
}

uint32_t ber_write_ipaddress(ber_writer* w, const uint8_t address[4]) {
    if (!Usable(w) || address == nullptr) {
        return kBerWriterMissing;
    }
    uint32_t error = Put(w, kTagIpAddress) | Put(w, 4);
    for (int i = 0; i < 4; ++i) {
        error |= Put(w, address[i]);
    }
    return error;
}

uint32_t ber_write_integer(ber_writer* w, int32_t value) {
    if (!Usable(w)) {
        return kBerWriterMissing;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    uint32_t octets = 4;
    // Drop leading octets that only repeat the sign of the next one.
    while (octets > 1) {
        const uint32_t top = (bits >> (8u * (octets - 1u))) & 0xFF;
        const uint32_t next_sign = (bits >> (8u * (octets - 1u) - 1u)) & 1u;
        if (!((top == 0x00 && next_sign == 0) || (top == 0xFF && next_sign == 1))) {
            break;
        }
        --octets;
    }
    uint32_t error = Put(w, kTagInteger) | Put(w, static_cast<uint8_t>(octets));
    while (octets-- > 0) {
        error |= Put(w, static_cast<uint8_t>(bits >> (8u * octets)));
    }
    return error;
}

uint32_t ber_write_unsigned(ber_writer* w, uint8_t tag, uint32_t value) {
    if (!Usable(w)) {
        return kBerWriterMissing;
    }
    uint32_t octets = 1;
    while (octets < 4 && (value >> (8u * octets)) != 0) {
        ++octets;
    }
    const bool pad = ((value >> (8u * (octets - 1u))) & 0x80) != 0;
    uint32_t error = Put(w, tag) | Put(w, static_cast<uint8_t>(octets + (pad ? 1u : 0u)));
    if (pad) {
        error |= Put(w, 0x00);
    }
    while (octets-- > 0) {
        error |= Put(w, static_cast<uint8_t>(value >> (8u * octets)));
    }
    return error;
}

uint32_t ber_write_counter(ber_writer* w, uint32_t value) {
    return ber_write_unsigned(w, 0x41, value);
}

uint32_t ber_write_gauge(ber_writer* w, uint32_t value) {
    return ber_write_unsigned(w, 0x42, value);
}

uint32_t ber_write_timeticks(ber_writer* w, uint32_t value) {
    return ber_write_unsigned(w, 0x43, value);
}
