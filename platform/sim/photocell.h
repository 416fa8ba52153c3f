#pragma once
// The board's photocell: the ambient light level (0 dark .. 65535) that the controller's light
// sensors report. Tests set it; on a running board the operator writes the level as a decimal
// number into a file (the board directory's "photocell"), read at every reading. The
// peripheral task reads it each cycle.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace sim {

// The level of a photocell file's text: a decimal number, cut to 65535. False (nothing
// written) for text without a leading number or a negative one.
bool ParseLightLevel(const char* text, size_t length, uint16_t* level);

class Photocell {
public:
    // Daylight: the top level of the default brightness tables.
    static constexpr uint16_t kDaylight = 5000;

    void SetLevel(uint16_t level) { level_.store(level); }
    // The level now; with a watched file, its number when it holds one.
    uint16_t Level();
    // Watches the file (empty: none). A missing file or one without a number keeps the level.
    void WatchFile(const std::string& path);

private:
    std::atomic<uint16_t> level_{kDaylight};
    std::mutex mutex_;
    std::string path_;
};

// The photocell of the simulated board.
Photocell& BoardPhotocell();

}  // namespace sim
