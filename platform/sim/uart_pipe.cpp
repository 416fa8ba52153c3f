#include "platform/sim/uart_pipe.h"

namespace sim {

UartPipe::UartPipe(Uart16550& uart) : uart_(uart) {
    uart_.SetModemInputs(lines_);
    uart_.SetFarEnd(this);
}

UartPipe::~UartPipe() {
    uart_.SetFarEnd(nullptr);
}

void UartPipe::Inject(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    pending_.insert(pending_.end(), bytes, bytes + length);
    const size_t taken = uart_.Receive(pending_.data(), pending_.size());
    pending_.erase(pending_.begin(), pending_.begin() + long(taken));
}

std::vector<uint8_t> UartPipe::Collect() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out;
    out.swap(out_);
    return out;
}

void UartPipe::SetCapacity(size_t bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        capacity_ = bytes;
    }
    uart_.FarEndReady();
}

bool UartPipe::Rts() const {
    return (uart_.ModemOutputs() & Uart16550::kMcrRts) != 0;
}

bool UartPipe::Dtr() const {
    return (uart_.ModemOutputs() & Uart16550::kMcrDtr) != 0;
}

bool UartPipe::Take(uint8_t byte) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (capacity_ == 0) {
        return false;
    }
    if (capacity_ != SIZE_MAX) {
        --capacity_;
    }
    out_.push_back(byte);
    return true;
}

void UartPipe::SetLine(uint8_t bit, bool on) {
    lines_ = on ? uint8_t(lines_ | bit) : uint8_t(lines_ & ~bit);
    uart_.SetModemInputs(lines_);
}

}  // namespace sim
