#include "database/recording_notify_sink.h"

void RecordingNotifySink::PostLetter(uint32_t letterId) {
    ++letterCount_;
    if (!countOnly_) {
        letters_.push_back(letterId);
    }
}

void RecordingNotifySink::SetEventFlags(uint32_t bits) {
    flags_ |= bits;
    ++flagCalls_;
}

void RecordingNotifySink::Clear() {
    letters_.clear();
    flags_ = 0;
    flagCalls_ = 0;
    letterCount_ = 0;
}
