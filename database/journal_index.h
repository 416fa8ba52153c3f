#pragma once
// The deletion index of the journal: for each object written since the last deletion pass, the
// address of its newest record and the file that record is in. Look-ups by object id are hashed,
// so a pass over a full journal costs one probe per record instead of a walk of the list.

#include <cstdint>
#include <vector>

class JournalIndex {
public:
    static constexpr uint32_t kDefaultCapacity = 8000;

    struct Entry {
        uint32_t address = 0;  // offset of the record's marker in its file
        uint32_t id = 0;
        uint8_t file = 0;  // 1 "nv1.dat", 2 "nv2.dat"
    };

    enum class Put { kReplaced, kAdded, kFull };

    explicit JournalIndex(uint32_t capacity = kDefaultCapacity);

    // Replaces the entry of the id, or appends one while there is room.
    Put Record(uint32_t id, uint32_t address, uint8_t file);
    // Null when the id has no entry.
    const Entry* Find(uint32_t id) const;
    Entry* Find(uint32_t id);

    uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
    uint32_t Capacity() const { return capacity_; }
    bool Full() const { return entries_.size() >= capacity_; }
    const std::vector<Entry>& Entries() const { return entries_; }

    void Clear();
    // Hands every entry to `other` (which is cleared first) and leaves this index empty.
    void MoveTo(JournalIndex& other);
    // Keeps only the entries of one file.
    void KeepFile(uint8_t file);

private:
    uint32_t Slot(uint32_t id) const;
    void Insert(uint32_t id, uint32_t entry);

    uint32_t capacity_;
    uint32_t mask_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> table_;  // entry number + 1, 0 for an empty slot
};
