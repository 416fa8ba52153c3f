#pragma once
// disp::pixel_failure_set: the failed pixels of the faces' error frames as the display cycle
// uses them: every failed position of face 0's frame area in row order with its pixel-test
// error value and the first face that marks it, and the bitmap of face 0's modules that hold
// one. The error frames are scanned only when they may have changed (a clear, a test, another
// layout or switch); every other cycle reuses the set.

#include <cstdint>
#include <vector>

namespace disp {

class face;
class frame;

class pixel_failure_set {
public:
    struct entry {
        uint16_t x;
        uint16_t y;
        uint32_t test_value;  // OR of the faces' pixel-test error values
        uint8_t first_face;   // the pixel is switched off in this face and the ones after it
    };
    static constexpr uint32_t kMaxFaces = 2;
    static constexpr uint32_t kBitmapBytes = 576;

    // Scans again when the faces' error frames, the real-time switch or the frame size
    // changed since the last scan; true when it scanned. height x width: face 0's frame (0
    // without one: the set is empty).
    bool Update(face* faces, uint32_t faceCount, bool realTime, uint16_t height, uint16_t width);
    // Switches every failed pixel off in the faces' current frames (null: none); the pixels
    // of entries that were lit.
    uint32_t SwitchOff(frame* const* frames, uint32_t faceCount) const;
    // The next Update scans.
    void Invalidate() { valid_ = false; }

    const std::vector<entry>& Entries() const { return entries_; }
    // ceil(module count / 8) octets, module k = bit k mod 8 of octet k / 8.
    const uint8_t* ModuleBitmap() const { return bitmap_; }
    uint32_t ModuleBitmapBytes() const { return bitmap_bytes_; }
    uint32_t Scans() const { return scans_; }

private:
    struct key {
        const void* diag[kMaxFaces] = {};
        uint32_t generation[kMaxFaces] = {};
        uint8_t state[kMaxFaces] = {};
        uint8_t finished[kMaxFaces] = {};
        uint32_t faces = 0;
        bool real_time = false;
        uint16_t height = 0;
        uint16_t width = 0;
        bool operator==(const key&) const = default;
    };
    static key KeyOf(face* faces, uint32_t faceCount, bool realTime, uint16_t height,
                     uint16_t width);
    void Scan(face* faces, uint32_t faceCount, bool realTime, uint16_t height, uint16_t width);

    key key_;
    bool valid_ = false;
    std::vector<entry> entries_;
    uint8_t bitmap_[kBitmapBytes] = {};
    uint32_t bitmap_bytes_ = 0;
    uint32_t scans_ = 0;
};

}  // namespace disp
