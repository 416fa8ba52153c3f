#pragma once
// A notice receiver that records letters and event-flag bits (tests, benchmarks, and the store
// until the event bus and the "database" event flags are wired).

#include <cstdint>
#include <vector>

#include "database/change_notification.h"

class RecordingNotifySink : public DbNotifySink {
public:
    void PostLetter(uint32_t letterId) override;
    void SetEventFlags(uint32_t bits) override;

    const std::vector<uint32_t>& Letters() const { return letters_; }
    // Every bit set since the last Clear (OR of all calls).
    uint32_t Flags() const { return flags_; }
    uint32_t FlagCalls() const { return flagCalls_; }
    // Keeps only counts (benchmarks).
    void SetCountOnly(bool countOnly) { countOnly_ = countOnly; }
    uint64_t LetterCount() const { return letterCount_; }
    void Clear();

private:
    std::vector<uint32_t> letters_;
    uint32_t flags_ = 0;
    uint32_t flagCalls_ = 0;
    uint64_t letterCount_ = 0;
    bool countOnly_ = false;
};
