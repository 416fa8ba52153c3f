#pragma once
// Where the frames the sign receives end up. Deliver keeps the latest frame (byte-exact, as the
// EPLD clocked it out) and returns at once; a writer thread of its own renders it to
// "frames/latest.png" in the board directory whenever the picture changed (frame or
// brightness), and, when a ring is asked for, also to "frames/NNNN.png" (the sequence number
// modulo the ring size). The writer runs outside the kernel and touches no firmware state.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct SinkFrame {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t brightness = 0;
    std::vector<uint8_t> pixels;  // blue, green, red bytes per LED
};

class FrameSink {
public:
    FrameSink() = default;
    ~FrameSink();
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;

    // Starts the writer for the board directory (creates "frames"); ring: frames kept besides
    // latest.png (0: none). Without a call no PNG is written.
    bool StartPng(const std::string& boardDir, unsigned ring = 0);
    // Writes the picture still pending, then ends the writer.
    void Stop();

    void Deliver(uint16_t width, uint16_t height, const uint8_t* pixels, size_t size,
                 uint16_t brightness);

    SinkFrame Latest() const;
    uint64_t Frames() const;
    uint64_t PngsWritten() const;
    std::string LatestPath() const;
    // Waits (real time, at most the timeout) until the writer has caught up with the latest
    // frame; true when it has.
    bool WaitWritten(unsigned timeoutMs) const;

private:
    void WriterLoop();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SinkFrame latest_;
    uint64_t frames_ = 0;
    uint64_t generation_ = 0;  // bumped when the picture differs from the one before
    uint64_t written_ = 0;     // generation last written
    uint64_t pngs_ = 0;
    std::string dir_;
    unsigned ring_ = 0;
    bool stop_ = false;
    std::thread writer_;
};

}  // namespace sim
