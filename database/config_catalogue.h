#pragma once
// The configuration catalogue: the 70 NV settings that are also kept in CONFIG.XML. One table
// drives building and restoring the file and the "configuration changed" letter.

#include <cstdint>
#include <span>

#include "database/object_ids.h"

struct ConfigCatalogueRow {
    const char* name;  // table objects carry "[0]"
    uint32_t firstId;  // NV image
    uint8_t width;     // 1, 2 or 4; 4 for strings
    DbKind kind;
    uint16_t rows;          // objects at firstId + width * i; 0 and 1 both mean one
    uint32_t lastId;        // inclusive, used by the change test
    uint32_t indexBase;     // 0 in every row
    uint32_t defaultValue;  // integer rows only: the value not written to the file
};

inline constexpr uint32_t kConfigCatalogueRows = 70;
extern const ConfigCatalogueRow kConfigCatalogue[kConfigCatalogueRows];

// The first row whose first..last range holds the NV id, or null.
const ConfigCatalogueRow* FindConfigCatalogueRow(uint32_t id);
