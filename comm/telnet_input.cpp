#include "comm/telnet_input.h"

namespace {
std::string Command(uint8_t verb, uint8_t option) {
    return {static_cast<char>(CTelnetInput::kIac), static_cast<char>(verb),
            static_cast<char>(option)};
}
}  // namespace

std::string CTelnetInput::Offer() {
    return Command(kWill, kOptionEcho) + Command(kWill, kOptionSuppressGoAhead);
}

void CTelnetInput::Take(const std::string& in, std::string* data, std::string* answer) {
    for (const char c : in) {
        const auto byte = static_cast<uint8_t>(c);
        switch (state_) {
            case kData:
                if (byte == kIac) {
                    state_ = kCommand;
                } else {
                    Data(byte, data);
                }
                break;
            case kCommand:
                if (byte == kIac) {
                    Data(byte, data);
                    state_ = kData;
                } else if (byte >= kWill && byte <= kDont) {
                    verb_ = byte;
                    state_ = kOption;
                } else {
                    state_ = byte == kSb ? kSub : kData;
                }
                break;
            case kOption:
                Answer(byte, answer);
                state_ = kData;
                break;
            case kSub:
                if (byte == kIac) {
                    state_ = kSubIac;
                }
                break;
            case kSubIac:
                state_ = byte == kSe ? kData : kSub;
                break;
        }
    }
}

void CTelnetInput::Data(uint8_t byte, std::string* data) {
    const bool lineEnd = afterCr_ && (byte == '\n' || byte == '\0');
    afterCr_ = byte == '\r';
    if (!lineEnd) {
        data->push_back(static_cast<char>(byte));
    }
}

void CTelnetInput::Answer(uint8_t option, std::string* answer) {
    const bool ours = option == kOptionEcho || option == kOptionSuppressGoAhead;
    if (verb_ == kDo && !ours) {
        *answer += Command(kWont, option);
    } else if (verb_ == kWill) {
        *answer += Command(kDont, option);
    }
}
