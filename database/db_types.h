#pragma once
// Basic types of the object database: images, write flags, results.

#include <cstdint>

// The image an object lives in. Every accessor takes one; kNone is refused.
// Any value other than kNone and kVolatile counts as the NV image.
enum class DbImage : uint8_t {
    kNone = 0,
    kNv = 1,        // journalled, 98712 bytes
    kVolatile = 2,  // rebuilt at every start, 26288 bytes
};

inline constexpr uint32_t kNvImageSize = 98712;
inline constexpr uint32_t kVolatileImageSize = 26288;

inline constexpr uint32_t ImageSize(DbImage image) {
    return image == DbImage::kNone       ? 0
           : image == DbImage::kVolatile ? kVolatileImageSize
                                         : kNvImageSize;
}

// Results of the setters: the SNMP error-status numbers.
enum DbResult : uint32_t {
    kDbOk = 0,
    kDbBadValue = 3,
    kDbGenError = 5,
};

// DbSetFlags: flag bits of every setter.
inline constexpr uint32_t kDbNotify = 0x1;          // post the change notice
inline constexpr uint32_t kDbNoFlashWrite = 0x2;    // NV write is not journalled
inline constexpr uint32_t kDbIgnoredFlag = 0x4;     // accepted and ignored
inline constexpr uint32_t kDbSkipValidation = 0x8;  // validation rules not run
inline constexpr uint32_t kDbReplayFlags = kDbNoFlashWrite | kDbSkipValidation;  // 0xA

// Notice kinds of a notified write.
inline constexpr uint32_t kNoticeUnchanged = 1;
inline constexpr uint32_t kNoticeChanged = 2;

// DbControlFlags word.
inline constexpr uint32_t kDbControlJournalMask = 0xFF000000;
inline constexpr uint32_t kDbControlJournalOn = 0x01000000;
inline constexpr uint32_t kDbControlNotify = 0x00800000;
inline constexpr uint32_t kDbControlValidate = 0x00400000;

// Coding of the two switches in db_swap_control_flags.
inline constexpr uint8_t kDbSwapNotify = 0x1;
inline constexpr uint8_t kDbSwapValidate = 0x2;
