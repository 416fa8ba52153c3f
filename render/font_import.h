#pragma once
// Import of the built-in fonts into the font table of the database's NV image.

#include <cstdint>

class CDataBase;

// Copies a built-in font into a slot (0-19); false when the slot is out of range or the font
// cannot be loaded (the slot is then left as it was). In compatibility mode slots 0 and 1 get
// replacement glyphs for the characters 97-106.
bool db_import_font(CDataBase& db, const char* fileName, uint32_t slot);
// "14X10_FHWA_TYPE_E.FNT" into slot 0, "14X10_NARROW.FNT" into slot 1.
void db_load_default_fonts(CDataBase& db);
