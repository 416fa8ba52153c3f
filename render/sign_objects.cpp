#include "render/sign_objects.h"

namespace sign_objects {

namespace {
uint32_t SignType() {
    return 0;
}
}  // namespace

uint32_t ControlMode() {
    return 0;
}

bool IsCharacterMatrix() {
    const uint32_t type = SignType();
    return type == 4 || type == 132;
}

bool IsCharacterOrLineMatrix() {
    const uint32_t type = SignType();
    return type == 4 || type == 5 || type == 132 || type == 133;
}

}  // namespace sign_objects
