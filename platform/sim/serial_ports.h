#pragma once
// The board's two on-chip UARTs with their far ends, as the command line chooses them: a
// pseudo-terminal (default; its slave path is printed and written to "uartN.pty" in the board
// directory), a TCP port on 127.0.0.1, or nothing. Tick moves the lines' characters once per
// kernel tick when they run at their programmed baud.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/uart16550.h"
#include "platform/sim/uart_stream.h"
#include "platform/sim/uic.h"

namespace sim {

struct UartEndSpec {
    enum class Kind { kPty, kTcp, kNone };
    Kind kind = Kind::kPty;
    uint16_t tcpPort = 0;
};

// "pty", "none" or "tcp:PORT"; false for anything else.
bool ParseUartEndSpec(const std::string& text, UartEndSpec* spec);

class SerialPorts {
public:
    static constexpr int kPorts = 2;

    explicit SerialPorts(Uic* uic);
    ~SerialPorts();
    SerialPorts(const SerialPorts&) = delete;
    SerialPorts& operator=(const SerialPorts&) = delete;

    // Places both UARTs on the bus and opens the far ends (TCP ports get the offset added).
    // Lines describing each far end go to `log`. False with `error` set when one cannot open.
    bool Open(const std::string& boardDir, const UartEndSpec specs[kPorts], int portOffset,
              bool paced, std::string* log, std::string* error);
    void Tick();
    Uart16550& Uart(int port) { return *uarts_[port]; }

private:
    std::unique_ptr<Uart16550> uarts_[kPorts];
    std::unique_ptr<UartStream> ends_[kPorts];
};

}  // namespace sim
