#include "database/journal_record.h"

#include <cstring>

#include "runtime/crc16.h"

namespace journal {

namespace {
// The CRC-16 of runtime/crc16 four bytes at a time (the scans check every record of a file).
struct SlicedTable {
    uint16_t t[4][256];
};

SlicedTable MakeSlicedTable() {
    SlicedTable table{};
    for (unsigned i = 0; i < 256; ++i) {
        table.t[0][i] = Crc16TableEntry(static_cast<uint8_t>(i));
    }
    for (unsigned i = 0; i < 256; ++i) {
        for (int k = 1; k < 4; ++k) {
            const uint16_t prev = table.t[k - 1][i];
            table.t[k][i] = static_cast<uint16_t>((prev >> 8) ^ table.t[0][prev & 0xFF]);
        }
    }
    return table;
}
}  // namespace

uint16_t Crc(const uint8_t* bytes, size_t length) {
    static const SlicedTable table = MakeSlicedTable();
    uint16_t crc = 0xFFFF;
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        const uint32_t word = (crc ^ (uint32_t{bytes[i]} | uint32_t{bytes[i + 1]} << 8)) |
                              uint32_t{bytes[i + 2]} << 16 | uint32_t{bytes[i + 3]} << 24;
        crc = static_cast<uint16_t>(table.t[3][word & 0xFF] ^ table.t[2][(word >> 8) & 0xFF] ^
                                    table.t[1][(word >> 16) & 0xFF] ^ table.t[0][word >> 24]);
    }
    for (; i < length; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ table.t[0][(crc ^ bytes[i]) & 0xFF]);
    }
    crc = static_cast<uint16_t>(~crc);
    return static_cast<uint16_t>((crc << 8) | (crc >> 8));
}

uint16_t ReadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void WriteBe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

void WriteBe32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

void BuildHeader(const Header* previous, uint32_t imageSize, uint8_t out[kHeaderSize]) {
    out[0] = previous != nullptr ? kCommitted : kErased;
    out[1] = 0;
    WriteBe32(out + 2, previous != nullptr ? previous->sequence + 1 : 0);
    out[6] = 0;
    WriteBe32(out + 7, imageSize);
    WriteBe16(out + 11, Crc(out + 1, 10));
    out[13] = kTerminator;
}

bool ParseHeader(const uint8_t* bytes, size_t size, Header* out) {
    if (bytes == nullptr || size < kHeaderSize) {
        return false;
    }
    if (bytes[13] != kTerminator || ReadBe16(bytes + 11) != Crc(bytes + 1, 10)) {
        return false;
    }
    if (out != nullptr) {
        out->commit = bytes[0];
        out->headerRevision = bytes[1];
        out->sequence = ReadBe32(bytes + 2);
        out->databaseRevision = bytes[6];
        out->imageSize = ReadBe32(bytes + 7);
    }
    return true;
}

bool HeaderValid(const uint8_t* bytes, size_t size) {
    Header header;
    return ParseHeader(bytes, size, &header) && header.commit == kCommitted;
}

namespace {
size_t Finish(uint8_t* out, uint32_t id, uint32_t payloadLength) {
    const auto length = static_cast<uint16_t>(payloadLength + 6);
    out[0] = kLive;
    WriteBe16(out + 1, length);
    WriteBe32(out + 3, id);
    WriteBe16(out + 1 + length, Crc(out + 1, length));
    out[length + 3] = kTerminator;
    return size_t{length} + kRecordOverhead;
}
}  // namespace

size_t BuildIntRecord(uint32_t id, uint32_t width, uint32_t value, uint8_t* out, size_t capacity) {
    if ((width != 1 && width != 2 && width != 4) || out == nullptr ||
        capacity < width + 6 + kRecordOverhead) {
        return 0;
    }
    for (uint32_t i = 0; i < width; ++i) {
        out[7 + i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    }
    return Finish(out, id, width);
}

size_t BuildStringRecord(uint32_t id, const uint8_t* text, uint32_t length, uint8_t* out,
                         size_t capacity) {
    if (length > kMaxStringLength || out == nullptr || (text == nullptr && length != 0) ||
        capacity < length + 7 + kRecordOverhead) {
        return 0;
    }
    if (length != 0) {
        std::memcpy(out + 7, text, length);
    }
    out[7 + length] = 0;
    return Finish(out, id, length + 1);
}

bool AcceptRecord(const uint8_t* base, size_t size, size_t offset, RecordFrame* out) {
    if (base == nullptr || offset >= size || size - offset < kMinRecordLength + kRecordOverhead) {
        return false;
    }
    const uint8_t* p = base + offset;
    if (p[0] != kLive && p[0] != kDeleted) {
        return false;
    }
    const uint16_t length = ReadBe16(p + 1);
    if (length < kMinRecordLength || length > kMaxRecordLength ||
        size - offset < size_t{length} + kRecordOverhead) {
        return false;
    }
    if (p[length + 3] != kTerminator || ReadBe16(p + 1 + length) != Crc(p + 1, length)) {
        return false;
    }
    if (out != nullptr) {
        out->offset = static_cast<uint32_t>(offset);
        out->length = length;
        out->id = ReadBe32(p + 3);
        out->payload = p + 7;
        out->payloadLength = length - 6u;
        out->live = p[0] == kLive;
    }
    return true;
}

uint32_t NominalEnd(const uint8_t* base, uint32_t size, uint32_t offset) {
    if (base == nullptr || offset >= size || (base[offset] != kLive && base[offset] != kDeleted) ||
        size - offset < 3) {
        return offset + 1;
    }
    const uint16_t length = ReadBe16(base + offset + 1);
    if (length < kMinRecordLength || length > kMaxRecordLength) {
        return offset + 1;
    }
    return offset + length + kRecordOverhead;
}

uint32_t TornTail(const uint8_t* base, uint32_t from, uint32_t end) {
    RecordFrame frame;
    uint32_t offset = from;
    while (offset < end) {
        if (AcceptRecord(base, end, offset, &frame)) {
            offset += frame.Size();
        } else if ((base[offset] == kLive || base[offset] == kDeleted) &&
                   (end - offset < 3 || NominalEnd(base, end, offset) >= end)) {
            return offset;  // a marker whose record is not whole by the end of the range
        } else {
            ++offset;
        }
    }
    return end;
}

uint32_t UsedEnd(const uint8_t* base, uint32_t from, uint32_t to) {
    uint32_t end = to;
    // Eight bytes at a time while aligned runs are erased.
    while (end - from >= 8) {
        uint64_t word;
        std::memcpy(&word, base + end - 8, 8);
        if (word != ~uint64_t{0}) {
            break;
        }
        end -= 8;
    }
    while (end > from && base[end - 1] == kErased) {
        --end;
    }
    return end;
}

}  // namespace journal
