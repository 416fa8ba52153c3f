#include "display/display_driver.h"

display_driver::~display_driver() = default;

void display_driver::SetMode(uint32_t mode) {
    mode_ = mode;
}

uint32_t display_driver::GetMaxFrameRate() {
    return 120;
}

const char* display_driver::GetName() {
    return "DEFAULT";
}

bool display_driver::Init(uint32_t height, uint32_t width, uint32_t moduleTypeId) {
    height_ = height;
    width_ = width;
    module_type_id_ = moduleTypeId;
    return false;
}

void display_driver::Command(uint32_t) {}

uint32_t display_driver::GetHeight() {
    return height_;
}

uint32_t display_driver::GetWidth() {
    return width_;
}

void display_driver::Service() {}
