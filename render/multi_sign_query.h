#pragma once
// What the MULTI tags ask of the sign's configuration: objects of the store, the sign's kind
// and size, the default attributes and the font table.

#include <cstdint>

#include "render/multi_objects.h"

class CMessage;

namespace multi {

uint32_t Nv(multi_objects::ObjectRef ref);
int8_t VolatileSigned8(multi_objects::ObjectRef ref);

bool CharacterMatrix();
bool CharacterOrLineMatrix();
int64_t SignWidth();
int64_t SignHeight();
bool FeatureSet(uint32_t bit);

// A default attribute: the database object with brenSpecialFeatureSet 0x100, otherwise the
// message's cached value.
uint32_t Default(multi_objects::ObjectRef ref, uint32_t cached);

// Font slot holding font number n: slot n-1 when it matches, else the first that does; -1 when
// none does.
int ResolveFontSlot(int64_t number);
// Line spacing of the font the message last measured with.
uint32_t FontLineSpacing(const CMessage& message);

// Tenths of a second to frames at the message's frame rate, rounded up, 0-255.
uint8_t TenthsToFrames(uint32_t tenths, uint32_t frame_rate);

}  // namespace multi
