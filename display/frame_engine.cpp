#include "display/frame_engine.h"

namespace disp {

frame_engine::~frame_engine() {
    frame_engine::Close();
}

bool frame_engine::Open(face* owner) {
    if (state_ == kOpen || owner == nullptr) {
        return false;
    }
    state_ = kOpen;
    return true;
}

bool frame_engine::Close() {
    if (state_ != kOpen) {
        return false;
    }
    state_ = kClosed;
    return true;
}

void frame_engine::Update(uint32_t) {}

frame* frame_engine::GetFrame() {
    return nullptr;
}

}  // namespace disp
