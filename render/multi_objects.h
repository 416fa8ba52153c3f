#pragma once
// Object store ids and widths read by the MULTI parser and the parsed message.

#include <cstdint>

#include "database/object_ids.h"

namespace multi_objects {

struct ObjectRef {
    uint32_t id;
    uint32_t width;
};

// Row `row` (from 0) of an object of the catalogue.
inline constexpr ObjectRef Ref(const DbObject& object, uint32_t row = 0) {
    return {object.Row(row), object.width};
}

// Non-volatile image.
inline constexpr ObjectRef kCharacterHeightPixels = Ref(dbo::vmsCharacterHeightPixels);
inline constexpr ObjectRef kCharacterWidthPixels = Ref(dbo::vmsCharacterWidthPixels);
inline constexpr ObjectRef kSignHeightPixels = Ref(dbo::vmsSignHeightPixels);
inline constexpr ObjectRef kSignWidthPixels = Ref(dbo::vmsSignWidthPixels);
inline constexpr ObjectRef kSignType = Ref(dbo::dmsSignType);
inline constexpr ObjectRef kSpecialFeatureSet = Ref(dbo::brenSpecialFeatureSet);
inline constexpr ObjectRef kModuleId = Ref(dbo::brenModuleID);

inline constexpr ObjectRef kDefaultBackgroundColor = Ref(dbo::defaultBackgroundColor);
inline constexpr ObjectRef kDefaultForegroundColor = Ref(dbo::defaultForegroundColor);
inline constexpr ObjectRef kDefaultFlashOn = Ref(dbo::defaultFlashOn);
inline constexpr ObjectRef kDefaultFlashOff = Ref(dbo::defaultFlashOff);
inline constexpr ObjectRef kDefaultFont = Ref(dbo::defaultFont);
inline constexpr ObjectRef kDefaultJustificationLine = Ref(dbo::defaultJustificationLine);
inline constexpr ObjectRef kDefaultJustificationPage = Ref(dbo::defaultJustificationPage);
inline constexpr ObjectRef kDefaultPageOnTime = Ref(dbo::defaultPageOnTime);
inline constexpr ObjectRef kDefaultPageOffTime = Ref(dbo::defaultPageOffTime);

// Font table, slot 0-19.
inline constexpr uint32_t kFontSlots = dbo::fontNumber.rows;
inline constexpr ObjectRef FontNumber(uint32_t slot) {
    return Ref(dbo::fontNumber, slot);
}
inline constexpr ObjectRef FontLineSpacing(uint32_t slot) {
    return Ref(dbo::fontLineSpacing, slot);
}
inline constexpr ObjectRef FontVersionId(uint32_t slot) {
    return Ref(dbo::fontVersionID, slot);
}

// Graphic table, row 0-49.
inline constexpr uint32_t kGraphicRows = dbo::dmsGraphicNumber.rows;
inline constexpr ObjectRef GraphicNumber(uint32_t row) {
    return Ref(dbo::dmsGraphicNumber, row);
}
inline constexpr ObjectRef GraphicHeight(uint32_t row) {
    return Ref(dbo::dmsGraphicHeight, row);
}
inline constexpr ObjectRef GraphicWidth(uint32_t row) {
    return Ref(dbo::dmsGraphicWidth, row);
}
inline constexpr ObjectRef GraphicType(uint32_t row) {
    return Ref(dbo::dmsGraphicType, row);
}
inline constexpr ObjectRef GraphicId(uint32_t row) {
    return Ref(dbo::dmsGraphicID, row);
}
inline constexpr ObjectRef GraphicTransparentEnabled(uint32_t row) {
    return Ref(dbo::dmsGraphicTransparentEnabled, row);
}
inline constexpr ObjectRef GraphicStatus(uint32_t row) {
    return Ref(dbo::dmsGraphicStatus, row);
}

// Volatile image: temperatures of the maker fields, signed 8-bit.
inline constexpr ObjectRef kTempMinCtrlCabinet = Ref(dbo::tempMinCtrlCabinet);
inline constexpr ObjectRef kTempMaxCtrlCabinet = Ref(dbo::tempMaxCtrlCabinet);
inline constexpr ObjectRef kTempMinSignHousing = Ref(dbo::tempMinSignHousing);
inline constexpr ObjectRef kTempMaxSignHousing = Ref(dbo::tempMaxSignHousing);

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
