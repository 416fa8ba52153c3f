#pragma once
// Interrupt-driven driver of one on-chip 16550 UART: transmit and receive rings, modem lines and
// six flow-control behaviours chosen by the mode word and the handshake argument of Open.
//
// Flow modes: 0 RTS held off; 1 RTS held on; 2 RTS raised to send, sending gated by CTS, RTS
// dropped once the transmitter is empty, received bytes ignored while DCD is off; 3 RTS off
// while writing, on when the ring runs empty; 4 RTS follows the receive ring's water marks,
// sending gated by CTS; 5 as 2 without the DCD check, with a one-time delay before RTS is first
// raised. The delays run on kernel timers, never in a loop.

#include <cstdint>

#include "comm/serial_driver.h"
#include "platform/kernel/tx_api.h"
#include "runtime/interrupts.h"

class CQ2SerialDriver : public CSerialDriver, public Interrupt {
public:
    static constexpr uint32_t kPort0Base = 0xEF600300;
    static constexpr uint32_t kPort1Base = 0xEF600400;
    static constexpr uint32_t kPort0Source = 0x80000000;
    static constexpr uint32_t kPort1Source = 0x40000000;
    static constexpr unsigned kCharsPerInterrupt = 15;
    // Ticks a thread waits in PutChar for room in the transmit ring before dropping the byte.
    static constexpr ULONG kPutCharWait = 100;
    // Ticks before RTS is first raised in flow mode 5.
    static constexpr ULONG kFirstRtsDelay = 2;

    // Mode word bits.
    static constexpr uint32_t kModeNoParity = 0x0001;
    static constexpr uint32_t kModeLineControl = 0x0002;
    static constexpr uint32_t kModeOneStop = 0x0020;
    static constexpr uint32_t kModeFlow0 = 0x0100;
    static constexpr uint32_t kModeFlow1 = 0x0200;
    static constexpr uint32_t kModeFlow2 = 0x0400;
    static constexpr uint32_t kModeFlow3 = 0x0800;
    static constexpr uint32_t kModeInterrupt = 0x1000;
    static constexpr uint32_t kModeDtrOff = 0x2000;
    static constexpr uint32_t kModeDtrOn = 0x4000;
    static constexpr uint32_t kModeFail = 0x8000;

    CQ2SerialDriver();
    ~CQ2SerialDriver() override;

    int PutChar(uint8_t byte) override;
    int GetChar(uint32_t* value) override;
    int Open(uint32_t port, uint32_t baud, uint32_t dataBits, uint32_t mode, uint32_t handshake,
             uint32_t ringSize) override;
    bool DCD() override;
    bool RI() override;
    void SetDTR(bool on) override;
    bool DSR() override;
    void SetRTS(bool on) override;
    bool CTS() override;
    int SetBaud(uint32_t baud) override;

    virtual void Isr();
    virtual void TxInterrupt();
    virtual void RxChar(uint8_t byte);
    void Handler() override { Isr(); }

    uint8_t FlowMode() const { return flowMode_; }
    uint8_t DtrMode() const { return dtrMode_; }
    uint32_t ModeWord() const { return mode_; }
    bool Opened() const { return opened_ != 0; }
    // Bytes PutChar dropped because the transmit ring stayed full.
    uint32_t TxDropped() const { return txDropped_; }
    uint32_t RxDropped() const { return rxDropped_; }
    // Back to the state at power-up of both drivers' shared flags (tests, a new boot).
    static void ResetSharedFlags();

private:
    uint8_t Reg(uint32_t offset);
    void SetReg(uint32_t offset, uint8_t value);
    void EnableInterrupts(uint8_t bits, bool on);
    bool CreateKernelObjects();
    bool WaitForTxRoom();
    void StepBeforeChar(bool* stop);
    void RingEmpty();
    void WriteLineControl(uint32_t dataBits);
    static void RtsDropExpiry(ULONG_PTR argument);
    static void FirstDelayExpiry(ULONG_PTR argument);

    uint32_t base_ = 0;
    uint32_t mode_ = 0;
    uint8_t dtrMode_ = 0;
    uint8_t flowMode_ = 0;
    uint8_t opened_ = 0;
    uint32_t port_ = 0;
    uint32_t source_ = 0;
    bool registered_ = false;
    bool kernelObjects_ = false;
    bool rtsDropPending_ = false;
    bool txHeld_ = false;  // sending waits for the first RTS delay
    uint32_t txDropped_ = 0;
    uint32_t rxDropped_ = 0;
    TX_EVENT_FLAGS_GROUP txRoom_{};
    TX_TIMER rtsTimer_{};
    TX_TIMER firstDelayTimer_{};

    static bool s_rtsRaised;
    static bool s_firstDelayDone;
};
