#pragma once
// DMA channel 0 of the processor's DMA controller on the DCR bus:
//   0x100 control (bit 31 enables the channel and starts a transfer), 0x101 count (32-bit
//   words), 0x103 source (bus address of board RAM), 0x120 status (bit 31: channel 0 terminal
//   count; writing a bit clears it).
// A transfer reads its words from board RAM (hw::HostAddress) and hands them to the destination
// (the display EPLD). It completes at once, after a number of status reads, or never (a stalled
// channel). The channel comes out of the monitor idle, with its terminal count set.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/sim/hw.h"

namespace sim {

enum class DmaCompletion { kAtOnce, kAfterPolls, kNever };

class DmaController : public hw::DcrDevice {
public:
    static constexpr uint32_t kControl = 0x100;
    static constexpr uint32_t kCount = 0x101;
    static constexpr uint32_t kSource = 0x103;
    static constexpr uint32_t kStatus = 0x120;
    static constexpr uint32_t kTerminalCount0 = 0x80000000u;
    static constexpr uint32_t kChannelEnable = 0x80000000u;

    using Destination = std::function<void(const uint8_t* bytes, size_t size)>;

    ~DmaController() override;
    bool Attach();
    void Detach();
    void SetDestination(Destination destination) { destination_ = std::move(destination); }
    // polls: status reads after a start before the transfer completes (kAfterPolls).
    void SetCompletion(DmaCompletion mode, uint32_t polls = 0);

    uint32_t Started() const { return started_; }
    uint32_t Completed() const { return completed_; }
    // Transfers whose source was not board RAM (nothing delivered).
    uint32_t BadTransfers() const { return bad_; }
    uint32_t Register(uint32_t reg) const;

    uint32_t DcrRead(uint32_t reg) override;
    void DcrWrite(uint32_t reg, uint32_t value) override;

private:
    void Complete();

    Destination destination_;
    DmaCompletion mode_ = DmaCompletion::kAtOnce;
    uint32_t polls_ = 0;
    uint32_t pollsLeft_ = 0;
    bool pending_ = false;
    bool attached_ = false;
    uint32_t control_ = 0;
    uint32_t count_ = 0;
    uint32_t source_ = 0;
    uint32_t status_ = kTerminalCount0;
    uint32_t started_ = 0;
    uint32_t completed_ = 0;
    uint32_t bad_ = 0;
};

}  // namespace sim
