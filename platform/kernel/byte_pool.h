#pragma once
// First-fit allocator over a caller-given area. Block records are kept beside the area, but every
// block is charged a header of kOverhead bytes inside it, so the figures (available bytes,
// fragments) are those of an in-place pool and identical on every run.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>

namespace kernel {

class FirstFitArea {
public:
    static constexpr std::uint32_t kOverhead = 16;
    static constexpr std::uint32_t kAlign = 8;

    // Takes the area [start, start + size); false when it is too small to hold one block.
    bool Init(void* start, std::uint32_t size);
    // Null when no free block is large enough.
    void* Allocate(std::uint32_t size);
    // False when block is not a live block of this area.
    bool Release(void* block);
    bool Contains(const void* pointer) const;

    std::uint32_t available() const { return available_; }
    // Blocks of the area, used and free, including the end marker.
    std::uint32_t fragments() const { return static_cast<std::uint32_t>(blocks_.size()); }

private:
    struct Block {
        std::uint32_t size;  // header included
        bool free;
    };
    void MarkFree(std::uint32_t offset);

    unsigned char* start_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t available_ = 0;
    std::map<std::uint32_t, Block> blocks_;
    std::set<std::uint32_t> free_;
};

}  // namespace kernel
