#pragma once
// surface_adapter: a render surface seen as a disp::frame, for frame users that read the sign
// image (the panel mirror, frame copies, chunked reads). It holds no frame state: pixels go to
// and come from the surface.
//
// Pixel values: 0/1 for 1-bit surfaces, 0-3 for 2-bit ones (bit 0 red, bit 1 green, the
// surface's own two colours both ways), the 15-bit colour for 15-bit ones. 8-bit surfaces are
// not served. ReadChunk streams the picture in the packed layout of a frame of that depth.

#include <cstdint>

#include "display/frame.h"

class CSurface;

namespace disp {

class surface_adapter : public frame {
public:
    explicit surface_adapter(CSurface* surface) : surface_(surface) {}

    // Stores height and width; the surface is not touched. True.
    bool Create(uint16_t height, uint16_t width, uint32_t value, uint32_t depth) override;
    bool Destroy() override { return true; }
    bool GetPixel(pixel& p) const override;
    bool SetPixel(const pixel& p) override;
    bool ReadChunk(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count) override;
    // Counted once per picture: the count is kept until the surface is bound again, drawn on
    // (Invalidate) or written through the adapter.
    uint32_t LitCount() const override;
    uint32_t BitsPerPixel() const override;
    uint16_t Height() const override { return height_; }
    uint16_t Width() const override { return width_; }

    // Binds the chunk source to the surface's buffer and size; the picture is new.
    void Bind();
    // The surface was drawn on: the next lit count counts again.
    void Invalidate() { lit_valid_ = false; }
    CSurface* Surface() const { return surface_; }
    void SetSurface(CSurface* surface) {
        surface_ = surface;
        Bind();
    }

private:
    bool ReadPacked(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count) const;
    bool ReadColours(uint32_t& offset, uint8_t* data, uint32_t length, uint32_t& count) const;

    uint16_t height_ = 0;
    uint16_t width_ = 0;
    const uint8_t* chunk_source_ = nullptr;
    uint32_t chunk_size_ = 0;
    CSurface* surface_;
    mutable bool lit_valid_ = false;
    mutable uint32_t lit_count_ = 0;
};

}  // namespace disp
