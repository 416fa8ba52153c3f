#pragma once
// Boot-loader currency check: a boot monitor built before the cut-off date gets the boot loader
// image carried by this firmware ("PX40744.BIN") and the board restarts.

#include <cstddef>
#include <cstdint>

// The compressed image (zlib stream) and its size; it inflates to kBootLoaderSize bytes.
extern const unsigned char kBootLoaderImage[];
extern const unsigned long kBootLoaderImageSize;

inline constexpr const char* kBootLoaderFile = "PX40744.BIN";
inline constexpr uint32_t kBootLoaderSize = 262144;
inline constexpr uint32_t kBootLoaderBufferSize = 300000;
// Age values from this one on are current (29 November 2006).
inline constexpr int32_t kBootLoaderCurrentAge = 2529;

// Age value of a build date text laid out as "Dec  4 2018":
// 365 x year - 730000 + 31 x (month - 1) + day; an unknown month name counts as 0. False when the
// text is null, shorter than 11 characters or has no digits where the day and year belong.
bool BootLoaderAge(const char* text, int32_t* age);

// Prints " - Is Bootloader Current?\t\t\t\t" and "[ OK ]\n" or "[FAIL]\n". A stale boot loader is
// replaced and the restart requested: 1. Otherwise 0 (also when the image cannot be inflated
// whole or the file cannot be added).
int CheckBootloaderCurrent();

// Inflates the image into out (capacity bytes); true only for a complete image of
// kBootLoaderSize bytes.
bool InflateBootLoader(const unsigned char* packed, unsigned long packedSize, uint8_t* out,
                       uint32_t capacity, uint32_t* size);
