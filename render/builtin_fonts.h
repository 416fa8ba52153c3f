#pragma once
// The two built-in fonts, compressed in the program image; generated at build time from the
// glyph sources in render/fonts.

#include <cstdint>

struct BuiltinFont {
    const char* fileName;   // "14X10_NARROW.FNT", "14X10_FHWA_TYPE_E.FNT"
    const uint8_t* stream;  // zlib stream of the .FNT file
    uint32_t streamSize;    // bytes in the stream
    uint32_t inflatedSize;  // bytes of the .FNT file
};

extern const BuiltinFont g_BuiltinFontTable[];
extern const uint32_t g_BuiltinFontCount;
