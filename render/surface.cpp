#include "render/surface.h"

#include <cstring>
#include <new>

#include "render/bmp_image.h"
#include "render/font_base.h"
#include "render/sign_objects.h"
#include "runtime/debug_print.h"

namespace {

uint32_t BytesPerPixel(uint8_t bitsPerPixel) {
    return bitsPerPixel == 15 ? 2 : 1;
}

bool Inside(int32_t value, int32_t low, int32_t high) {
    return value >= low && value < high;
}

}  // namespace

CSurface::~CSurface() {
    Free();
}

uint8_t* CSurface::Allocate(int32_t height, int32_t width, uint8_t bitsPerPixel) {
    if (m_pixels != nullptr && height == m_height && width == m_width &&
        bitsPerPixel == m_bitsPerPixel) {
        return m_pixels;
    }
    Free();
    if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 8 && bitsPerPixel != 15) {
        return nullptr;
    }
    if (height <= 0 || width <= 0) {
        return nullptr;
    }
    const uint64_t bytes = uint64_t(height) * uint64_t(width) * BytesPerPixel(bitsPerPixel);
    if (bytes > kMaxBytes) {
        return nullptr;
    }
    m_pixels = new (std::nothrow) uint8_t[bytes]();
    if (m_pixels == nullptr) {
        return nullptr;
    }
    m_size = static_cast<uint32_t>(bytes);
    m_allocated = 1;
    m_bitsPerPixel = bitsPerPixel;
    m_height = height;
    m_width = width;
    return m_pixels;
}

void CSurface::Clear() {
    if (m_keep != 0 || m_pixels == nullptr) {
        return;
    }
    std::memset(m_pixels, 0, m_size);
}

void CSurface::Free() {
    delete[] m_pixels;
    m_pixels = nullptr;
    m_size = 0;
    m_allocated = 0;
}

uint32_t CSurface::GetPixel(int32_t x, int32_t y) const {
    if (m_pixels == nullptr || !Inside(x, 0, m_width) || !Inside(y, 0, m_height)) {
        return 0;
    }
    const uint32_t index = uint32_t(y) * uint32_t(m_width) + uint32_t(x);
    switch (m_bitsPerPixel) {
        case 1:
            return m_pixels[index] != 0 ? kOneBitLit : 0;
        case 2: {
            uint32_t colour = 0;
            if (m_pixels[index] & 1) {
                colour |= kTwoBitRed;
            }
            if (m_pixels[index] & 2) {
                colour |= kTwoBitGreen;
            }
            return colour;
        }
        case 8:
            return m_pixels[index];
        case 15:
            return (uint32_t(m_pixels[2 * index]) << 8 | m_pixels[2 * index + 1]) << 16;
        default:
            return 0;
    }
}

void CSurface::SetPixel(int32_t x, int32_t y, uint32_t colour) {
    if (m_pixels == nullptr || !Inside(x, 0, m_width) || !Inside(y, 0, m_height)) {
        return;
    }
    const uint32_t index = uint32_t(y) * uint32_t(m_width) + uint32_t(x);
    switch (m_bitsPerPixel) {
        case 1:
            m_pixels[index] = colour != 0 ? 1 : 0;
            break;
        case 2:
            m_pixels[index] =
                ((colour & kTwoBitRed) != 0 ? 1 : 0) | ((colour & kTwoBitGreen) != 0 ? 2 : 0);
            break;
        case 8:
            m_pixels[index] = static_cast<uint8_t>(colour);
            break;
        case 15:
            m_pixels[2 * index] = static_cast<uint8_t>(colour >> 8);
            m_pixels[2 * index + 1] = static_cast<uint8_t>(colour);
            break;
        default:
            break;
    }
}

void CSurface::Fill(uint32_t colour) {
    if (colour != 0 && sign_objects::ControlMode() == sign_objects::kControlModeSimulation) {
        return;
    }
    for (int32_t y = 0; y < m_height && m_pixels != nullptr; ++y) {
        FillRow(y, colour);
    }
}

void CSurface::FillColumn(int32_t x, uint32_t colour) {
    for (int32_t y = 0; y < m_height; ++y) {
        SetPixel(x, y, colour);
    }
}

void CSurface::FillRow(int32_t y, uint32_t colour) {
    for (int32_t x = 0; x < m_width; ++x) {
        SetPixel(x, y, colour);
    }
}

CSurface::RunSpacing CSurface::WorkOutSpacing(CFontBase& font, int32_t spacingArgument,
                                              int32_t& remembered) {
    RunSpacing run;
    run.spacing = spacingArgument >= 0 ? spacingArgument : font.CharSpacing();
    run.first = run.spacing;
    if (spacingArgument == -1) {
        // A font change spaces the boundary by the rounded-up average of both spacings.
        run.first = (remembered + run.spacing + 1) / 2;
    }
    remembered = run.spacing;
    if (sign_objects::IsCharacterMatrix()) {
        run.spacing = 0;
        run.first = 0;
    }
    return run;
}

int CSurface::MeasureText(CFontBase& font, const char* text, uint32_t count, int32_t& x,
                          const SurfaceRect& rect, int32_t& spacing, uint8_t& largestLineSpacing,
                          uint32_t& overflow, bool movingText, bool lineStart) {
    const RunSpacing run = WorkOutSpacing(font, spacing, m_measuredSpacing);
    if (spacing == -1) {
        spacing = run.first;
    }
    if (lineStart) {
        spacing = 0;
        largestLineSpacing = 0;
    }
    const int lineSpacing = font.LineSpacing();
    if (lineSpacing > largestLineSpacing) {
        largestLineSpacing = static_cast<uint8_t>(lineSpacing);
    }

    const int64_t width = int64_t(rect.x1) - rect.x0;
    bool atLineStart = lineStart;
    for (uint32_t i = 0; i < count && text != nullptr; ++i) {
        const int gap = atLineStart ? 0 : (i == 0 ? run.first : run.spacing);
        atLineStart = false;
        x += font.CharWidth(static_cast<uint8_t>(text[i])) + gap;
        if (!movingText && x > width) {
            overflow += i;
            break;
        }
    }
    if (x <= width) {
        overflow = 0;
    }
    return font.Height();
}

void CSurface::DrawText(CFontBase& font, const char* text, uint32_t count, int32_t& x, int32_t y,
                        const SurfaceRect& clip, bool hidden, int32_t spacing, bool lineStart,
                        bool movingText, const JustifiedPositions* justified) {
    if (sign_objects::ControlMode() == sign_objects::kControlModeSimulation) {
        return;
    }
    RunSpacing run = WorkOutSpacing(font, spacing, m_drawnSpacing);
    const bool fullJustification = justified != nullptr && !movingText;
    if (fullJustification) {
        run.spacing = 0;
        run.first = 0;
    }
    const bool background = m_background != kNoColour;
    const int height = font.Height();
    int32_t cursor = x;
    bool atLineStart = lineStart && !movingText;

    for (uint32_t i = 0; i < count && text != nullptr; ++i) {
        const uint8_t code = static_cast<uint8_t>(text[i]);
        if (fullJustification) {
            if (justified->x == nullptr || justified->next == nullptr ||
                *justified->next >= justified->count) {
                break;
            }
            cursor = justified->x[(*justified->next)++];
        }
        const int width = font.CharWidth(code);
        const int gap = atLineStart ? 0 : (i == 0 ? run.first : run.spacing);
        atLineStart = false;

        if (background) {
            for (int32_t column = cursor; column < cursor + gap; ++column) {
                if (!Inside(column, clip.x0, clip.x1)) {
                    continue;
                }
                for (int row = 0; row < height; ++row) {
                    if (Inside(y + row, clip.y0, clip.y1)) {
                        SetPixel(column, y + row, m_background);
                    }
                }
            }
        }
        for (int column = 0; column < width; ++column) {
            const int32_t px = cursor + gap + column;
            if (px >= clip.x1) {
                break;
            }
            for (int row = 0; row < height; ++row) {
                const int32_t py = y + row;
                if (py >= clip.y1) {
                    break;
                }
                if (py < clip.y0) {
                    continue;
                }
                if (!hidden && font.PixelIsSet(code, column, row)) {
                    if (px < clip.x0) {
                        DebugPrintLevel1("error1\r");
                    } else {
                        SetPixel(px, py, m_foreground);
                    }
                } else if (background && px >= clip.x0) {
                    SetPixel(px, py, m_background);
                }
            }
        }
        if (!fullJustification) {
            cursor += width + gap;
        }
    }
    if (!fullJustification) {
        x = cursor;
    }
}

bool CSurface::DrawBmp(const uint8_t* image, uint32_t size, int32_t x, int32_t y,
                       uint32_t /*flag*/) {
    BmpImage bmp;
    if (BmpDecode(image, size, bmp) != BmpResult::kOk) {
        return false;
    }
    for (int32_t row = 0; row < bmp.height; ++row) {
        const int64_t py = int64_t(y) + row;
        for (int32_t column = 0; column < bmp.width; ++column) {
            const int64_t px = int64_t(x) + column;
            if (px >= 0 && px < m_width && py >= 0 && py < m_height) {
                SetPixel(int32_t(px), int32_t(py), BmpColour(bmp, column, row));
            }
        }
    }
    return true;
}
