#pragma once
// disp::face_config: the configuration record of one sign face, filled by the display
// configuration and read by the face, its diagnostics and its frame engine.

#include <cstdint>

namespace disp {

class diagnostics;
class frame_engine;

struct face_config {
    // Module lines a face can have, and modules in all of them together.
    static constexpr uint32_t kMaxLines = 9;
    static constexpr uint32_t kMaxModules = 576;

    uint8_t face_index = 0;
    char face_name[12] = {};
    char bus_name[13] = {};
    uint16_t pixel_height = 0;  // rounded up to whole modules
    uint16_t pixel_width = 0;
    uint16_t x_offset = 0;  // where the face starts in its frames
    uint16_t y_offset = 0;
    uint8_t frame_rate = 0;
    uint8_t bits_per_pixel = 0;
    uint8_t colour_planes = 0;
    uint8_t line_lengths[kMaxLines] = {};  // modules per module line; 0 beyond the lines
    uint8_t module_lines = 0;
    uint16_t total_modules = 0;  // sum of the line lengths
    uint16_t module_type_id = 0;
    uint8_t colour_scheme = 0;
    uint8_t module_height = 0;
    uint8_t module_width = 0;
    uint8_t colour_flag = 0;
    uint8_t reserved = 0;
    diagnostics* diag = nullptr;
    frame_engine* engine = nullptr;
};

// Copies text into a name field, cut to fit and always zero-terminated.
template <unsigned N>
void SetConfigName(char (&field)[N], const char* text) {
    unsigned i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < N; ++i) {
        field[i] = text[i];
    }
    for (; i < N; ++i) {
        field[i] = '\0';
    }
}

}  // namespace disp
