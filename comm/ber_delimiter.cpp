#include "comm/ber_delimiter.h"

namespace {

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kLongForm = 0x80;
constexpr uint8_t kMaxLengthOctets = 4;

}  // namespace

BerDelimiter::BerDelimiter(uint8_t* buffer, size_t capacity)
    : buffer_(buffer), capacity_(capacity) {}

void BerDelimiter::Reset() {
    filled_ = 0;
    remaining_ = 0;
    lengthOctets_ = 0;
    delivered_ = false;
    phase_ = Phase::kTag;
}

BerDelimiter::Step BerDelimiter::Refuse() {
    Reset();
    return Step::kRefused;
}

BerDelimiter::Step BerDelimiter::Begin(size_t contentLength) {
    if (contentLength > capacity_ - filled_) {
        return Refuse();
    }
    remaining_ = contentLength;
    phase_ = Phase::kContent;
    if (remaining_ == 0) {
        delivered_ = true;
        phase_ = Phase::kTag;
        return Step::kMessage;
    }
    return Step::kMore;
}

BerDelimiter::Step BerDelimiter::Push(uint8_t byte) {
    if (delivered_) {
        filled_ = 0;
        delivered_ = false;
    }
    if (filled_ >= capacity_) {
        return Refuse();
    }
    buffer_[filled_++] = byte;
    switch (phase_) {
        case Phase::kTag:
            if (byte != kSequence) {
                return Refuse();
            }
            phase_ = Phase::kLength;
            return Step::kMore;
        case Phase::kLength:
            if ((byte & kLongForm) == 0) {
                return Begin(byte);
            }
            lengthOctets_ = byte & 0x7F;
            if (lengthOctets_ == 0 || lengthOctets_ > kMaxLengthOctets) {
                return Refuse();  // indefinite or beyond any buffer
            }
            remaining_ = 0;
            phase_ = Phase::kLengthOctets;
            return Step::kMore;
        case Phase::kLengthOctets:
            remaining_ = remaining_ << 8 | byte;
            if (remaining_ > capacity_) {
                return Refuse();
            }
            if (--lengthOctets_ == 0) {
                return Begin(remaining_);
            }
            return Step::kMore;
        case Phase::kContent:
            if (--remaining_ == 0) {
                delivered_ = true;
                phase_ = Phase::kTag;
                return Step::kMessage;
            }
            return Step::kMore;
    }
    return Refuse();
}
