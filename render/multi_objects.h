#pragma once
// Object store ids and widths read by the MULTI parser and the parsed message.

#include <cstdint>

namespace multi_objects {

struct ObjectRef {
    uint32_t id;
    uint32_t width;
};

// Non-volatile image.
inline constexpr ObjectRef kCharacterHeightPixels{60, 1};  // vmsCharacterHeightPixels
inline constexpr ObjectRef kCharacterWidthPixels{61, 1};   // vmsCharacterWidthPixels
inline constexpr ObjectRef kSignHeightPixels{62, 2};       // vmsSignHeightPixels
inline constexpr ObjectRef kSignWidthPixels{64, 2};        // vmsSignWidthPixels
inline constexpr ObjectRef kSignType{57, 1};               // dmsSignType
inline constexpr ObjectRef kSpecialFeatureSet{95656, 4};   // brenSpecialFeatureSet
inline constexpr ObjectRef kModuleId{95630, 2};            // brenModuleID

inline constexpr ObjectRef kDefaultBackgroundColor{25772, 1};
inline constexpr ObjectRef kDefaultForegroundColor{25773, 1};
inline constexpr ObjectRef kDefaultFlashOn{25774, 1};
inline constexpr ObjectRef kDefaultFlashOff{25775, 1};
inline constexpr ObjectRef kDefaultFont{25776, 1};
inline constexpr ObjectRef kDefaultJustificationLine{25777, 1};
inline constexpr ObjectRef kDefaultJustificationPage{25778, 1};
inline constexpr ObjectRef kDefaultPageOnTime{25779, 1};
inline constexpr ObjectRef kDefaultPageOffTime{25780, 1};

// Font table, slot 0-19.
inline constexpr uint32_t kFontSlots = 20;
inline constexpr ObjectRef FontNumber(uint32_t slot) {
    return {72 + slot, 1};
}
inline constexpr ObjectRef FontLineSpacing(uint32_t slot) {
    return {212 + slot, 1};
}
inline constexpr ObjectRef FontVersionId(uint32_t slot) {
    return {232 + 2 * slot, 2};
}

// Graphic table, row 0-49.
inline constexpr uint32_t kGraphicRows = 50;
inline constexpr ObjectRef GraphicNumber(uint32_t row) {
    return {35320 + row, 1};
}
inline constexpr ObjectRef GraphicHeight(uint32_t row) {
    return {35572 + row, 1};
}
inline constexpr ObjectRef GraphicWidth(uint32_t row) {
    return {35622 + 2 * row, 2};
}
inline constexpr ObjectRef GraphicId(uint32_t row) {
    return {35772 + 2 * row, 2};
}
inline constexpr ObjectRef GraphicStatus(uint32_t row) {
    return {36124 + row, 1};
}

// Volatile image: temperatures of the maker fields, signed 8-bit.
inline constexpr ObjectRef kTempMinCtrlCabinet{12076, 1};
inline constexpr ObjectRef kTempMaxCtrlCabinet{12077, 1};
inline constexpr ObjectRef kTempMinSignHousing{12080, 1};
inline constexpr ObjectRef kTempMaxSignHousing{12081, 1};

// Feature bits of brenSpecialFeatureSet.
inline constexpr uint32_t kFeatureCompatibility = 0x20;
inline constexpr uint32_t kFeatureDatabaseDefaults = 0x100;

// Sign types.
inline constexpr bool IsCharacterMatrix(uint32_t type) {
    return type == 4 || type == 132;
}
inline constexpr bool IsCharacterOrLineMatrix(uint32_t type) {
    return type == 4 || type == 5 || type == 132 || type == 133;
}

}  // namespace multi_objects
