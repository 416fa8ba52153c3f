#pragma once
// A 16550 UART model: divisor latch, 16-byte FIFOs, IIR, LSR, MSR with deltas, MCR, and a level
// interrupt on the interrupt controller. Characters move at the programmed baud on the kernel
// clock (Tick, one per kernel tick) or unpaced. The far end (a pseudo-terminal, a TCP socket or a
// memory pipe) takes transmitted bytes and feeds received ones from host threads; a far end that
// cannot take a byte leaves it in the transmit FIFO (THR stays full).
//
// Registers (byte offsets): 0 RBR/THR (DLL with DLAB), 1 IER (DLM with DLAB), 2 IIR/FCR, 3 LCR,
// 4 MCR, 5 LSR, 6 MSR, 7 SCR.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/sim/hw.h"
#include "platform/sim/uic.h"

namespace sim {

class UartFarEnd {
public:
    virtual ~UartFarEnd() = default;
    // One transmitted byte; false when it cannot be taken now (call Uart16550::FarEndReady later).
    virtual bool Take(uint8_t byte) = 0;
};

class Uart16550 : public hw::Device {
public:
    static constexpr uint32_t kPort0Base = 0xEF600300;
    static constexpr uint32_t kPort1Base = 0xEF600400;
    static constexpr uint32_t kPort0Source = 0x80000000;
    static constexpr uint32_t kPort1Source = 0x40000000;
    static constexpr uint32_t kClockHz = 1843200;
    static constexpr size_t kFifo = 16;
    // Received bytes the model queues ahead of the receive FIFO.
    static constexpr size_t kInputLimit = 65536;

    // MSR / MCR bits.
    static constexpr uint8_t kCts = 0x10, kDsr = 0x20, kRi = 0x40, kDcd = 0x80;
    static constexpr uint8_t kMcrDtr = 0x01, kMcrRts = 0x02;

    Uart16550(uint32_t base, uint32_t source, Uic* uic);
    ~Uart16550() override;
    Uart16550(const Uart16550&) = delete;
    Uart16550& operator=(const Uart16550&) = delete;

    // Places the 8 registers on the bus (a smaller region, the NVRAM's scratch byte, stays
    // the other device's) / takes them off.
    bool Attach();
    void Detach();

    void SetFarEnd(UartFarEnd* far);
    // Unpaced: every byte moves at once; paced: at the programmed baud, one Tick per kernel tick.
    void SetPaced(bool paced);
    void Tick();

    // Far-end side (any host thread).
    // Queues received bytes; returns how many were taken (the rest wait at the far end).
    size_t Receive(const uint8_t* data, size_t length);
    size_t InputRoom() const;
    // Modem inputs as the far end drives them (MSR bits kCts, kDsr, kRi, kDcd).
    void SetModemInputs(uint8_t msrBits);
    uint8_t ModemOutputs() const;  // MCR bits kMcrDtr, kMcrRts
    // The far end can take bytes again.
    void FarEndReady();

    uint32_t Baud() const;
    uint32_t Base() const { return base_; }
    uint32_t Overruns() const;

    uint32_t Read(uint32_t offset, unsigned width) override;
    void Write(uint32_t offset, unsigned width, uint32_t value) override;

private:
    uint8_t ReadReg(uint32_t offset);
    void WriteReg(uint32_t offset, uint8_t value);
    void RefillRx();
    void DrainTx();
    uint8_t Identification() const;
    void UpdateLine();

    // Recursive: raising the line may run the interrupt handler at once on this thread.
    mutable std::recursive_mutex mutex_;
    const uint32_t base_;
    const uint32_t source_;
    Uic* const uic_;
    UartFarEnd* far_ = nullptr;
    bool attached_ = false;
    bool paced_ = false;
    bool level_ = false;

    uint8_t ier_ = 0, lcr_ = 0, mcr_ = 0, scr_ = 0, fcr_ = 0;
    uint8_t msr_ = 0;  // inputs (high nibble) and deltas (low nibble)
    uint16_t divisor_ = 0;
    bool thrInterrupt_ = false;
    bool overrun_ = false;
    uint32_t overruns_ = 0;
    std::deque<uint8_t> rxFifo_, txFifo_, input_;
    // Characters the line may still carry in this tick (paced).
    uint32_t rxCredit_ = 0, txCredit_ = 0, fraction_ = 0;
};

}  // namespace sim
