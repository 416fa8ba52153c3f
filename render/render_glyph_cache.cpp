#include "render/render_glyph_cache.h"

#include "render/sign_objects.h"

void CRenderGlyphCache::Forget() {
    for (Slot& slot : m_slots) {
        if (!slot.read) {
            continue;
        }
        slot.read = false;
        for (Glyph& glyph : slot.glyphs) {
            glyph.state = 0;
        }
    }
    m_slotIds[0] = m_slotIds[1] = CNTCIPFont::kNoSlot;
}

void CRenderGlyphCache::Select(uint8_t slot) {
    m_slot = slot;
    m_font.SetSlot(slot);
}

CRenderGlyphCache::Slot& CRenderGlyphCache::Current() {
    for (int i = 0; i < 2; ++i) {
        if (m_slots[i].read && m_slotIds[i] == m_slot) {
            return m_slots[i];
        }
    }
    Slot& slot = m_slots[m_next];
    m_slotIds[m_next] = m_slot;
    m_next ^= 1;
    for (Glyph& glyph : slot.glyphs) {
        glyph.state = 0;
    }
    slot.read = true;
    slot.height = m_font.Height();
    slot.spacing = m_font.CharSpacing();
    slot.lineSpacing = m_font.LineSpacing();
    return slot;
}

CRenderGlyphCache::Glyph& CRenderGlyphCache::Read(uint8_t code) {
    Slot& slot = Current();
    Glyph& glyph = slot.glyphs[code];
    if (glyph.state != 0) {
        return glyph;
    }
    const int width = m_font.CharWidth(code);
    glyph.width = static_cast<uint8_t>(width);
    const uint32_t bits = static_cast<uint32_t>(width) * static_cast<uint32_t>(slot.height);
    if (width > 255 || (bits + 7) / 8 > kMaxGlyphBytes) {
        glyph.state = 2;
        return glyph;
    }
    glyph.length = 0;
    if (width != 0 && code != 0 && m_slot < CNTCIPFont::kSlots) {
        glyph.length = static_cast<uint8_t>(sign_objects::NvString(
            CNTCIPFont::CharacterBitmapId(m_slot, code), glyph.bits, kMaxGlyphBytes));
        if (glyph.length > kMaxGlyphBytes) {
            glyph.length = kMaxGlyphBytes;
        }
    }
    glyph.state = 1;
    return glyph;
}

int CRenderGlyphCache::Height() {
    return Current().height;
}

int CRenderGlyphCache::CharWidth(uint8_t code) {
    const Glyph& glyph = Read(code);
    return glyph.state == 2 ? m_font.CharWidth(code) : glyph.width;
}

bool CRenderGlyphCache::PixelIsSet(uint8_t code, int column, int row) {
    const Glyph& glyph = Read(code);
    if (glyph.state == 2) {
        return m_font.PixelIsSet(code, column, row);
    }
    const int width = glyph.width;
    if (width == 0 || column < 0 || row < 0 || column >= width || row >= Current().height) {
        return false;
    }
    const uint32_t bit = static_cast<uint32_t>(row * width + column);
    if (bit / 8 >= glyph.length) {
        return false;
    }
    return (glyph.bits[bit / 8] >> (7 - bit % 8) & 1) != 0;
}

int CRenderGlyphCache::CharSpacing() {
    return Current().spacing;
}

int CRenderGlyphCache::LineSpacing() {
    return Current().lineSpacing;
}
