#include "platform/monitor/epld_image.h"

#include <zlib.h>

#include <cstring>

namespace monitor {
namespace {
void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t Crc(const uint8_t* p, size_t n) {
    return uint32_t(crc32(crc32(0L, Z_NULL, 0), p, uInt(n)));
}
}  // namespace

std::vector<uint8_t> MakeEpldImage(const uint8_t* payload, size_t size) {
    std::vector<uint8_t> out(12 + size);
    std::memcpy(out.data(), "RBF1", 4);
    Put32(out.data() + 4, uint32_t(size));
    Put32(out.data() + 8, Crc(payload, size));
    if (size > 0)
        std::memcpy(out.data() + 12, payload, size);
    return out;
}

bool CheckEpldImage(const uint8_t* image, size_t size, const uint8_t** payload, size_t* length) {
    if (image == nullptr || size < 12 || std::memcmp(image, "RBF1", 4) != 0)
        return false;
    uint32_t n = Get32(image + 4);
    if (n != size - 12 || n == 0)
        return false;
    if (Crc(image + 12, n) != Get32(image + 8))
        return false;
    *payload = image + 12;
    *length = n;
    return true;
}

}  // namespace monitor
