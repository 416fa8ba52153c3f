#include "render/pavor_font.h"

#include <zlib.h>

#include <atomic>
#include <cstring>
#include <new>

#include "render/builtin_fonts.h"
#include "runtime/gp_buffer.h"

namespace {

constexpr uint32_t kHeightByte = 160 - CPavorFontBase::kHeaderOffset;
constexpr uint32_t kLineSpacingByte = 161 - CPavorFontBase::kHeaderOffset;
constexpr uint32_t kCharSpacingByte = 162 - CPavorFontBase::kHeaderOffset;
constexpr uint32_t kCountsByte = 176 - CPavorFontBase::kHeaderOffset;

std::atomic<CGPBuffer*> g_pool{nullptr};

}  // namespace

void CPavorFontBase::ClearImage() {
    m_image = nullptr;
    m_header = nullptr;
    m_glyphs = nullptr;
    std::memset(m_offsets, 0, sizeof m_offsets);
}

bool CPavorFontBase::SetImage(const uint8_t* image, uint32_t size) {
    ClearImage();
    if (image == nullptr || size < kGlyphOffset) {
        return false;
    }
    const uint8_t* counts = image + kHeaderOffset + kCountsByte;
    uint16_t offsets[257];
    offsets[0] = 0;
    for (int code = 0; code < 256; ++code) {
        offsets[code + 1] = static_cast<uint16_t>(offsets[code] + counts[code]);
    }
    if (uint32_t{offsets[256]} > size - kGlyphOffset) {
        return false;
    }
    m_image = image;
    m_header = image + kHeaderOffset;
    std::memcpy(m_offsets, offsets, sizeof m_offsets);
    m_glyphs = image + kGlyphOffset;
    return true;
}

int CPavorFontBase::Height() {
    return m_header != nullptr ? m_header[kHeightByte] : 0;
}

int CPavorFontBase::LineSpacing() {
    return m_header != nullptr ? m_header[kLineSpacingByte] : 0;
}

int CPavorFontBase::CharSpacing() {
    return m_header != nullptr ? m_header[kCharSpacingByte] : 0;
}

int CPavorFontBase::CharWidth(uint8_t code) {
    const int bytesPerColumn = (Height() + 7) / 8;
    if (bytesPerColumn == 0) {
        return 0;
    }
    return (m_offsets[code + 1] - m_offsets[code]) / bytesPerColumn;
}

bool CPavorFontBase::PixelIsSet(uint8_t code, int column, int row) {
    if (column < 0 || row < 0 || column >= CharWidth(code) || row >= Height()) {
        return false;
    }
    const int bytesPerColumn = (Height() + 7) / 8;
    const uint8_t byte = m_glyphs[m_offsets[code] + column * bytesPerColumn + row / 8];
    return (byte >> (row % 8) & 1) != 0;
}

CPavorFont::~CPavorFont() {
    Free();
}

bool CPavorFont::Load(const char* fileName) {
    if (fileName == nullptr || strnlen(fileName, kNameSize) >= kNameSize) {
        return false;
    }
    Free();
    CGPBuffer* pool = g_pool.load();
    if (pool == nullptr) {
        pool = &g_GpBuffer;
    }
    if (pool->GetState() == CGPBuffer::kReady) {
        void* block = nullptr;
        if (!pool->Alloc(&block, kBufferSize)) {
            return false;
        }
        m_buffer = static_cast<uint8_t*>(block);
        m_pool = pool;
    } else {
        m_buffer = new (std::nothrow) uint8_t[kBufferSize];
        if (m_buffer == nullptr) {
            return false;
        }
    }
    std::memcpy(m_name, fileName, std::strlen(fileName) + 1);

    const BuiltinFont* font = &g_BuiltinFontTable[0];
    for (uint32_t row = 0; row < g_BuiltinFontCount; ++row) {
        if (std::strcmp(g_BuiltinFontTable[row].fileName, fileName) == 0) {
            font = &g_BuiltinFontTable[row];
            break;
        }
    }
    uLongf inflated = kBufferSize;
    if (uncompress(m_buffer, &inflated, font->stream, font->streamSize) != Z_OK) {
        return false;
    }
    return SetImage(m_buffer, static_cast<uint32_t>(inflated));
}

void CPavorFont::Free() {
    ClearImage();
    if (m_buffer == nullptr) {
        return;
    }
    if (m_pool != nullptr) {
        m_pool->Free(m_buffer);
    } else {
        delete[] m_buffer;
    }
    m_buffer = nullptr;
    m_pool = nullptr;
}

void CPavorFont::UsePool(CGPBuffer* pool) {
    g_pool.store(pool);
}
