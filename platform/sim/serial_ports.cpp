#include "platform/sim/serial_ports.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace sim {

bool ParseUartEndSpec(const std::string& text, UartEndSpec* spec) {
    if (text == "pty" || text == "none") {
        spec->kind = text == "pty" ? UartEndSpec::Kind::kPty : UartEndSpec::Kind::kNone;
        return true;
    }
    if (text.rfind("tcp:", 0) != 0 || text.size() == 4 || text.size() > 9) {
        return false;
    }
    char* end = nullptr;
    const long port = std::strtol(text.c_str() + 4, &end, 10);
    if (*end != '\0' || port < 1 || port > 65535) {
        return false;
    }
    spec->kind = UartEndSpec::Kind::kTcp;
    spec->tcpPort = uint16_t(port);
    return true;
}

SerialPorts::SerialPorts(Uic* uic) {
    uarts_[0] = std::make_unique<Uart16550>(Uart16550::kPort0Base, Uart16550::kPort0Source, uic);
    uarts_[1] = std::make_unique<Uart16550>(Uart16550::kPort1Base, Uart16550::kPort1Source, uic);
}

SerialPorts::~SerialPorts() {
    for (int i = 0; i < kPorts; ++i) {
        ends_[i].reset();
        uarts_[i]->Detach();
    }
}

bool SerialPorts::Open(const std::string& boardDir, const UartEndSpec specs[kPorts], int portOffset,
                       bool paced, std::string* log, std::string* error) {
    for (int i = 0; i < kPorts; ++i) {
        Uart16550& uart = *uarts_[i];
        uart.SetPaced(paced);
        uart.Attach();
        const std::string name = "UART " + std::to_string(i);
        const std::string file = boardDir + "/uart" + std::to_string(i) + ".pty";
        std::remove(file.c_str());
        if (specs[i].kind == UartEndSpec::Kind::kPty) {
            ends_[i] = UartStream::OpenPty(uart);
            if (!ends_[i]) {
                *error = name + ": no pseudo-terminal";
                return false;
            }
            std::ofstream(file) << ends_[i]->Path() << "\n";
            *log += name + " on " + ends_[i]->Path() + "\n";
        } else if (specs[i].kind == UartEndSpec::Kind::kTcp) {
            const int port = specs[i].tcpPort + portOffset;
            ends_[i] = port <= 65535 ? UartStream::ListenTcp(uart, uint16_t(port)) : nullptr;
            if (!ends_[i]) {
                *error = name + ": cannot listen on 127.0.0.1:" + std::to_string(port);
                return false;
            }
            *log += name + " on " + ends_[i]->Path() + "\n";
        }
    }
    return true;
}

void SerialPorts::Tick() {
    for (auto& uart : uarts_) {
        uart->Tick();
    }
}

}  // namespace sim
