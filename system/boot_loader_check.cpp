#include "system/boot_loader_check.h"

#include <zlib.h>

#include <cstring>

#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"

namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

uint8_t g_inflated[kBootLoaderBufferSize];

}  // namespace

bool BootLoaderAge(const char* text, int32_t* age) {
    if (text == nullptr || age == nullptr || ::strnlen(text, 11) < 11) {
        return false;
    }
    int32_t year = 0;
    for (int i = 7; i < 11; ++i) {
        if (!Digit(text[i])) {
            return false;
        }
        year = year * 10 + (text[i] - '0');
    }
    int32_t day = 0;
    if (text[4] == ' ') {
        if (!Digit(text[5])) {
            return false;
        }
        day = text[5] - '0';
    } else {
        if (!Digit(text[4]) || !Digit(text[5])) {
            return false;
        }
        day = (text[4] - '0') * 10 + (text[5] - '0');
    }
    static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int32_t month = 0;
    for (int m = 0; m < 12; ++m) {
        if (std::strncmp(text, kMonths[m], 3) == 0) {
            month = m + 1;
            break;
        }
    }
    *age = 365 * year - 730000 + 31 * (month - 1) + day;
    return true;
}

bool InflateBootLoader(const unsigned char* packed, unsigned long packedSize, uint8_t* out,
                       uint32_t capacity, uint32_t* size) {
    if (packed == nullptr || out == nullptr || size == nullptr) {
        return false;
    }
    uLongf length = capacity;
    if (uncompress(out, &length, packed, packedSize) != Z_OK || length != kBootLoaderSize) {
        return false;
    }
    *size = uint32_t(length);
    return true;
}

int CheckBootloaderCurrent() {
    DebugPrint(" - Is Bootloader Current?\t\t\t\t");
    int32_t age = 0;
    // A date text that cannot be read is taken as current: replacing the boot loader on a
    // guess could leave the board without one.
    if (!BootLoaderAge(mon_build_date(), &age) || age >= kBootLoaderCurrentAge) {
        DebugPrint("[ OK ]\n");
        return 0;
    }
    DebugPrint("[FAIL]\n");
    DebugPrint("Please standby for system restart...\n");
    uint32_t size = 0;
    if (!InflateBootLoader(kBootLoaderImage, kBootLoaderImageSize, g_inflated, sizeof g_inflated,
                           &size)) {
        return 0;
    }
    if (mon_tfsadd(kBootLoaderFile, nullptr, nullptr, g_inflated, long(size)) != TFS_OKAY) {
        return 0;
    }
    mon_restart(1);
    return 1;
}
