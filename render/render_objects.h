#pragma once
// Object store ids the renderer reads and writes beyond those of the parser.

#include <cstdint>

#include "database/object_ids.h"
#include "render/multi_objects.h"

namespace render_objects {

using Ref = multi_objects::ObjectRef;
using multi_objects::GraphicHeight;
using multi_objects::GraphicId;
using multi_objects::GraphicNumber;
using multi_objects::GraphicStatus;
using multi_objects::GraphicTransparentEnabled;
using multi_objects::GraphicType;
using multi_objects::GraphicWidth;
using multi_objects::kGraphicRows;

// Volatile image.
inline constexpr Ref kMultiFieldRows = multi_objects::Ref(dbo::statMultiFieldRows);
inline constexpr Ref kCurrentSpeed = multi_objects::Ref(dbo::dmsCurrentSpeed);  // km/h
inline constexpr uint32_t kFieldStatusRows = dbo::statMultiFieldCode.rows;
inline constexpr Ref MultiFieldCode(uint32_t row) {
    return multi_objects::Ref(dbo::statMultiFieldCode, row);
}
inline constexpr uint32_t MultiFieldValueId(uint32_t row) {  // string
    return dbo::statMultiCurrentFieldValue.Row(row);
}
inline constexpr Ref kTempMaxAmbient = multi_objects::Ref(dbo::tempMaxAmbient);  // signed
inline constexpr Ref kGraphicBlockSize = multi_objects::Ref(dbo::dmsGraphicBlockSize);
inline constexpr Ref kControllerLocalTime =
    multi_objects::Ref(dbo::controllerLocalTime);   // seconds
inline constexpr Ref SensorValue(uint32_t index) {  // brenSensorValue, index 1-4
    return multi_objects::Ref(dbo::brenSensorValue, index - 1);
}
inline constexpr uint32_t kRemoteTextId = dbo::externalText.id;  // brenRemoteText

// Non-volatile image, graphic table row i (0-49).
inline constexpr uint32_t kGraphicBlocks = 63;
inline constexpr uint32_t GraphicTransparentColourId(uint32_t i) {  // string
    return dbo::dmsGraphicTransparentColor.Row(i);
}
inline constexpr uint32_t GraphicBlockId(uint32_t i, uint32_t block) {  // string
    return dbo::dmsGraphicBlockBitmap.Row(kGraphicBlocks * i + block);
}

// Graphic status values.
inline constexpr uint32_t kGraphicReady = 4;
inline constexpr uint32_t kGraphicInUse = 5;
inline constexpr uint32_t kGraphicPermanent = 6;

}  // namespace render_objects
