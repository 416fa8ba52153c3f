#pragma once
// The font table of the NV image as the database keeps it: the object ids of the 20 slots, the
// 16-bit version id of each slot, and the settle check that recomputes a version id one display
// cycle after the last change of its font.

#include <cstdint>

#include "database/object_ids.h"

class CDataBase;

namespace font_table {
inline constexpr uint32_t kSlots = 20;
inline constexpr uint32_t kFontNumber = dbo::fontNumber.id;
inline constexpr uint32_t kFontName = dbo::fontName.id;
inline constexpr uint32_t kFontHeight = dbo::fontHeight.id;
inline constexpr uint32_t kFontCharSpacing = dbo::fontCharSpacing.id;
inline constexpr uint32_t kFontLineSpacing = dbo::fontLineSpacing.id;
inline constexpr uint32_t kFontVersionId = dbo::fontVersionID.id;
inline constexpr uint32_t kCharacterWidth = dbo::characterWidth.id;
inline constexpr uint32_t kCharacterBitmap = dbo::characterBitmap.id;
inline constexpr uint32_t kSpecialFeatureSet = dbo::brenSpecialFeatureSet.id;
inline constexpr uint32_t kCompatibilityMode = 0x20;

constexpr uint32_t CharacterWidthId(uint32_t slot, uint32_t code) {
    return kCharacterWidth + 255 * slot + code - 1;
}
constexpr uint32_t CharacterBitmapId(uint32_t slot, uint32_t code) {
    return kCharacterBitmap + 4 * (255 * slot + code - 1);
}
}  // namespace font_table

// Recomputes fontVersionID of the slot; a slot of height 0 keeps its value.
void db_update_font_version_id(CDataBase& db, uint32_t slot);
// A font or character object of the slot changed: the version id moves on at once (modulo
// 65536) and is recomputed once the font has settled.
void db_mark_font_changed(CDataBase& db, uint32_t slot);
// The settle check, once per display cycle.
void db_update_settled_font_version_ids(CDataBase& db);
// Forgets the counters seen by the settle check (a new start).
void db_reset_font_settle_state();
