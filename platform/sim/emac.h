#pragma once
// The processor's Ethernet MAC (EMAC, registers at 0xEF600800) with its memory-access layer
// (MAL, DCRs 0x180-0x1E0) and the chip-control DCR 0xAA. Descriptors and buffers are read and
// written in board RAM by bus address (hw::MapMemory). Channel 0 each way.
//
// Transmit: a write of 0x80000000 to transmit mode 0 sends the ready descriptors from the
// current one; each frame (padded to 60 bytes) goes to the wire sink. Receive: frames offered
// by the wire are queued (bounded) and moved into the receive ring by Pump, which the owner runs
// on the board (kernel::Post) through the schedule hook. Interrupts are pulses on the UIC.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/sim/hw.h"
#include "platform/sim/phy.h"
#include "platform/sim/uic.h"

namespace sim {

class Emac : public hw::Device, public hw::DcrDevice {
public:
    static constexpr uint32_t kBase = 0xEF600800;
    static constexpr uint32_t kSize = 0x70;
    static constexpr size_t kMaxInbox = 256;

    // UIC sources (source n is bit 0x80000000 >> n).
    static constexpr uint32_t kIrqMalSystemError = 0x00200000;
    static constexpr uint32_t kIrqTxEob = 0x00100000;
    static constexpr uint32_t kIrqRxEob = 0x00080000;
    static constexpr uint32_t kIrqTxDescriptorError = 0x00040000;
    static constexpr uint32_t kIrqRxDescriptorError = 0x00020000;

    using Sink = std::function<void(const uint8_t* frame, size_t length)>;
    using Schedule = std::function<void(std::function<void()>)>;

    struct Counters {
        uint64_t framesSent = 0;
        uint64_t framesReceived = 0;
        uint64_t rxOverruns = 0;    // ring full (no ready descriptor)
        uint64_t rxFiltered = 0;    // not for this station
        uint64_t rxDisabled = 0;    // receiver or channel off
        uint64_t inboxDropped = 0;  // the queue in front of the ring was full
    };

    explicit Emac(Uic* uic);
    ~Emac() override;
    Emac(const Emac&) = delete;
    Emac& operator=(const Emac&) = delete;

    bool Attach();
    void Detach();

    void SetSink(Sink sink);
    // How Pump gets run after a frame is offered (default: at once, on the caller's thread).
    void SetSchedule(Schedule schedule);

    // Wire side (any thread): a frame without FCS.
    void Offer(const uint8_t* frame, size_t length);
    // Moves queued frames into the receive ring.
    void Pump();

    // Test hooks: status bits for the next received frame; a MAL system error; MDIO stalls.
    void InjectRxStatus(uint16_t bits);
    void RaiseSystemError(uint32_t errorStatus);
    void SetMdioStuck(bool stuck);

    Phy& GetPhy() { return phy_; }
    Counters GetCounters() const;
    uint32_t Register(uint32_t offset) const;
    uint32_t Dcr(uint32_t reg) const;

    uint32_t Read(uint32_t offset, unsigned width) override;
    void Write(uint32_t offset, unsigned width, uint32_t value) override;
    uint32_t DcrRead(uint32_t reg) override;
    void DcrWrite(uint32_t reg, uint32_t value) override;

private:
    struct Delivery {
        std::vector<uint8_t> frame;
        uint32_t irq = 0;
    };
    void Transmit(std::vector<Delivery>* out, uint32_t* irq);
    uint32_t ReceiveOne(const std::vector<uint8_t>& frame);
    bool Accepts(const std::vector<uint8_t>& frame) const;
    void Mdio(uint32_t value);

    mutable std::mutex mutex_;
    Uic* uic_;
    Phy phy_;
    Sink sink_;
    Schedule schedule_;
    std::deque<std::vector<uint8_t>> inbox_;
    bool pumpScheduled_ = false;
    uint32_t regs_[kSize / 4] = {};
    uint32_t mal_[0x70] = {};  // DCRs 0x180..0x1EF
    uint32_t chipControl_ = 0;
    unsigned txIndex_ = 0;
    unsigned rxIndex_ = 0;
    uint16_t injectedStatus_ = 0;
    bool mdioStuck_ = false;
    bool attached_ = false;
    Counters counters_;
};

}  // namespace sim
