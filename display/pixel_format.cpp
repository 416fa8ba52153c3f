#include "display/pixel_format.h"

#include "display/frame.h"
#include "render/surface.h"

namespace disp {

namespace {

constexpr uint32_t Widen(uint32_t field) {
    return (field << 3) | (field >> 2);
}

}  // namespace

uint32_t Rgb15ToRgb24(uint32_t colour) {
    const uint32_t red = Widen(colour & 0x1F);
    const uint32_t green = Widen((colour >> 5) & 0x1F);
    const uint32_t blue = Widen((colour >> 10) & 0x1F);
    return red << 16 | green << 8 | blue;
}

uint32_t Rgb24ToRgb15(uint32_t colour) {
    const uint32_t red = (colour >> 19) & 0x1F;
    const uint32_t green = (colour >> 11) & 0x1F;
    const uint32_t blue = (colour >> 3) & 0x1F;
    return red | green << 5 | blue << 10;
}

uint32_t Rgb15ToDepth(uint32_t colour, uint32_t depth) {
    const bool red = (colour & 0x001F) != 0;
    const bool green = (colour & 0x03E0) != 0;
    const bool blue = (colour & 0x7C00) != 0;
    switch (depth) {
        case 1:
            return colour != 0 ? 1 : 0;
        case 2:
            return (red ? 1u : 0u) | (green ? 2u : 0u);
        case 3:
            return (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u);
        case 15:
            return colour & 0xFFFF;
        case 24:
            return Rgb15ToRgb24(colour);
        default:
            return 0;
    }
}

uint32_t DepthToRgb15(uint32_t value, uint32_t depth) {
    switch (depth) {
        case 1:
            return value != 0 ? CSurface::kOneBitLit : 0;
        case 2:
            return ((value & 1) != 0 ? CSurface::kTwoBitRed : 0) |
                   ((value & 2) != 0 ? CSurface::kTwoBitGreen : 0);
        case 3:
            return ((value & 1) != 0 ? 0x001Fu : 0) | ((value & 2) != 0 ? 0x03E0u : 0) |
                   ((value & 4) != 0 ? 0x7C00u : 0);
        case 15:
            return value & 0xFFFF;
        case 24:
            return Rgb24ToRgb15(value);
        default:
            return 0;
    }
}

bool ConvertFrame(const frame& from, frame& to) {
    if (from.Height() != to.Height() || from.Width() != to.Width() || from.BitsPerPixel() == 0 ||
        to.BitsPerPixel() == 0) {
        return false;
    }
    const uint32_t fromDepth = from.BitsPerPixel();
    const uint32_t toDepth = to.BitsPerPixel();
    for (uint16_t y = 0; y < from.Height(); ++y) {
        for (uint16_t x = 0; x < from.Width(); ++x) {
            pixel p(x, y);
            if (!from.GetPixel(p)) {
                return false;
            }
            if (fromDepth != toDepth) {
                p.value = Rgb15ToDepth(DepthToRgb15(p.value, fromDepth), toDepth);
            }
            to.SetPixel(p);
        }
    }
    return true;
}

bool PackSurfaceRgb24(const CSurface& surface, frame& to) {
    frame_state* state = to.State();
    if (surface.BitsPerPixel() != 15 || surface.Pixels() == nullptr || state == nullptr ||
        state->BitsPerPixel() != 24 || int32_t(state->Height()) != surface.Height() ||
        int32_t(state->Width()) != surface.Width()) {
        return false;
    }
    const uint8_t* in = surface.Pixels();
    uint8_t* out = state->Buffer();
    const uint32_t pixels = uint32_t(surface.Width()) * uint32_t(surface.Height());
    uint32_t lit = 0;
    for (uint32_t i = 0; i < pixels; ++i) {
        // Surface pixels are stored high byte first; frame bytes run blue, green, red.
        const uint32_t colour = uint32_t(in[2 * i]) << 8 | in[2 * i + 1];
        out[3 * i] = uint8_t(Widen((colour >> 10) & 0x1F));
        out[3 * i + 1] = uint8_t(Widen((colour >> 5) & 0x1F));
        out[3 * i + 2] = uint8_t(Widen(colour & 0x1F));
        lit += (colour & 0x7FFF) != 0 ? 1 : 0;
    }
    state->SetLitCount(lit);
    return true;
}

}  // namespace disp
