#include "system/prompt.h"

#include <cstring>

namespace {
constexpr int kBackspace = 8;
constexpr int kDelete = 127;
constexpr int kLineFeed = 10;
constexpr int kCarriageReturn = 13;
constexpr int kEscape = 27;
}  // namespace

CPrompt::CPrompt(OutputFn output, ExecuteFn execute) : output_(output), execute_(execute) {}

CPrompt::~CPrompt() {
    Reset();
}

void CPrompt::Reset() {
    escape_ = 0;
    length_ = 0;
    line_[0] = '\0';
    historyTop_ = 0;
    historyCount_ = 0;
}

const char* CPrompt::HistoryEntry(uint32_t i) const {
    if (i >= historyCount_) {
        return "";
    }
    return history_[(historyTop_ + kHistoryDepth - 1 - i) % kHistoryDepth];
}

void CPrompt::Output(const char* text) {
    for (; *text != '\0'; ++text) {
        output_(static_cast<unsigned char>(*text));
    }
}

void CPrompt::PrintPrompt() {
    if (output_ != nullptr) {
        Output(kPrompt);
    }
}

void CPrompt::Erase() {
    for (uint32_t i = 0; i < length_; ++i) {
        Output("\b \b");
    }
}

void CPrompt::PushHistory() {
    std::memcpy(history_[historyTop_], line_, length_ + 1);
    historyTop_ = (historyTop_ + 1) % kHistoryDepth;
    if (historyCount_ < kHistoryDepth) {
        ++historyCount_;
    }
}

void CPrompt::EndLine() {
    if (length_ > 0) {
        PushHistory();
    }
    output_(kCarriageReturn);
    output_(kLineFeed);
    // The executed text is a copy: a command may feed characters back into this prompt.
    char command[kLineSize + 1];
    std::memcpy(command, line_, length_ + 1);
    length_ = 0;
    line_[0] = '\0';
    if (execute_ != nullptr) {
        execute_(command, 0);
    }
    Output(kPrompt);
}

// The most recent history entry leaves the history and becomes the line.
void CPrompt::Recall() {
    if (historyCount_ == 0) {
        return;
    }
    Erase();
    historyTop_ = (historyTop_ + kHistoryDepth - 1) % kHistoryDepth;
    --historyCount_;
    const char* entry = history_[historyTop_];
    length_ = static_cast<uint32_t>(strnlen(entry, kLineSize));
    std::memcpy(line_, entry, length_);
    line_[length_] = '\0';
    Output(line_);
}

void CPrompt::FeedChar(int character) {
    if (output_ == nullptr) {
        return;
    }
    if (escape_ != 0) {
        if (character == '[') {
            return;
        }
        escape_ = 0;
        if (character == 'A' || character == 'B') {
            Recall();
        }
        return;
    }
    switch (character) {
        case kBackspace:
        case kDelete:
            if (length_ > 0) {
                line_[--length_] = '\0';
                Output("\b \b");
            }
            break;
        case kLineFeed:
        case kCarriageReturn:
            EndLine();
            break;
        case kEscape:
            escape_ = 1;
            break;
        default:
            if (length_ < kLineSize) {
                line_[length_++] = static_cast<char>(character);
                line_[length_] = '\0';
                output_(character & 0xFF);
            }
            break;
    }
}
