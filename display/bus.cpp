#include "display/bus.h"

namespace disp {

bus::bus(uint8_t ownedByList) {
    owned = ownedByList;
}

bus::~bus() {
    bus::Close();
}

bool bus::Open(const char* name, stream* over) {
    if (state_ == kOpen || name == nullptr || over == nullptr) {
        return false;
    }
    name_ = name;
    stream_ = over;
    word_ = 0;
    state_ = kOpen;
    return true;
}

bool bus::Close() {
    if (state_ != kOpen) {
        return false;
    }
    state_ = kClosed;
    return true;
}

bool bus::IsOpen() const {
    return state_ >= kOpen;
}

bool bus::Query(uint32_t, uint32_t, uint32_t) {
    return IsOpen();
}

}  // namespace disp
