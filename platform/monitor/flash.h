#pragma once
// The board's NOR flash: one file of the board directory mapped shared, so
// every programmed byte is in the file at once (a kill -9 loses nothing).
// Programming only clears bits (new = old AND value); erasing sets a whole
// erase block to 0xFF.
//
// Fault plans cut the power after the N-th programmed byte: that byte is
// written whole or, when tearing, with a random subset of the bits it was
// to clear. Or they cut it during the N-th erase: the block is left partly
// erased (a random leading part of it 0xFF, the rest as it was). From then
// on the file is frozen. The running process keeps a private view in which
// the interrupted operation and later writes still complete, so it does not
// read garbage, but none of them reaches the file: the next boot sees the
// image as it was at the cut.

#include <cstddef>
#include <cstdint>
#include <string>

namespace monitor {

struct FaultPlan {
    uint64_t cutAfter = 0;  // 0: no cut (a dry run only counts)
    bool tear = false;
    uint32_t seed = 1;
    uint64_t cutInErase = 0;  // the erase the power goes in, from 1 (0: none)

    // "cut=N[,tear[=0|1]][,seed=S]" or "erase=N[,seed=S]"; false on anything
    // else.
    static bool Parse(const std::string& text, FaultPlan* out);
};

class Flash {
public:
    static constexpr size_t kDefaultSize = 16u << 20;

    Flash() = default;
    ~Flash();
    Flash(const Flash&) = delete;
    Flash& operator=(const Flash&) = delete;

    // Maps the file, creating it erased with newSize bytes when absent. An
    // existing file keeps its own size. False also while another process
    // (or another Flash) has the file open. The size must be a multiple of the
    // erase block (see BlockSizeFor) and hold at least 8 blocks.
    bool Open(const std::string& path, size_t newSize = kDefaultSize);
    void Close();
    bool IsOpen() const { return base_ != nullptr; }

    static size_t BlockSizeFor(size_t flashSize);
    size_t Size() const { return size_; }
    size_t BlockSize() const { return block_; }
    size_t Blocks() const { return size_ / block_; }
    const uint8_t* Data() const { return base_; }

    // Programs len bytes at offset (bits only go from 1 to 0). False when out
    // of range; a frozen flash still reports success.
    bool Program(size_t offset, const void* data, size_t len);
    bool Erase(size_t block);

    void SetFaultPlan(const FaultPlan& plan);
    void ClearFaultPlan() { SetFaultPlan(FaultPlan{}); }
    // Bytes programmed and blocks erased since the flash was opened or the
    // plan was set.
    uint64_t ProgrammedBytes() const { return programmed_; }
    uint64_t Erases() const { return erases_; }
    bool PowerCut() const { return frozen_; }

private:
    void Freeze();
    uint32_t Random();

    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    size_t block_ = 0;
    int fd_ = -1;
    FaultPlan plan_{};
    uint64_t programmed_ = 0;
    uint64_t erases_ = 0;
    uint64_t rng_ = 1;
    bool frozen_ = false;
};

}  // namespace monitor
