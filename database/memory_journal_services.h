#pragma once
// Journal services over files held in memory, with the flash's power-cut plans: cut the power
// after the N-th programmed byte, optionally tearing that byte (only some of the bits it was to
// clear are cleared), then freeze. After the cut every call still reports success but nothing
// changes any more, so the files hold the image a board would boot on. Adding and unlinking a
// file each count as one programmed byte (the file header's state byte).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/journal_services.h"

class MemoryJournalServices : public JournalServices {
public:
    explicit MemoryJournalServices(long flashSpace = 16L << 20) : flashSpace_(flashSpace) {}

    const uint8_t* Stat(const char* name, uint32_t* size) override;
    int Add(const char* name, uint32_t size) override;
    int Ipmod(const char* name, const void* data, uint32_t offset, uint32_t size) override;
    int Unlink(const char* name) override;
    long Available() override;
    long DeadSpace() override { return deadSpace; }
    void RequestDefragRestart() override { ++defragRestarts; }
    bool Take(Lock lock) override;
    void Give(Lock lock) override;
    unsigned SetPriority(unsigned priority) override;
    void Sleep(uint32_t ticks) override;

    // Power-cut plan: cut after the n-th programmed byte from now (0: none).
    void CutAfter(uint64_t n, bool tear, uint32_t seed = 1);
    bool PowerCut() const { return frozen_; }
    uint64_t Programmed() const { return programmed_; }
    // The next boot: the plan ends and files unlinked meanwhile stop being readable.
    void Reboot();
    // A copy of the files, and a board that boots on such a copy.
    using Image = std::map<std::string, std::vector<uint8_t>, std::less<>>;
    Image Snapshot() const;
    void Restore(const Image& image);

    // Direct access for tests.
    std::vector<uint8_t>* File(std::string_view name);
    bool Exists(const std::string& name) const { return files_.count(name) != 0; }
    // Replaces a file's bytes as they are (a crafted or damaged file).
    void Put(const std::string& name, std::vector<uint8_t> bytes);
    // The next `count` in-place modifications fail after programming `programmedBytes` of their
    // bytes (never all of them), as a flash that refuses a program would.
    void FailIpmods(int count, uint32_t programmedBytes = 0) {
        failIpmods_ = count;
        failAfterBytes_ = programmedBytes;
    }
    void FailTakes(bool fail) { failTakes_ = fail; }

    // Runs while the journal sleeps (other threads' turn).
    std::function<void()> onSleep;
    int defragRestarts = 0;
    long deadSpace = 0;  // what a defragmentation would give back
    int lockDepth[2] = {0, 0};
    unsigned priority = 4;

private:
    bool ProgramByte(uint8_t* byte, uint8_t value);

    long flashSpace_;
    std::map<std::string, std::shared_ptr<std::vector<uint8_t>>, std::less<>> files_;
    std::vector<std::shared_ptr<std::vector<uint8_t>>> unlinked_;  // readable until the reboot
    uint64_t programmed_ = 0;
    uint64_t cutAt_ = 0;
    bool tear_ = false;
    uint64_t rng_ = 1;
    bool frozen_ = false;
    int failIpmods_ = 0;
    uint32_t failAfterBytes_ = 0;
    bool failTakes_ = false;
};
