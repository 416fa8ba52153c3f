#pragma once
// Cuts whole SNMP messages out of a byte stream by their own BER encoding: a SEQUENCE (0x30)
// with a definite length. Each message is gathered into the caller's buffer; a stream that
// cannot be an SNMP message (another tag, an indefinite or over-long length, a message larger
// than the buffer) is refused at once instead of waiting for bytes that never come.

#include <cstddef>
#include <cstdint>

class BerDelimiter {
public:
    enum class Step : uint8_t { kMore, kMessage, kRefused };

    BerDelimiter(uint8_t* buffer, size_t capacity);

    // Takes one byte. kMessage: Message()/Length() hold a whole message until the next Push.
    // kRefused: the stream is broken; the delimiter starts again with the next byte.
    Step Push(uint8_t byte);
    // Forgets a partial message (start of a datagram, a new connection).
    void Reset();

    const uint8_t* Message() const { return buffer_; }
    size_t Length() const { return filled_; }

private:
    enum class Phase : uint8_t { kTag, kLength, kLengthOctets, kContent };

    Step Refuse();
    Step Begin(size_t contentLength);

    uint8_t* buffer_;
    size_t capacity_;
    size_t filled_ = 0;
    size_t remaining_ = 0;
    uint8_t lengthOctets_ = 0;
    bool delivered_ = false;
    Phase phase_ = Phase::kTag;
};
