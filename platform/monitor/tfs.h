#pragma once
// The monitor's flash file system (TFS) over one Flash. Layout and recovery
// rules are described at the top of tfs.cpp.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/monitor/flash.h"
#include "platform/monitor/mon.h"

namespace monitor {

class Tfs {
public:
    static constexpr size_t kMaxOpen = 16;

    explicit Tfs(Flash* flash) : flash_(flash) {}

    // Scans the flash: finishes an interrupted compaction, resolves a replace
    // that a power cut interrupted (the newer complete copy wins) and, when
    // compact is set, packs the live files so the dead space becomes free.
    bool Mount(bool compact);
    bool Mounted() const { return mounted_; }

    int Add(const char* name, const char* info, const char* flags, const void* data, long size);
    const TFILE* Stat(const char* name) const;
    const TFILE* Next(const TFILE* prev) const;
    int Unlink(const char* name);
    int Ipmod(const char* name, const void* data, long offset, long size);

    int Open(const char* name, long mode, char* buf, size_t bufsize);
    int Read(int fd, void* buf, long count);
    int Write(int fd, const void* buf, long count);
    long Seek(int fd, long offset, int whence);
    int Close(int fd, const char* info);

    long Ctrl(int request, long arg1, long arg2);
    long DeadSpace() const { return long(deadBytes_); }
    long Available() const;
    long DeadRecords() const { return long(deadRecords_); }
    size_t FileCount() const { return index_.size(); }
    size_t MaxFiles() const { return capacity_; }
    // In-place modifications refused because a bit would go from 0 to 1.
    uint64_t ZeroToOneAttempts() const { return zeroToOne_; }
    // Compactions that ran (or were finished) at the last mount.
    bool CompactedAtMount() const { return compacted_; }

    // Formats a header's time stamp with the installed hook ("" without).
    std::string FormatTime(const TFILE* hdr) const;

    // Flag characters <-> attribute bits; false on an unknown character.
    static bool ParseFlags(const char* text, uint32_t* bits);
    static std::string FlagText(uint32_t bits);

private:
    struct Descriptor {
        bool used = false;
        std::string name;
        long mode = 0;
        uint32_t record = 0;
        char* buf = nullptr;
        size_t bufsize = 0;
        size_t size = 0;
        size_t pos = 0;
        bool dirty = false;
        uint32_t fileFlags = 0;
        std::string info;
    };
    struct Extent {
        uint32_t src, dst, len;
    };

    const uint8_t* Base() const { return flash_->Data(); }
    // The header of the record at offset (behind its 8-byte prefix).
    const TFILE* Header(uint32_t offset) const {
        return reinterpret_cast<const TFILE*>(Base() + offset + 8);
    }
    bool ValidHeader(uint32_t offset) const;
    bool DataIntact(const TFILE* h) const;
    uint32_t RecordLength(const TFILE* h) const;
    void Scan();
    void MarkDeleted(uint32_t offset);
    int AddBits(const std::string& name, const char* info, uint32_t bits, const void* data,
                size_t size);
    Descriptor* Fd(int fd);

    // Compaction.
    size_t DataBlocks() const { return flash_->Blocks() - 2; }
    size_t SpareOffset() const { return (flash_->Blocks() - 2) * flash_->BlockSize(); }
    size_t StateOffset() const { return (flash_->Blocks() - 1) * flash_->BlockSize(); }
    size_t ExtentOffset() const;
    bool PlanActive(uint32_t* count, uint32_t* newEnd) const;
    void WritePlan();
    void RunPlan();
    bool EraseIfDirty(size_t block);

    Flash* flash_;
    bool mounted_ = false;
    bool compacted_ = false;
    size_t dataEnd_ = 0;
    size_t capacity_ = 0;
    uint32_t append_ = 0;
    uint64_t deadBytes_ = 0;
    uint64_t deadRecords_ = 0;
    uint64_t zeroToOne_ = 0;
    std::map<std::string, uint32_t> index_;  // live files by name
    std::array<Descriptor, kMaxOpen> fds_{};
    TfsTimeSource timeSource_ = nullptr;
    TfsTimeFormatter timeFormatter_ = nullptr;
};

}  // namespace monitor
