#include "display/diagnostics.h"

#include "display/face.h"
#include "display/face_config.h"
#include "display/frame.h"
#include "runtime/os_wrappers.h"

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

bool diagnostics::ModuleNumberAt(const face_config& c, uint32_t x, uint32_t y, uint32_t* number) {
    const uint32_t line = c.module_height != 0 ? y / c.module_height : face_config::kMaxLines;
    if (line >= face_config::kMaxLines || line >= c.module_lines || c.module_width == 0) {
        return false;
    }
    uint32_t k = x / c.module_width;
    for (uint32_t above = 0; above < line; ++above) {
        k += c.line_lengths[above];
    }
    if (k >= kMaxModules) {
        return false;
    }
    *number = k;
    return true;
}

bool diagnostics::Open(face* owner) {
    if (state_ >= kOpen || owner == nullptr || !LayoutIsValid(owner->Config())) {
        return false;
    }
    face_ = owner;
    config_ = owner->Config();
    // Without a kernel (model tests) the diagnostics open without their lock.
    mutex_created_ = os_mutex_create(&mutex_, "Diag Mutex", TX_INHERIT) == OS_SUCCESS;
    uint32_t k = 0;
    for (uint32_t line = 0; line < config_->module_lines; ++line) {
        for (uint32_t m = 0; m < config_->line_lengths[line] && k < kMaxModules; ++m, ++k) {
            const uint32_t x0 = m * config_->module_width;
            const uint32_t y0 = line * config_->module_height;
            modules_[k].Close();
            modules_[k].Open(pixel(uint16_t(x0), uint16_t(y0)),
                             pixel(uint16_t(x0 + config_->module_width - 1),
                                   uint16_t(y0 + config_->module_height - 1)),
                             test_error_frame_, message_error_frame_);
            modules_[k].status[1] = 3;
        }
    }
    ErrorsChanged();
    state_ = kOpen;
    return true;
}

bool diagnostics::Close() {
    if (state_ < kOpen) {
        return false;
    }
    for (module& m : modules_) {
        m.Close();
    }
    if (mutex_created_) {
        os_mutex_delete(&mutex_);
        mutex_created_ = false;
    }
    ErrorsChanged();
    state_ = kClosed;
    return true;
}

bool diagnostics::Lock() {
    return mutex_created_ && os_mutex_get(&mutex_, TX_WAIT_FOREVER) == OS_SUCCESS;
}

void diagnostics::Unlock() {
    os_mutex_put(&mutex_);
}

bool diagnostics::BeginTest() {
    if ((state_ != kOpen && state_ != kIdle) || !Lock()) {
        return false;
    }
    state_ = kTesting;
    Unlock();
    return true;
}

bool diagnostics::EndTest(uint32_t) {
    if (state_ < kTesting || !Lock()) {
        return false;
    }
    state_ = kIdle;
    Unlock();
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
    if (Lock()) {
        test_error_frame_->Fill();
        ErrorsChanged();
        Unlock();
    }
    return true;
}

bool diagnostics::ClearMessageErrors() {
    if (state_ < kOpen || message_error_frame_ == nullptr) {
        return false;
    }
    if (Lock()) {
        message_error_frame_->Fill();
        ErrorsChanged();
        Unlock();
    }
    return true;
}

uint32_t diagnostics::ModuleCount() const {
    if (state_ < kOpen || config_ == nullptr) {
        return 0;
    }
    return config_->total_modules < kMaxModules ? config_->total_modules : kMaxModules;
}

bool diagnostics::FirstModule(uint32_t* position, module** record) {
    if (position == nullptr || record == nullptr) {
        return false;
    }
    *position = 0;
    *record = &modules_[0];
    return ModuleCount() > 0;
}

bool diagnostics::NextModule(uint32_t* position, module** record) {
    if (position == nullptr || record == nullptr) {
        return false;
    }
    if (*position + 1 >= ModuleCount()) {
        *record = nullptr;
        return false;
    }
    ++*position;
    *record = &modules_[*position];
    return true;
}

}  // namespace disp
