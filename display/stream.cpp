#include "display/stream.h"

namespace disp {

stream g_DisplayStream;

stream::~stream() = default;

bool stream::Send(const uint8_t*, uint32_t) {
    return true;
}

bool stream::Control(uint32_t) {
    return true;
}

}  // namespace disp
