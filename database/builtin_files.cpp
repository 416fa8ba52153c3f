#include "database/builtin_files.h"

#include <zlib.h>

long InflateBuiltinFile(const BuiltinFile& file, uint8_t* out, uint32_t room) {
    uLongf length = room;
    if (out == nullptr || uncompress(out, &length, file.data, file.size) != Z_OK) {
        return -1;
    }
    return static_cast<long>(length);
}
