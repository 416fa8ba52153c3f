#pragma once
// CQ2DisplayDriver: the driver of the sign hardware. Init loads the display EPLD with the
// bitstream of the module type (inflated, written as "<part number>.RBF" on the system drive and
// loaded by the boot monitor) and sets the sign geometry; WriteFrame packs the 15-bit surface
// into 24-bit pixels in the display DMA buffer and sends it to the EPLD on DMA channel 0;
// SetBrightness sets the EPLD's brightness percentage.

#include <cstdint>

#include "display/display_driver.h"

struct ModuleTypeDescriptor;

// 1 after a good EPLD load; the CAN controller behind the same EPLD idles while it is 0.
extern uint8_t g_EpldReady;

class CQ2DisplayDriver : public display_driver {
public:
    // The display DMA buffer: 256 KB of board RAM at this bus address, used for nothing else.
    static constexpr uint32_t kDmaBuffer = 0x04000000;
    static constexpr uint32_t kDmaBufferSize = 0x40000;
    static constexpr uint32_t kDmaTimeoutReads = 100000;

    CQ2DisplayDriver();

    uint32_t GetMaxFrameRate() override;
    void SetBrightness(uint32_t level) override;
    uint32_t GetBrightness() override;
    bool Init(uint32_t height, uint32_t width, uint32_t moduleTypeId) override;
    int32_t WriteFrame(CSurface* surface, uint32_t argument1, uint32_t argument2) override;

    bool ProgramEpld(uint32_t height, uint32_t width, uint32_t moduleTypeId);
    void DmaTransferFrame(CSurface* surface);

    // The display's lit-pixel brightness ceiling (null: none).
    void SetBrightnessCeiling(uint32_t (*ceiling)()) { ceiling_ = ceiling; }

    // Packs height x width pixels of the surface, row by row, as three bytes each: the fields
    // of bits 10-14, 5-9 and 0-4 widened to 8 bits. out holds height x width x 3 bytes.
    static void PackFrame(const CSurface& surface, uint32_t height, uint32_t width, uint8_t* out);

    uint8_t EpldLoaded() const { return epld_loaded_; }
    uint32_t ModuleTypeId() const { return module_type_id_; }
    uint8_t ColourPlanes() const { return colour_planes_; }
    uint8_t RegisterCode() const { return register_code_; }

private:
    enum class LoadResult { kLoaded, kNotLoaded, kInflateFailed };
    LoadResult LoadEpld(const ModuleTypeDescriptor& row, uint32_t moduleTypeId);
    bool WriteAndLoad(const ModuleTypeDescriptor& row, const uint8_t* image, uint32_t size);
    void RecordEpldModule(const ModuleTypeDescriptor& row);
    void SelectEpldMode();
    bool FrameFits() const;

    uint8_t register_code_ = 0;
    uint8_t colour_planes_ = 0;
    uint8_t brightness_ = 0;
    uint8_t epld_loaded_ = 0;
    uint32_t (*ceiling_)() = nullptr;
};
