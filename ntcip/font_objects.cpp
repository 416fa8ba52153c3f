#include "ntcip/font_objects.h"

#include <iterator>

#include "database/font_table.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

constexpr uint32_t kFonts = 20;
constexpr uint32_t kCharacters = 255;

enum FontKey : uint8_t {
    kFontIndexKey = 0,
    kFontNumberKey = 4,
    kFontNameKey = 8,
    kFontHeightKey = 12,
    kFontCharSpacingKey = 16,
    kFontLineSpacingKey = 20,
    kFontVersionKey = 24,
};

const MibKeyedObject kFontScalars[] = {{0, &dbo::numFonts}, {4, &dbo::maxFontCharacters}};

const MibColumn kFontColumns[] = {{kFontIndexKey, nullptr, kMibColumnIndex},
                                  {kFontNumberKey, &dbo::fontNumber, kMibColumnReport},
                                  {kFontNameKey, &dbo::fontName, kMibColumnReport},
                                  {kFontHeightKey, &dbo::fontHeight, kMibColumnReport},
                                  {kFontCharSpacingKey, &dbo::fontCharSpacing, kMibColumnReport},
                                  {kFontLineSpacingKey, &dbo::fontLineSpacing, kMibColumnReport},
                                  {kFontVersionKey, &dbo::fontVersionID, kMibColumnPlain}};

const MibColumn kCharacterColumns[] = {{0, nullptr, kMibColumnIndex},
                                       {4, &dbo::characterWidth, kMibColumnReport},
                                       {8, &dbo::characterBitmap, kMibColumnReport}};

const MibColumn* FindColumn(const MibColumn* columns, size_t count, uint8_t key) {
    for (size_t c = 0; c < count; ++c) {
        if (columns[c].key == key) {
            return &columns[c];
        }
    }
    return nullptr;
}

// Stores the set value into a writable column and reports a refusal; true when it was stored.
bool StoreColumn(const MibColumn* column, uint32_t db_row, snmp_pdu* pdu, int index) {
    if (column == nullptr || column->object == nullptr) {
        return false;
    }
    const DbResult result = MibStore(*column->object, db_row);
    MibReportStore(pdu, index, result);
    return result == kDbOk;
}

// Every character of the font back to width 0 and no bitmap.
void ClearFont(uint32_t slot) {
    for (uint32_t c = 0; c < kCharacters; ++c) {
        const uint32_t row = kCharacters * slot + c;
        g_DataBase.Set(dbo::characterWidth, 0, kDbNotify, row);
        g_DataBase.SetText(dbo::characterBitmap, "", 0, kDbNotify, row);
    }
}

}  // namespace

uintptr_t* var_fontDefinition(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kFontScalars, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_fontEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t f = MibIndexedInstance(row, name, *name_length, mode, value_length, kFonts);
    if (f == 0) {
        return nullptr;
    }
    const uint32_t slot = f - 1u;
    const MibColumn* column = FindColumn(kFontColumns, std::size(kFontColumns), row->key);
    if (column == nullptr) {
        return nullptr;
    }
    if (MibCommitting(mode) && row->key != kFontIndexKey && row->key != kFontVersionKey &&
        StoreColumn(column, slot, pdu, index) && row->key != kFontNameKey) {
        if (row->key == kFontHeightKey && g_DataBase.Get(dbo::fontHeight, slot) == 0) {
            ClearFont(slot);
        }
        db_mark_font_changed(g_DataBase, slot);
    }
    if (row->key == kFontVersionKey) {
        db_update_font_version_id(g_DataBase, slot);
    }
    return MibServeColumn(kFontColumns, row, kMibGet, pdu, index, slot, f, value_length);
}

uintptr_t* var_characterEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    static const uint32_t kBounds[2] = {kFonts, kCharacters};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, kBounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t column_at = row->name_length - 1u;
    const uint32_t f = name[column_at];
    const uint32_t c = name[column_at + 1u];
    const uint32_t db_row = kCharacters * (f - 1u) + (c - 1u);
    const MibColumn* column = FindColumn(kCharacterColumns, std::size(kCharacterColumns), row->key);
    if (column == nullptr) {
        return nullptr;
    }
    if (MibCommitting(mode) && column->object != nullptr &&
        StoreColumn(column, db_row, pdu, index)) {
        db_mark_font_changed(g_DataBase, f - 1u);
    }
    return MibServeColumn(kCharacterColumns, row, kMibGet, pdu, index, db_row, c, value_length);
}
