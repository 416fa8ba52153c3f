// Mounts a flash image made of arbitrary bytes (with and without packing)
// and works on it: nothing may crash or read outside the flash.

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/monitor/flash.h"
#include "platform/monitor/tfs.h"

namespace {
constexpr size_t kFlashSize = 32 * 1024;  // 8 blocks of 4 KiB

std::string ImagePath() {
    static std::string path = "/tmp/fuzz_tfs_image_" + std::to_string(::getpid()) + ".bin";
    return path;
}
// Gives records with a well-formed prefix matching header and data CRCs, so
// that inputs get past the checks into the record handling.
void FixChecks(std::vector<uint8_t>& image) {
    const size_t dataEnd = kFlashSize - 2 * 4096;
    size_t p = 0;
    while (p + 8 + sizeof(TFILE) <= dataEnd) {
        uint32_t len, inv;
        std::memcpy(&len, &image[p], 4);
        std::memcpy(&inv, &image[p + 4], 4);
        if (len != ~inv || len < 8 + sizeof(TFILE) || len % 8 || len > dataEnd - p)
            break;
        TFILE h;
        std::memcpy(&h, &image[p + 8], sizeof h);
        if (h.filsize <= len - 8 - sizeof(TFILE)) {
            h.datacrc = uint32_t(crc32(0, &image[p + 8 + sizeof h], uInt(h.filsize)));
        }
        uLong crc = crc32(0L, Z_NULL, 0);
        const uint8_t* raw = reinterpret_cast<const uint8_t*>(&h);
        crc = crc32(crc, raw, 20);
        h.hdrcrc = uint32_t(crc32(crc, raw + 32, uInt(sizeof h - 32)));
        std::memcpy(&image[p + 8], &h, sizeof h);
        p += len;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    bool compact = data[0] & 1;
    std::vector<uint8_t> image(kFlashSize, 0xFF);
    std::memcpy(image.data(), data + 1, std::min(size - 1, kFlashSize));
    // Inputs longer than the flash wrap onto the state block, so plans are reached.
    if (size - 1 > kFlashSize) {
        size_t extra = std::min(size - 1 - kFlashSize, size_t(4096));
        std::memcpy(image.data() + kFlashSize - 4096, data + 1 + kFlashSize, extra);
    }
    if (data[0] & 2)
        FixChecks(image);
    std::string path = ImagePath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    monitor::Flash flash;
    if (!flash.Open(path))
        return 0;
    monitor::Tfs tfs(&flash);
    if (!tfs.Mount(compact))
        return 0;
    unsigned sum = 0;
    for (const TFILE* h = tfs.Next(nullptr); h != nullptr; h = tfs.Next(h)) {
        const TFILE* s = tfs.Stat(h->name);
        if (s == nullptr)
            __builtin_trap();  // every listed file can be found
        const uint8_t* d = reinterpret_cast<const uint8_t*>(s) + s->hdrsize;
        for (uint32_t i = 0; i < s->filsize; ++i)
            sum += d[i];
        char buf[64];
        int fd = tfs.Open(h->name, TFS_RDONLY, buf, sizeof buf);
        if (fd >= 0) {
            while (tfs.Read(fd, buf, sizeof buf) > 0) {
            }
            tfs.Close(fd, nullptr);
        }
        tfs.Ipmod(h->name, "\x00", 0, 1);
    }
    (void)sum;
    tfs.Ctrl(TFS_DEADSPACE, 0, 0);
    tfs.Ctrl(TFS_AVAILABLE, 0, 0);
    tfs.Add("fuzz", "", "", "after", 5);
    if (const TFILE* first = tfs.Next(nullptr))
        tfs.Unlink(first->name);
    flash.Close();
    std::remove(path.c_str());
    return 0;
}
