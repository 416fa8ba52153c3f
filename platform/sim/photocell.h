#pragma once
// The board's photocell: the ambient light level (0 dark .. 65535) that the controller's light
// sensors report. Tests and the operator set it; the peripheral task reads it each cycle.

#include <atomic>
#include <cstdint>

namespace sim {

class Photocell {
public:
    // Daylight: the top level of the default brightness tables.
    static constexpr uint16_t kDaylight = 5000;

    void SetLevel(uint16_t level) { level_.store(level); }
    uint16_t Level() const { return level_.load(); }

private:
    std::atomic<uint16_t> level_{kDaylight};
};

// The photocell of the simulated board.
Photocell& BoardPhotocell();

}  // namespace sim
