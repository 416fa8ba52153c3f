#pragma once
// Files built into the controller, zlib-compressed at build time: the default SCRIPT.XML and the
// web page templates with their style sheet.

#include <cstddef>
#include <cstdint>

struct BuiltinFile {
    const char* name;
    const uint8_t* data;  // zlib stream
    uint32_t size;
    uint32_t inflatedSize;
};

extern const BuiltinFile kBuiltinScriptFiles[];
extern const size_t kBuiltinScriptFilesCount;
extern const BuiltinFile kBuiltinWebFiles[];
extern const size_t kBuiltinWebFilesCount;

// Inflates the file into out (room bytes): its length, or -1 when it does not fit or is damaged.
long InflateBuiltinFile(const BuiltinFile& file, uint8_t* out, uint32_t room);
