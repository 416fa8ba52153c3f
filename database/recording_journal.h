#pragma once
// A journal stand-in that only records what it was handed (tests, benchmarks, and the store
// until the flash journal is wired).

#include <cstdint>
#include <string>
#include <vector>

#include "database/db_journal.h"

class RecordingJournal : public DbJournal {
public:
    struct Record {
        uint32_t id;
        uint32_t width;  // 1, 2 or 4; 0 for a string
        uint32_t value;
        std::string text;
        bool operator==(const Record&) const = default;
    };

    int WriteInt8(uint32_t id, uint8_t value, uint32_t* recordAddress) override;
    int WriteInt16(uint32_t id, uint16_t value, uint32_t* recordAddress) override;
    int WriteInt32(uint32_t id, uint32_t value, uint32_t* recordAddress) override;
    int WriteString(uint32_t id, const uint8_t* text, uint16_t length,
                    uint32_t* recordAddress) override;

    const std::vector<Record>& Records() const { return records_; }
    void Clear() { records_.clear(); }
    // Keeps only a count (benchmarks).
    void SetCountOnly(bool countOnly) { countOnly_ = countOnly; }
    uint64_t Count() const { return count_; }
    // Makes every write report failure.
    void SetFailing(bool failing) { failing_ = failing; }

private:
    int Add(Record record, uint32_t* recordAddress);

    std::vector<Record> records_;
    uint64_t count_ = 0;
    bool countOnly_ = false;
    bool failing_ = false;
};
