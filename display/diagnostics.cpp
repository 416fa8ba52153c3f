#include "display/diagnostics.h"

#include "display/face.h"
#include "display/face_config.h"
#include "display/frame.h"

namespace disp {

diagnostics::~diagnostics() {
    diagnostics::Close();
}

bool diagnostics::LayoutIsValid(const face_config* c) {
    if (c == nullptr || c->diag == nullptr || c->engine == nullptr || c->pixel_height == 0 ||
        c->pixel_width == 0 || c->module_height == 0 || c->module_width == 0 ||
        c->bits_per_pixel == 0) {
        return false;
    }
    if (c->pixel_height % c->module_height != 0 ||
        c->pixel_height / c->module_height != c->module_lines ||
        c->module_lines > face_config::kMaxLines) {
        return false;
    }
    const uint32_t perLine = c->pixel_width / c->module_width;
    uint32_t total = 0;
    for (uint32_t line = 0; line < face_config::kMaxLines; ++line) {
        if (c->line_lengths[line] > perLine) {
            return false;
        }
        total += c->line_lengths[line];
    }
    return total == c->total_modules && total <= face_config::kMaxModules;
}

bool diagnostics::Open(face* owner) {
    if (state_ >= kOpen || owner == nullptr || !LayoutIsValid(owner->Config())) {
        return false;
    }
    face_ = owner;
    config_ = owner->Config();
    state_ = kOpen;
    return true;
}

bool diagnostics::Close() {
    if (state_ < kOpen) {
        return false;
    }
    state_ = kClosed;
    return true;
}

bool diagnostics::BeginTest() {
    if (state_ != kOpen && state_ != kIdle) {
        return false;
    }
    state_ = kTesting;
    return true;
}

bool diagnostics::EndTest(uint32_t) {
    if (state_ < kTesting) {
        return false;
    }
    state_ = kIdle;
    return true;
}

void diagnostics::Run() {}

bool diagnostics::IsOpen(uint32_t) const {
    return state_ >= kOpen;
}

bool diagnostics::ClearTestErrors() {
    if (state_ < kOpen || test_error_frame_ == nullptr) {
        return false;
    }
    test_error_frame_->Fill();
    return true;
}

bool diagnostics::ClearMessageErrors() {
    if (state_ < kOpen || message_error_frame_ == nullptr) {
        return false;
    }
    message_error_frame_->Fill();
    return true;
}

// The base holds no module records; the hardware diagnostics keep them.
bool diagnostics::FirstModule(uint32_t* position, module** record) {
    if (position == nullptr || record == nullptr) {
        return false;
    }
    *position = 0;
    *record = nullptr;
    return false;
}

bool diagnostics::NextModule(uint32_t* position, module** record) {
    if (position != nullptr && record != nullptr) {
        *record = nullptr;
    }
    return false;
}

}  // namespace disp
