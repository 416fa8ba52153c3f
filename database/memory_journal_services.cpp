#include "database/memory_journal_services.h"

#include <cstring>

const uint8_t* MemoryJournalServices::Stat(const char* name, uint32_t* size) {
    auto it = name != nullptr ? files_.find(std::string_view(name)) : files_.end();
    if (it == files_.end()) {
        return nullptr;
    }
    if (size != nullptr) {
        *size = static_cast<uint32_t>(it->second->size());
    }
    return it->second->data();
}

std::vector<uint8_t>* MemoryJournalServices::File(std::string_view name) {
    auto it = files_.find(name);
    return it == files_.end() ? nullptr : it->second.get();
}

void MemoryJournalServices::Put(const std::string& name, std::vector<uint8_t> bytes) {
    files_[name] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

bool MemoryJournalServices::ProgramByte(uint8_t* byte, uint8_t value) {
    if (frozen_) {
        return false;
    }
    ++programmed_;
    if (cutAt_ != 0 && programmed_ == cutAt_) {
        if (tear_) {
            rng_ = rng_ * 6364136223846793005ull + 1442695040888963407ull;
            const auto cleared = static_cast<uint8_t>(*byte & ~value);
            value = static_cast<uint8_t>(~(cleared & static_cast<uint8_t>(rng_ >> 33)));
        }
        *byte &= value;
        frozen_ = true;
        return false;
    }
    *byte &= value;
    return true;
}

int MemoryJournalServices::Add(const char* name, uint32_t size) {
    if (name == nullptr) {
        return -4;
    }
    if (frozen_) {
        return 0;
    }
    if (static_cast<long>(size) > Available()) {
        return -18;
    }
    uint8_t state = 0xFF;
    const bool lasts = ProgramByte(&state, 0xFE);
    if (!lasts && state == 0xFF) {
        return 0;  // power went before the file existed
    }
    if (auto it = files_.find(name); it != files_.end()) {
        unlinked_.push_back(it->second);
    }
    files_[name] = std::make_shared<std::vector<uint8_t>>(size, 0xFF);
    return 0;
}

int MemoryJournalServices::Ipmod(const char* name, const void* data, uint32_t offset,
                                 uint32_t size) {
    std::vector<uint8_t>* file = name != nullptr ? File(name) : nullptr;
    if (file == nullptr || (data == nullptr && size != 0)) {
        return frozen_ ? 0 : -1;
    }
    if (offset > file->size() || size > file->size() - offset) {
        return -14;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (uint32_t i = 0; i < size; ++i) {
        if (((*file)[offset + i] & bytes[i]) != bytes[i]) {
            return -10;  // a bit would go from 0 to 1
        }
    }
    uint32_t count = size;
    const bool failing = failIpmods_ > 0;
    if (failing) {
        --failIpmods_;
        count = failAfterBytes_ < size ? failAfterBytes_ : size - 1;  // never the whole
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!ProgramByte(&(*file)[offset + i], bytes[i])) {
            return 0;
        }
    }
    return failing ? -13 : 0;
}

int MemoryJournalServices::Unlink(const char* name) {
    auto it = name != nullptr ? files_.find(std::string_view(name)) : files_.end();
    if (it == files_.end()) {
        return frozen_ ? 0 : -1;
    }
    uint8_t state = 0xFF;
    ProgramByte(&state, 0xFE);
    if (state == 0xFF) {
        return 0;  // power went first
    }
    unlinked_.push_back(it->second);
    files_.erase(it);
    return 0;
}

long MemoryJournalServices::Available() {
    long used = 0;
    for (const auto& [name, file] : files_) {
        used += static_cast<long>(file->size());
    }
    return used >= flashSpace_ ? 0 : flashSpace_ - used;
}

bool MemoryJournalServices::Take(Lock lock) {
    if (failTakes_) {
        return false;
    }
    ++lockDepth[static_cast<int>(lock)];
    return true;
}

void MemoryJournalServices::Give(Lock lock) {
    --lockDepth[static_cast<int>(lock)];
}

unsigned MemoryJournalServices::SetPriority(unsigned newPriority) {
    const unsigned old = priority;
    priority = newPriority;
    return old;
}

void MemoryJournalServices::Sleep(uint32_t) {
    if (onSleep) {
        onSleep();
    }
}

void MemoryJournalServices::CutAfter(uint64_t n, bool tear, uint32_t seed) {
    programmed_ = 0;
    cutAt_ = n;
    tear_ = tear;
    rng_ = seed;
    frozen_ = false;
}

void MemoryJournalServices::Reboot() {
    programmed_ = 0;
    cutAt_ = 0;
    frozen_ = false;
    unlinked_.clear();
    failIpmods_ = 0;
    failTakes_ = false;
    onSleep = nullptr;
    lockDepth[0] = lockDepth[1] = 0;
}

MemoryJournalServices::Image MemoryJournalServices::Snapshot() const {
    Image image;
    for (const auto& [name, file] : files_) {
        image[name] = *file;
    }
    return image;
}

void MemoryJournalServices::Restore(const Image& image) {
    files_.clear();
    for (const auto& [name, bytes] : image) {
        files_[name] = std::make_shared<std::vector<uint8_t>>(bytes);
    }
    Reboot();
}
