#include "database/impl_token.h"

#include "database/journal_record.h"

bool impl_token::iterator::Begin(const uint8_t* first, uint32_t length) {
    if (first_ != nullptr || first == nullptr) {
        return false;
    }
    first_ = first;
    length_ = length;
    position_ = 0;
    return true;
}

void impl_token::iterator::End() {
    first_ = nullptr;
    length_ = 0;
    position_ = 0;
}

int impl_token::iterator::Next(impl_token* out) {
    if (first_ == nullptr || out == nullptr) {
        return 0;
    }
    journal::RecordFrame frame;
    while (position_ < length_) {
        if (!journal::AcceptRecord(first_, length_, position_, &frame)) {
            ++position_;
            continue;
        }
        position_ += frame.Size();
        if (!frame.live) {
            continue;
        }
        *out = impl_token{};
        out->payload = frame.payload;
        out->id = frame.id;
        out->length = frame.length;
        out->crc = journal::ReadBe16(first_ + frame.offset + 1 + frame.length);
        out->offset = frame.offset;
        return 1;
    }
    return 0;
}

bool DecodeRecordValue(impl_token* token, impl_token::Kind kind) {
    if (token == nullptr || token->payload == nullptr ||
        token->length < journal::kMinRecordLength) {
        return false;
    }
    const uint32_t payloadLength = token->length - 6u;
    token->decoded = false;
    switch (kind) {
        case impl_token::kInt8:
        case impl_token::kInt16:
        case impl_token::kInt32: {
            const uint32_t width = kind == impl_token::kInt8    ? 1
                                   : kind == impl_token::kInt16 ? 2
                                                                : 4;
            if (payloadLength != width) {
                return false;
            }
            uint32_t value = 0;
            for (uint32_t i = 0; i < width; ++i) {
                value = (value << 8) | token->payload[i];
            }
            token->value = value;
            break;
        }
        case impl_token::kString:
            if (payloadLength - 1 > journal::kMaxStringLength) {
                return false;
            }
            token->text = token->payload;
            token->textLength = payloadLength - 1;
            break;
        default:
            return false;
    }
    token->kind = kind;
    token->decoded = true;
    return true;
}
