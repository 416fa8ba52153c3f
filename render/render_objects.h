#pragma once
// Object store ids the renderer reads and writes beyond those of the parser.

#include <cstdint>

namespace render_objects {

struct Ref {
    uint32_t id;
    uint32_t width;
};

// Volatile image.
inline constexpr Ref kMultiFieldRows{149, 1};        // statMultiFieldRows
inline constexpr Ref kCurrentSpeed{150, 1};          // dmsCurrentSpeed, km/h
inline constexpr uint32_t kFieldStatusRows = 12;     // rows 0-11
inline constexpr Ref MultiFieldCode(uint32_t row) {  // statMultiFieldCode
    return {152 + row, 1};
}
inline constexpr uint32_t MultiFieldValueId(uint32_t row) {  // statMultiCurrentFieldValue
    return 164 + 4 * row;
}
inline constexpr Ref kTempMaxAmbient{12079, 1};       // signed
inline constexpr Ref kGraphicBlockSize{12100, 2};     // dmsGraphicBlockSize
inline constexpr Ref kControllerLocalTime{12268, 4};  // seconds
inline constexpr Ref SensorValue(uint32_t index) {    // brenSensorValue, index 1-4
    return {17194 + 2 * index, 2};
}
inline constexpr uint32_t kRemoteTextId = 17208;  // brenRemoteText, string

// Non-volatile image, graphic table row i (0-49).
inline constexpr uint32_t kGraphicRows = 50;
inline constexpr uint32_t kGraphicBlocks = 63;
inline constexpr Ref GraphicNumber(uint32_t i) {
    return {35320 + i, 1};
}
inline constexpr Ref GraphicHeight(uint32_t i) {
    return {35572 + i, 1};
}
inline constexpr Ref GraphicWidth(uint32_t i) {
    return {35622 + 2 * i, 2};
}
inline constexpr Ref GraphicType(uint32_t i) {
    return {35722 + i, 1};
}
inline constexpr Ref GraphicId(uint32_t i) {
    return {35772 + 2 * i, 2};
}
inline constexpr Ref GraphicTransparentEnabled(uint32_t i) {
    return {35872 + i, 1};
}
inline constexpr uint32_t GraphicTransparentColourId(uint32_t i) {  // string
    return 35924 + 4 * i;
}
inline constexpr Ref GraphicStatus(uint32_t i) {
    return {36124 + i, 1};
}
inline constexpr uint32_t GraphicBlockId(uint32_t i, uint32_t block) {  // string
    return 36176 + 4 * (kGraphicBlocks * i + block);
}

// Graphic status values.
inline constexpr uint32_t kGraphicReady = 4;
inline constexpr uint32_t kGraphicInUse = 5;
inline constexpr uint32_t kGraphicPermanent = 6;

}  // namespace render_objects
