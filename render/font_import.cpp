#include "render/font_import.h"

#include <cstring>

#include "database/data_base.h"
#include "database/font_table.h"
#include "database/write_mode_scope.h"
#include "render/pavor_font.h"

using namespace font_table;

namespace {
struct Glyph {
    uint8_t code;
    uint8_t width;
    uint8_t bytes[6];
};

// Replacement glyphs of compatibility mode; the width equals the glyph's byte count.
constexpr Glyph kSlot0Glyphs[] = {
    {97, 5, {0x01, 0x05, 0xF1, 0x10, 0x00}},  {98, 5, {0x01, 0x11, 0xF4, 0x10, 0x00}},
    {99, 5, {0x23, 0xAA, 0x42, 0x10, 0x00}},  {100, 5, {0x01, 0x08, 0x4A, 0xB8, 0x80}},
    {101, 5, {0x03, 0xC6, 0x54, 0xC0, 0x00}}, {102, 5, {0x00, 0x65, 0x4C, 0x78, 0x00}},
    {103, 5, {0x04, 0x12, 0x51, 0xBC, 0x00}}, {104, 5, {0x07, 0xB1, 0x49, 0x04, 0x00}},
    {105, 4, {0x4A, 0x40, 0x00, 0x00}},       {106, 5, {0x22, 0xA3, 0x15, 0x10, 0x00}},
};
constexpr Glyph kSlot1Glyphs[] = {
    {97, 6, {0x00, 0x41, 0xBF, 0xFC, 0x61, 0x00}},
    {98, 6, {0x00, 0x86, 0x3F, 0xFD, 0x82, 0x00}},
    {99, 6, {0x31, 0xEF, 0xCC, 0x30, 0xC3, 0x00}},
    {100, 6, {0x30, 0xC3, 0x0C, 0xFD, 0xE3, 0x00}},
    {101, 6, {0x3C, 0x71, 0xCD, 0x63, 0x08, 0x00}},
    {102, 6, {0x04, 0x31, 0xAC, 0xE3, 0x8F, 0x00}},
    {103, 6, {0x83, 0x06, 0x0D, 0x1C, 0x73, 0xC0}},
    {104, 6, {0xF3, 0x8E, 0x2C, 0x18, 0x30, 0x40}},
    {105, 4, {0x4A, 0x40, 0x00, 0x00}},
    {106, 5, {0x22, 0xA3, 0x15, 0x10, 0x00}},
};

void SetNv(CDataBase& db, uint32_t id, uint32_t width, uint32_t value, uint32_t flags = kDbNotify) {
    db.SetInt(id, width, value, DbImage::kNv, flags);
}
}  // namespace

bool db_import_font(CDataBase& db, const char* fileName, uint32_t slot) {
    if (slot >= kSlots) {
        return false;
    }
    CPavorFont font;
    if (!font.Load(fileName)) {
        return false;
    }
    DbBulkWriteScope scope(kDbSwapNotify);  // validation off, notices as the database has them
    const int height = font.Height();
    SetNv(db, kFontNumber + slot, 1, slot + 1);
    SetNv(db, kFontHeight + slot, 1, static_cast<uint32_t>(height));
    SetNv(db, kFontCharSpacing + slot, 1, static_cast<uint32_t>(font.CharSpacing()));
    SetNv(db, kFontLineSpacing + slot, 1, static_cast<uint32_t>(font.LineSpacing()));
    const char* name = font.Name();
    db.SetString(kFontName + 4 * slot, 4, name, static_cast<uint32_t>(std::strlen(name)),
                 DbImage::kNv, kDbNotify);
    for (uint32_t c = 1; c <= 255; ++c) {
        const uint8_t code = static_cast<uint8_t>(c);
        const int width = font.CharWidth(code);
        SetNv(db, CharacterWidthId(slot, c), 1, static_cast<uint32_t>(width));
        const uint32_t bits = width > 0 && height > 0 ? static_cast<uint32_t>(width * height) : 0;
        uint8_t bitmap[100] = {};
        // A glyph too large for the character bitmap is stored empty rather than cut.
        if (bits == 0 || (bits + 7) / 8 > sizeof bitmap) {
            db.SetString(CharacterBitmapId(slot, c), 4, "", 0, DbImage::kNv, kDbNotify);
            continue;
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (font.PixelIsSet(code, x, y)) {
                    const uint32_t bit = static_cast<uint32_t>(y * width + x);
                    bitmap[bit / 8] |= static_cast<uint8_t>(0x80u >> (bit % 8));
                }
            }
        }
        db.SetString(CharacterBitmapId(slot, c), 4, bitmap, (bits + 7) / 8, DbImage::kNv,
                     kDbNotify);
    }
    const bool compatibility =
        (db.GetInt(kSpecialFeatureSet, 4, DbImage::kNv) & kCompatibilityMode) != 0;
    if (compatibility && slot < 2) {
        for (const Glyph& glyph : slot == 0 ? kSlot0Glyphs : kSlot1Glyphs) {
            db.SetString(CharacterBitmapId(slot, glyph.code), 4, glyph.bytes, glyph.width,
                         DbImage::kNv, kDbNotify | kDbSkipValidation);
            SetNv(db, CharacterWidthId(slot, glyph.code), 1, glyph.width,
                  kDbNotify | kDbSkipValidation);
        }
    }
    db_update_font_version_id(db, slot);
    return true;
}

void db_load_default_fonts(CDataBase& db) {
    db_import_font(db, "14X10_FHWA_TYPE_E.FNT", 0);
    db_import_font(db, "14X10_NARROW.FNT", 1);
}
