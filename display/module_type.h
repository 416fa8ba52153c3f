#pragma once
// The display module-type table: what each module type needs of the display configuration and
// the sign driver, with the EPLD bitstream built into the system for it.

#include <cstdint>

struct ModuleTypeDescriptor {
    uint32_t id;
    uint8_t module_height;
    uint8_t module_width;
    uint8_t bits_per_pixel;
    uint8_t colour_planes;
    const char* name;
    uint32_t reserved_word;
    const unsigned char* epld_image;  // zlib stream of the EPLD configuration file
    const char* part_number;          // names the file "<part number>.RBF"
    uint32_t image_length;            // bytes of the zlib stream
    uint8_t register_code;
    uint8_t reserved1[3];
    uint8_t flags;  // bit 0 colour scheme, bit 1 colour flag of the face configuration
    uint8_t reserved2[2];
};

// The table installed at start and its row count (null and 0 before).
extern const ModuleTypeDescriptor* g_ModuleTypeTable;
extern uint32_t g_ModuleTypeCount;
void InstallModuleTypeTable();

// The row with the id, or the default row ("UNKNOWN", 7 x 5, 1 bit per pixel) when the table
// is missing or has no such row.
const ModuleTypeDescriptor& FindModuleType(const ModuleTypeDescriptor* table, uint32_t rows,
                                           uint32_t id);
// The same over the installed table.
const ModuleTypeDescriptor& FindModuleType(uint32_t id);

// The built-in EPLD configuration of part PX40689 (generated at build time).
extern const unsigned char kEpldImagePX40689[];
extern const unsigned long kEpldImagePX40689Size;
