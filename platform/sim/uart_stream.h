#pragma once
// Host far ends of a UART: a pseudo-terminal (raw, no echo; a slave descriptor is held so that
// peers may come and go) or a TCP port on 127.0.0.1 (one peer at a time). A helper thread moves
// bytes: what the peer sends is queued in the UART as its input room allows, what the UART sends
// waits in a bounded buffer until the peer takes it. Nothing queued is lost when a peer leaves.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sim/uart16550.h"

namespace sim {

class UartStream : public UartFarEnd {
public:
    static constexpr size_t kOutLimit = 4096;

    // A pseudo-terminal; its slave path is Path(). Null on failure.
    static std::unique_ptr<UartStream> OpenPty(Uart16550& uart);
    // A listening TCP socket on 127.0.0.1:port. Null on failure.
    static std::unique_ptr<UartStream> ListenTcp(Uart16550& uart, uint16_t port);

    ~UartStream() override;
    UartStream(const UartStream&) = delete;
    UartStream& operator=(const UartStream&) = delete;

    const std::string& Path() const { return path_; }
    bool Take(uint8_t byte) override;

private:
    UartStream(Uart16550& uart, int ioFd, int listenFd, int slaveFd, std::string path);
    void Run();
    void Wake();
    bool Flush(int fd);
    void Feed(int fd, bool* closed);

    Uart16550& uart_;
    int ioFd_;      // pty master or the connected peer (-1 when none)
    int listenFd_;  // TCP only
    int slaveFd_;   // pty only
    int wakeFd_;
    std::string path_;
    std::mutex mutex_;
    std::deque<uint8_t> out_;
    bool stop_ = false;
    bool inputEnded_ = false;
    std::thread thread_;
};

}  // namespace sim
