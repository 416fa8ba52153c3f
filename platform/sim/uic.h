#pragma once
// The processor's universal interrupt controller on the DCR bus:
//   0xC0 status (a write clears the bits written that are not still asserted)
//   0xC2 enable, 0xC3 critical, 0xC4 polarity, 0xC5 trigger
//   0xC6 masked status (status & enable, read only)
//   0xC7 vector (read only, 0), 0xC8 vector configuration
// Device models raise sources: an edge latches the status bit once; a level keeps it set while
// asserted, so an acknowledgement does not clear it. Whenever the masked status is non-zero after
// a change, the assert hook runs (the board wires it to the external-interrupt line).

#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/sim/hw.h"

namespace sim {

class Uic : public hw::DcrDevice {
public:
    static constexpr uint32_t kFirstDcr = 0xC0;
    static constexpr uint32_t kDcrCount = 9;
    static constexpr uint32_t kStatus = 0xC0;
    static constexpr uint32_t kEnable = 0xC2;
    static constexpr uint32_t kCritical = 0xC3;
    static constexpr uint32_t kPolarity = 0xC4;
    static constexpr uint32_t kTrigger = 0xC5;
    static constexpr uint32_t kMaskedStatus = 0xC6;
    static constexpr uint32_t kVector = 0xC7;
    static constexpr uint32_t kVectorConfig = 0xC8;

    Uic() = default;
    ~Uic() override;
    Uic(const Uic&) = delete;
    Uic& operator=(const Uic&) = delete;

    // Places the registers on the DCR bus / takes them off.
    bool Attach();
    void Detach();

    // Called (outside the model's lock) when the masked status becomes or stays non-zero after a
    // change. May be empty.
    void SetAssertHook(std::function<void()> hook);

    // Device side: a pulse on the sources of the mask, or a level held / dropped.
    void Pulse(uint32_t mask);
    void SetLevel(uint32_t mask, bool asserted);

    uint32_t Status() const;
    uint32_t Enable() const;
    uint32_t MaskedStatus() const;
    // Writes of the status register (acknowledgements) seen so far, per bit.
    uint32_t Acknowledged(unsigned bit) const;

    uint32_t DcrRead(uint32_t reg) override;
    void DcrWrite(uint32_t reg, uint32_t value) override;

private:
    void Changed();

    mutable std::mutex mutex_;
    std::function<void()> hook_;
    uint32_t status_ = 0;
    uint32_t levels_ = 0;
    uint32_t enable_ = 0;
    uint32_t critical_ = 0;
    uint32_t polarity_ = 0;
    uint32_t trigger_ = 0;
    uint32_t vectorConfig_ = 0;
    uint32_t acks_[32] = {};
    bool attached_ = false;
};

}  // namespace sim
