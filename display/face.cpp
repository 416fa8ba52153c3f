#include "display/face.h"

#include "display/diagnostics.h"
#include "display/face_config.h"
#include "display/frame_engine.h"

namespace disp {

face::~face() {
    Close();
}

bool face::DiagnosticsOpen(uint32_t argument) {
    return config_ != nullptr && config_->diag != nullptr && config_->diag->IsOpen(argument);
}

bool face::ValidateConfig(const face_config* config) {
    return diagnostics::LayoutIsValid(config);
}

bool face::Open(face_config* config) {
    if (config == nullptr || IsOpen() || !ValidateConfig(config)) {
        return false;
    }
    config_ = config;
    config_->engine->Open(this);
    config_->diag->Open(this);
    state_ = kOpen;
    return true;
}

bool face::Close() {
    if (!IsOpen()) {
        return false;
    }
    if (state_ == kAttached) {
        Detach();
    }
    config_->diag->Close();
    config_->engine->Close();
    state_ = kClosed;
    return true;
}

bool face::Attach(bus* to) {
    if (state_ != kOpen && state_ != kDetached) {
        return false;
    }
    bus_ = to;
    config_->diag->face_bus = to;
    state_ = kAttached;
    return true;
}

bool face::Detach() {
    if (state_ != kAttached) {
        return false;
    }
    config_->diag->face_bus = nullptr;
    bus_ = nullptr;
    state_ = kDetached;
    return true;
}

void face::Update(uint32_t argument) {
    if (!IsOpen()) {
        return;
    }
    config_->engine->Update(argument);
    config_->diag->Run();
}

void face::BeginTest() {
    if (config_ != nullptr) {
        config_->diag->ClearTestErrors();
        config_->diag->BeginTest();
    }
}

void face::EndTest(uint32_t argument) {
    if (config_ != nullptr) {
        config_->diag->EndTest(argument);
    }
}

void face::ClearTestErrorFrame() {
    if (config_ != nullptr) {
        config_->diag->ClearTestErrors();
    }
}

void face::ClearMessageErrorFrame() {
    if (config_ != nullptr) {
        config_->diag->ClearMessageErrors();
    }
}

const char* face::Name() const {
    return config_ != nullptr ? config_->face_name : nullptr;
}

const char* face::BusName() const {
    return config_ != nullptr ? config_->bus_name : nullptr;
}

}  // namespace disp
