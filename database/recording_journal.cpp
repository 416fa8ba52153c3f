#include "database/recording_journal.h"

int RecordingJournal::Add(Record record, uint32_t* recordAddress) {
    if (failing_) {
        return 0;
    }
    ++count_;
    if (recordAddress != nullptr) {
        *recordAddress = static_cast<uint32_t>(count_);
    }
    if (!countOnly_) {
        records_.push_back(std::move(record));
    }
    return 1;
}

int RecordingJournal::WriteInt8(uint32_t id, uint8_t value, uint32_t* recordAddress) {
    return Add({id, 1, value, {}}, recordAddress);
}

int RecordingJournal::WriteInt16(uint32_t id, uint16_t value, uint32_t* recordAddress) {
    return Add({id, 2, value, {}}, recordAddress);
}

int RecordingJournal::WriteInt32(uint32_t id, uint32_t value, uint32_t* recordAddress) {
    return Add({id, 4, value, {}}, recordAddress);
}

int RecordingJournal::WriteString(uint32_t id, const uint8_t* text, uint16_t length,
                                  uint32_t* recordAddress) {
    std::string bytes;
    if (length != 0 && text != nullptr) {
        bytes.assign(reinterpret_cast<const char*>(text), length);
    }
    return Add({id, 0, length, std::move(bytes)}, recordAddress);
}
