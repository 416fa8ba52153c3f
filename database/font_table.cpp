#include "database/font_table.h"

#include <array>

#include "database/data_base.h"
#include "runtime/crc16.h"

using namespace font_table;

namespace {
// Counter values seen at the previous settle check.
std::array<uint32_t, kSlots> g_seen{};

void SetNv(CDataBase& db, uint32_t id, uint32_t width, uint32_t value, uint32_t flags = kDbNotify) {
    db.SetInt(id, width, value, DbImage::kNv, flags);
}
}  // namespace

void db_update_font_version_id(CDataBase& db, uint32_t slot) {
    if (slot >= kSlots) {
        return;
    }
    const uint32_t height = db.GetInt(kFontHeight + slot, 1, DbImage::kNv);
    if (height == 0) {
        return;
    }
    Crc16State crc;
    Crc16Init(&crc, 0xFFFF);
    const uint8_t head[4] = {
        static_cast<uint8_t>(db.GetInt(kFontNumber + slot, 1, DbImage::kNv)),
        static_cast<uint8_t>(height),
        static_cast<uint8_t>(db.GetInt(kFontCharSpacing + slot, 1, DbImage::kNv)),
        static_cast<uint8_t>(db.GetInt(kFontLineSpacing + slot, 1, DbImage::kNv))};
    Crc16Update(&crc, head, sizeof head);
    uint8_t bitmap[CDataBase::kMaxNvStringRead];
    for (uint32_t c = 1; c <= 255; ++c) {
        const uint8_t width =
            static_cast<uint8_t>(db.GetInt(CharacterWidthId(slot, c), 1, DbImage::kNv));
        const uint8_t pair[2] = {static_cast<uint8_t>(c), width};
        Crc16Update(&crc, pair, sizeof pair);
        if (width == 0) {
            continue;
        }
        uint32_t length =
            db.ReadString(CharacterBitmapId(slot, c), DbImage::kNv, bitmap, sizeof bitmap);
        if (length > sizeof bitmap) {
            length = sizeof bitmap;
        }
        if (length != 0) {
            Crc16Update(&crc, bitmap, length);
        }
    }
    uint16_t value = 0;
    Crc16Final(&crc, &value, 1 | kCrc16Invert | kCrc16Swap);
    Crc16Close(&crc);
    SetNv(db, kFontVersionId + 2 * slot, 2, value);
}

void db_mark_font_changed(CDataBase& db, uint32_t slot) {
    if (slot >= kSlots) {
        return;
    }
    ++db.fontChangeCounters[slot];
    // Wraps at 65536: a version of 0xFFFF moves on to 0 rather than being refused as too wide.
    const uint32_t version = db.GetInt(kFontVersionId + 2 * slot, 2, DbImage::kNv);
    SetNv(db, kFontVersionId + 2 * slot, 2, (version + 1) & 0xFFFF);
}

void db_update_settled_font_version_ids(CDataBase& db) {
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        const uint32_t counter = db.fontChangeCounters[slot];
        if (counter == 0) {
            continue;
        }
        if (counter == g_seen[slot]) {
            db_update_font_version_id(db, slot);
            db.fontChangeCounters[slot] = 0;
            g_seen[slot] = 0;
            continue;
        }
        g_seen[slot] = counter;
    }
}

void db_reset_font_settle_state() {
    g_seen.fill(0);
}
