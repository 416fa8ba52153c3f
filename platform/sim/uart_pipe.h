#pragma once
// In-memory far end of a UART for tests: bytes injected as if sent by a peer, bytes the UART
// transmitted collected, the peer's modem lines set, the UART's RTS and DTR read.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/sim/uart16550.h"

namespace sim {

class UartPipe : public UartFarEnd {
public:
    // Connects to the UART with CTS, DSR and DCD on.
    explicit UartPipe(Uart16550& uart);
    ~UartPipe() override;
    UartPipe(const UartPipe&) = delete;
    UartPipe& operator=(const UartPipe&) = delete;

    // Bytes the UART could not queue yet are kept and offered again on the next Inject.
    void Inject(const void* data, size_t length);
    // Everything transmitted since the last call.
    std::vector<uint8_t> Collect();
    // How many transmitted bytes the pipe takes before refusing (unlimited by default);
    // raising it lets the UART send again.
    void SetCapacity(size_t bytes);

    void SetCts(bool on) { SetLine(Uart16550::kCts, on); }
    void SetDsr(bool on) { SetLine(Uart16550::kDsr, on); }
    void SetDcd(bool on) { SetLine(Uart16550::kDcd, on); }
    void SetRi(bool on) { SetLine(Uart16550::kRi, on); }
    bool Rts() const;
    bool Dtr() const;

    bool Take(uint8_t byte) override;

private:
    void SetLine(uint8_t bit, bool on);

    Uart16550& uart_;
    std::mutex mutex_;
    std::vector<uint8_t> out_;
    std::vector<uint8_t> pending_;
    size_t capacity_ = SIZE_MAX;
    uint8_t lines_ = Uart16550::kCts | Uart16550::kDsr | Uart16550::kDcd;
};

}  // namespace sim
