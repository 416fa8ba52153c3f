#include "platform/sim/frame_sink.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/sim/png_file.h"

namespace sim {

FrameSink::~FrameSink() {
    Stop();
}

bool FrameSink::StartPng(const std::string& boardDir, unsigned ring) {
    Stop();
    const std::string dir = boardDir + "/frames";
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        dir_ = dir;
        ring_ = ring;
        stop_ = false;
        written_ = 0;
    }
    writer_ = std::thread(&FrameSink::WriterLoop, this);
    return true;
}

void FrameSink::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void FrameSink::Deliver(uint16_t width, uint16_t height, const uint8_t* pixels, size_t size,
                        uint16_t brightness) {
    const size_t need = size_t(width) * height * 3;
    std::lock_guard<std::mutex> guard(mutex_);
    frames_++;
    const bool same = generation_ != 0 && latest_.width == width && latest_.height == height &&
                      latest_.brightness == brightness && latest_.pixels.size() == need &&
                      size >= need && std::memcmp(latest_.pixels.data(), pixels, need) == 0;
    if (same) {
        return;
    }
    latest_.width = width;
    latest_.height = height;
    latest_.brightness = brightness;
    latest_.pixels.assign(need, 0);
    std::memcpy(latest_.pixels.data(), pixels, size < need ? size : need);
    generation_++;
    changed_.notify_all();
}

SinkFrame FrameSink::Latest() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return latest_;
}

uint64_t FrameSink::Frames() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return frames_;
}

uint64_t FrameSink::PngsWritten() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return pngs_;
}

std::string FrameSink::LatestPath() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return dir_ + "/latest.png";
}

bool FrameSink::WaitWritten(unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return written_ == generation_ || stop_;
    }) && written_ == generation_;
}

void FrameSink::WriterLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || written_ != generation_; });
        // A picture that came before the stop is still written.
        if (written_ == generation_) {
            break;
        }
        const SinkFrame frame = latest_;
        const uint64_t generation = generation_;
        const uint64_t sequence = pngs_;
        lock.unlock();
        // The picture is rendered and written without the lock: Deliver never waits for it.
        const RgbImage image =
            frame.width != 0 && frame.height != 0
                ? RenderLeds(frame.width, frame.height, frame.pixels.data(), frame.brightness)
                : RgbImage{};
        bool ok = WritePng(dir_ + "/latest.png", image);
        if (ok && ring_ != 0) {
            char name[32];
            std::snprintf(name, sizeof name, "/%04u.png", unsigned(sequence % ring_));
            ok = WritePng(dir_ + name, image);
        }
        lock.lock();
        written_ = generation;
        if (ok) {
            pngs_++;
        }
        changed_.notify_all();
    }
}

}  // namespace sim
