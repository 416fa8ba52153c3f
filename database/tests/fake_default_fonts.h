#pragma once
// Stands in for the renderer's import of the built-in fonts (installed through the default
// hooks while a test runs): slots 0 and 1 get their names and a height of 14.

#include "database/data_base.h"
#include "database/factory_defaults.h"
#include "database/font_table.h"

class FakeDefaultFonts {
public:
    FakeDefaultFonts() {
        runs() = 0;
        DefaultHooks hooks = db_default_hooks();
        hooks.defaultFonts = &Import;
        db_set_default_hooks(hooks);
    }
    ~FakeDefaultFonts() { db_set_default_hooks({}); }
    FakeDefaultFonts(const FakeDefaultFonts&) = delete;
    FakeDefaultFonts& operator=(const FakeDefaultFonts&) = delete;

    // Imports since construction.
    static int& runs() {
        static int count = 0;
        return count;
    }

private:
    static void Import(CDataBase& db) {
        ++runs();
        constexpr const char* kNames[] = {"14X10_FHWA_TYPE_E.FNT", "14X10_NARROW.FNT"};
        for (uint32_t slot : {0u, 1u}) {
            db.SetInt(font_table::kFontNumber + slot, 1, slot + 1, DbImage::kNv, kDbNotify);
            db.SetInt(font_table::kFontHeight + slot, 1, 14, DbImage::kNv, kDbNotify);
            db.SetInt(font_table::CharacterWidthId(slot, 'A'), 1, 5 + slot, DbImage::kNv,
                      kDbNotify);
            db.SetString(font_table::kFontName + 4 * slot, 4, kNames[slot],
                         static_cast<uint32_t>(std::char_traits<char>::length(kNames[slot])),
                         DbImage::kNv, kDbNotify);
        }
    }
};
