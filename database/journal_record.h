#pragma once
// On-flash format of the NV journal: the 14-byte file header and the self-checking records.
//
// Header: commit mark (0x7F committed, 0xFF not yet), header revision 0, sequence number (u32),
// database revision 0, NV image size (u32), CRC-16 of bytes 1-10, "|".
// Record: "~" live / ">" deleted, L (u16), object id (u32), payload (L - 6 bytes), CRC-16 of the L
// bytes from offset 1, "|". Every multi-byte field is big-endian. Integer records carry 1, 2 or 4
// value bytes (L = 7, 8, 10); a string record carries its n octets and a NUL (L = n + 7, n <= 1600,
// n = 0 for an emptied string).

#include <cstddef>
#include <cstdint>

namespace journal {

inline constexpr uint32_t kFileSize = 0x400000;
inline constexpr uint32_t kCompactAbove = 0x300000;
inline constexpr uint32_t kHeaderSize = 14;
inline constexpr uint32_t kRecordOverhead = 4;  // marker, CRC, terminator around the L bytes
inline constexpr uint32_t kMinRecordLength = 7;
inline constexpr uint32_t kMaxRecordLength = 1700;
inline constexpr uint32_t kMaxStringLength = 1600;
inline constexpr uint32_t kMaxRecordSize = kMaxRecordLength + kRecordOverhead;

inline constexpr uint8_t kLive = 0x7E;        // "~"
inline constexpr uint8_t kDeleted = 0x3E;     // ">"
inline constexpr uint8_t kTerminator = 0x7C;  // "|"
inline constexpr uint8_t kCommitted = 0x7F;
inline constexpr uint8_t kErased = 0xFF;

// CRC-16/X.25 of the bytes as the journal stores it (high byte first).
uint16_t Crc(const uint8_t* bytes, size_t length);

uint16_t ReadBe16(const uint8_t* p);
uint32_t ReadBe32(const uint8_t* p);
void WriteBe16(uint8_t* p, uint16_t value);
void WriteBe32(uint8_t* p, uint32_t value);

struct Header {
    uint8_t commit = kErased;
    uint8_t headerRevision = 0;
    uint32_t sequence = 0;
    uint8_t databaseRevision = 0;
    uint32_t imageSize = 0;
};

// Builds the header: committed with the previous file's sequence + 1 when `previous` is given,
// else uncommitted with sequence 0.
void BuildHeader(const Header* previous, uint32_t imageSize, uint8_t out[kHeaderSize]);
// Reads the fields of a header of at least kHeaderSize bytes; true when its CRC and terminator
// match (the commit mark is not judged).
bool ParseHeader(const uint8_t* bytes, size_t size, Header* out);
// Committed and intact.
bool HeaderValid(const uint8_t* bytes, size_t size);

// Record builders; the result is the record's size (L + 4), 0 when refused.
size_t BuildIntRecord(uint32_t id, uint32_t width, uint32_t value, uint8_t* out, size_t capacity);
size_t BuildStringRecord(uint32_t id, const uint8_t* text, uint32_t length, uint8_t* out,
                         size_t capacity);

// A record as found in a byte range.
struct RecordFrame {
    uint32_t offset = 0;  // of the marker
    uint16_t length = 0;  // L
    uint32_t id = 0;
    const uint8_t* payload = nullptr;
    uint32_t payloadLength = 0;  // L - 6
    bool live = false;
    uint32_t Size() const { return length + kRecordOverhead; }
};

// The acceptance test every reader uses: a marker ("~" or ">") at `offset`, L of 7 to 1700, the
// whole record inside [0, size), "|" at L + 3 and a matching CRC. The CRC covers the length, id
// and payload only, so a record stays acceptable after it is marked deleted.
bool AcceptRecord(const uint8_t* base, size_t size, size_t offset, RecordFrame* out);

// A record left unfinished at the end of [from, end) by a power cut or a failed program: the
// offset of a marker, not of a whole record, whose length field is unreadable (the range ends
// first) or plausible and reaching to `end` or beyond (everything from there on is that record's
// beginning, its terminator possibly torn); `end` when there is none. Whole records
// are stepped over, any other byte is passed one by one.
uint32_t TornTail(const uint8_t* base, uint32_t from, uint32_t end);
// End of the record that begins with the marker at `offset` as its length field gives it
// (offset + L + 4), or offset + 1 when the length cannot be read or is implausible.
uint32_t NominalEnd(const uint8_t* base, uint32_t size, uint32_t offset);

// Offset just behind the last byte that is not 0xFF within [from, to); `from` when all erased.
uint32_t UsedEnd(const uint8_t* base, uint32_t from, uint32_t to);

}  // namespace journal
