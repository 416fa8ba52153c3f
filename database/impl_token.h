#pragma once
// A journal record as the replay sees it, and the scan that finds live records in a byte range.

#include <cstddef>
#include <cstdint>

struct impl_token {
    enum Kind : uint8_t { kInt8 = 0, kInt16 = 1, kInt32 = 2, kString = 3 };

    const uint8_t* payload = nullptr;
    uint32_t id = 0;
    uint16_t length = 0;  // L
    uint16_t crc = 0;
    uint32_t offset = 0;            // of the marker, from the start of the range
    uint32_t value = 0;             // integer kinds
    const uint8_t* text = nullptr;  // string kind: the octets
    uint32_t textLength = 0;
    bool decoded = false;
    Kind kind = kInt8;

    // Walks [first, first + length) for live records. A record that passes the acceptance test
    // is stepped over whole, live or deleted, so the bytes of an old string are never read as
    // records; any other byte advances the scan by one.
    class iterator {
    public:
        iterator() = default;
        virtual ~iterator() = default;
        iterator(const iterator&) = delete;
        iterator& operator=(const iterator&) = delete;

        // Refused (false) while a scan is under way or for a null range.
        bool Begin(const uint8_t* first, uint32_t length);
        // 1 and the next live record, 0 at the end of the range.
        int Next(impl_token* out);
        void Rewind() { position_ = 0; }
        void End();
        bool Active() const { return first_ != nullptr; }

    private:
        const uint8_t* first_ = nullptr;
        uint32_t length_ = 0;
        uint32_t position_ = 0;
    };
};

// Reads the token's payload as a value of the given kind: 1, 2 or 4 big-endian bytes, or the
// octets of a string (the payload without its NUL). False, leaving `decoded` clear, when the
// payload does not have that kind's length.
bool DecodeRecordValue(impl_token* token, impl_token::Kind kind);
