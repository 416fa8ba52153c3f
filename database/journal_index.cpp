#include "database/journal_index.h"

#include <utility>

JournalIndex::JournalIndex(uint32_t capacity) : capacity_(capacity) {
    uint32_t size = 16;
    while (size < 2 * capacity_) {
        size <<= 1;
    }
    mask_ = size - 1;
    table_.assign(size, 0);
    entries_.reserve(capacity_);
}

uint32_t JournalIndex::Slot(uint32_t id) const {
    return (id * 0x9E3779B1u) >> 7 & mask_;
}

void JournalIndex::Insert(uint32_t id, uint32_t entry) {
    uint32_t slot = Slot(id);
    while (table_[slot] != 0) {
        slot = (slot + 1) & mask_;
    }
    table_[slot] = entry + 1;
}

const JournalIndex::Entry* JournalIndex::Find(uint32_t id) const {
    for (uint32_t slot = Slot(id);; slot = (slot + 1) & mask_) {
        const uint32_t entry = table_[slot];
        if (entry == 0) {
            return nullptr;
        }
        if (entries_[entry - 1].id == id) {
            return &entries_[entry - 1];
        }
    }
}

JournalIndex::Entry* JournalIndex::Find(uint32_t id) {
    return const_cast<Entry*>(std::as_const(*this).Find(id));
}

JournalIndex::Put JournalIndex::Record(uint32_t id, uint32_t address, uint8_t file) {
    if (Entry* entry = Find(id); entry != nullptr) {
        entry->address = address;
        entry->file = file;
        return Put::kReplaced;
    }
    if (Full()) {
        return Put::kFull;
    }
    entries_.push_back({address, id, file});
    Insert(id, Count() - 1);
    return Put::kAdded;
}

void JournalIndex::Clear() {
    for (const Entry& entry : entries_) {
        for (uint32_t slot = Slot(entry.id); table_[slot] != 0; slot = (slot + 1) & mask_) {
            table_[slot] = 0;
        }
    }
    entries_.clear();
}

void JournalIndex::MoveTo(JournalIndex& other) {
    other.Clear();
    for (const Entry& entry : entries_) {
        other.Record(entry.id, entry.address, entry.file);
    }
    Clear();
}

void JournalIndex::KeepFile(uint8_t file) {
    std::vector<Entry> kept;
    for (const Entry& entry : entries_) {
        if (entry.file == file) {
            kept.push_back(entry);
        }
    }
    Clear();
    for (const Entry& entry : kept) {
        Record(entry.id, entry.address, entry.file);
    }
}
