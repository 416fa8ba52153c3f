#include "render/multi_sign_query.h"

#include "render/message.h"
#include "render/multi_environment.h"
#include "render/multi_lexer.h"

namespace multi {

using multi_objects::ObjectRef;

uint32_t Nv(ObjectRef ref) {
    return MultiEnvironment().GetNv(ref.id, ref.width);
}

int8_t VolatileSigned8(ObjectRef ref) {
    return static_cast<int8_t>(MultiEnvironment().GetVolatile(ref.id, ref.width) & 0xFF);
}

bool CharacterMatrix() {
    return multi_objects::IsCharacterMatrix(Nv(multi_objects::kSignType));
}

bool CharacterOrLineMatrix() {
    return multi_objects::IsCharacterOrLineMatrix(Nv(multi_objects::kSignType));
}

int64_t SignWidth() {
    return Nv(multi_objects::kSignWidthPixels);
}

int64_t SignHeight() {
    return Nv(multi_objects::kSignHeightPixels);
}

bool FeatureSet(uint32_t bit) {
    return (Nv(multi_objects::kSpecialFeatureSet) & bit) != 0;
}

uint32_t Default(ObjectRef ref, uint32_t cached) {
    return FeatureSet(multi_objects::kFeatureDatabaseDefaults) ? Nv(ref) : cached;
}

int ResolveFontSlot(int64_t number) {
    if (number >= 1 && number <= multi_objects::kFontSlots &&
        Nv(multi_objects::FontNumber(static_cast<uint32_t>(number - 1))) == number) {
        return static_cast<int>(number - 1);
    }
    for (uint32_t slot = 0; slot < multi_objects::kFontSlots; ++slot) {
        if (Nv(multi_objects::FontNumber(slot)) == number) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

uint32_t FontLineSpacing(const CMessage& message) {
    if (CharacterOrLineMatrix()) {
        return 0;
    }
    const uint32_t slot = message.font.Slot();
    return slot < multi_objects::kFontSlots ? Nv(multi_objects::FontLineSpacing(slot)) : 0;
}

uint8_t TenthsToFrames(uint32_t tenths, uint32_t frame_rate) {
    return Saturate8((static_cast<int64_t>(tenths) * frame_rate + 9) / 10);
}

}  // namespace multi
