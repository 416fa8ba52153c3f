#pragma once
// The display EPLD on the board's 16-bit display register bus (0xF0400000). Until a bitstream
// is loaded every register reads 0xFFFF and writes are ignored. Loaded, it keeps the sign
// geometry and brightness, reports its version and memory map, runs module-bus commands
// (README.md) and clocks the frames DMA channel 0 delivers out to the sink.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/sim/hw.h"

namespace sim {

class ModuleBus;

class Epld : public hw::Device {
public:
    static constexpr uint32_t kBase = 0xF0400000;
    static constexpr uint32_t kSize = 0x100;
    // Register offsets.
    static constexpr uint32_t kBrightness = 0x00;
    static constexpr uint32_t kWidth = 0x02;
    static constexpr uint32_t kHeight = 0x04;
    static constexpr uint32_t kMemoryMap = 0x08;
    static constexpr uint32_t kColumns = 0x0A;
    static constexpr uint32_t kRows = 0x0C;
    static constexpr uint32_t kVersion = 0x0E;
    static constexpr uint32_t kCommand = 0x1C;
    static constexpr uint32_t kAddress = 0x1E;
    static constexpr uint32_t kControl = 0x20;
    static constexpr uint32_t kData = 0x22;
    static constexpr uint32_t kStatus = 0x24;
    // Control values.
    static constexpr uint16_t kStartCommand = 0x2000;
    static constexpr uint16_t kStartWrite = 0x6000;
    static constexpr uint16_t kSelectReadBack = 0x11FF;

    // One frame as clocked out: width x height pixels of three bytes (blue, green, red), and the
    // brightness register (percent) at that moment.
    using FrameOut = std::function<void(uint16_t width, uint16_t height, const uint8_t* pixels,
                                        size_t size, uint16_t brightness)>;

    void SetModuleBus(ModuleBus* bus) { bus_ = bus; }
    void SetFrameOut(FrameOut out) { frameOut_ = std::move(out); }

    // The monitor's EPLD-load hook: false (and the EPLD unprogrammed) for a malformed bitstream.
    bool Load(const uint8_t* bitstream, size_t size);
    bool Programmed() const { return programmed_; }
    uint32_t Loads() const { return loads_; }
    // Register values as last written (for tests).
    uint16_t Register(uint32_t offset) const;
    // Test seam: the memory-map selector the EPLD reports.
    void SetMemoryMap(uint8_t map) { memoryMap_ = map; }

    // DMA channel 0 delivers a frame: the pixels of width x height from the bytes (missing
    // bytes are dark).
    void ReceiveFrame(const uint8_t* bytes, size_t size);
    uint32_t FramesReceived() const { return frames_; }

    uint32_t Read(uint32_t offset, unsigned width) override;
    void Write(uint32_t offset, unsigned width, uint32_t value) override;

private:
    void Control(uint16_t value);
    uint16_t ReadRegister(uint32_t offset) const;

    ModuleBus* bus_ = nullptr;
    FrameOut frameOut_;
    bool programmed_ = false;
    uint8_t version_ = 0;
    uint8_t memoryMap_ = 0;
    uint32_t loads_ = 0;
    uint32_t frames_ = 0;
    uint16_t regs_[kSize / 2] = {};
    uint16_t readBack_ = 0;
    uint16_t data_ = 0;
    uint8_t answer_ = 0;
    std::vector<uint8_t> frame_;
};

}  // namespace sim
