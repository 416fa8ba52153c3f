#include "platform/sim/photocell.h"

#include <cstdio>

namespace sim {

bool ParseLightLevel(const char* text, size_t length, uint16_t* level) {
    size_t i = 0;
    while (i < length && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i == length || text[i] < '0' || text[i] > '9') {
        return false;
    }
    uint32_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + uint32_t(text[i] - '0');
        if (value > 0xFFFF) {
            value = 0xFFFF;  // stays cut however many digits follow
        }
    }
    *level = uint16_t(value);
    return true;
}

void Photocell::WatchFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
}

uint16_t Photocell::Level() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!path_.empty()) {
        if (std::FILE* f = std::fopen(path_.c_str(), "r")) {
            char text[32];
            const size_t n = std::fread(text, 1, sizeof text, f);
            std::fclose(f);
            uint16_t level = 0;
            if (ParseLightLevel(text, n, &level)) {
                level_.store(level);
            }
        }
    }
    return level_.load();
}

Photocell& BoardPhotocell() {
    static Photocell photocell;
    return photocell;
}

}  // namespace sim
