#include "platform/sim/uart16550.h"

namespace sim {

namespace {
constexpr uint8_t kLcrDlab = 0x80;
constexpr uint8_t kIerRx = 0x01, kIerThre = 0x02, kIerLine = 0x04, kIerModem = 0x08;
constexpr uint8_t kLsrDataReady = 0x01, kLsrOverrun = 0x02, kLsrThre = 0x20, kLsrTemt = 0x40;
constexpr uint8_t kMsrDeltas = 0x0F;
constexpr uint32_t kTicksPerSecond = 100;
}  // namespace

Uart16550::Uart16550(uint32_t base, uint32_t source, Uic* uic)
    : base_(base), source_(source), uic_(uic) {}

Uart16550::~Uart16550() {
    Detach();
}

bool Uart16550::Attach() {
    if (!attached_) {
        attached_ = hw::Register(base_, 8, this);
    }
    return attached_;
}

void Uart16550::Detach() {
    if (attached_) {
        hw::Unregister(this);
        attached_ = false;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (level_ && uic_ != nullptr) {
        uic_->SetLevel(source_, false);
    }
    level_ = false;
}

void Uart16550::SetFarEnd(UartFarEnd* far) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    far_ = far;
    DrainTx();
    UpdateLine();
}

void Uart16550::SetPaced(bool paced) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    paced_ = paced;
    rxCredit_ = txCredit_ = fraction_ = 0;
}

void Uart16550::Tick() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!paced_) {
        return;
    }
    // Ten bits per character (start, eight data, stop).
    fraction_ += divisor_ == 0 ? 0 : (kClockHz / 16) / divisor_;
    const uint32_t chars = fraction_ / (10 * kTicksPerSecond);
    fraction_ %= 10 * kTicksPerSecond;
    const uint32_t cap = chars + kFifo;
    rxCredit_ = rxCredit_ + chars > cap ? cap : rxCredit_ + chars;
    txCredit_ = txCredit_ + chars > cap ? cap : txCredit_ + chars;
    RefillRx();
    DrainTx();
    UpdateLine();
}

size_t Uart16550::Receive(const uint8_t* data, size_t length) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    size_t taken = 0;
    while (taken < length && input_.size() < kInputLimit) {
        input_.push_back(data[taken++]);
    }
    RefillRx();
    UpdateLine();
    return taken;
}

size_t Uart16550::InputRoom() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return kInputLimit - input_.size();
}

void Uart16550::SetModemInputs(uint8_t msrBits) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const uint8_t old = msr_ & 0xF0;
    const uint8_t now = msrBits & 0xF0;
    uint8_t delta = 0;
    if ((old ^ now) & kCts)
        delta |= 0x01;
    if ((old ^ now) & kDsr)
        delta |= 0x02;
    if ((old & kRi) && !(now & kRi))
        delta |= 0x04;  // trailing edge of RI
    if ((old ^ now) & kDcd)
        delta |= 0x08;
    msr_ = uint8_t(now | (msr_ & kMsrDeltas) | delta);
    UpdateLine();
}

uint8_t Uart16550::ModemOutputs() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return mcr_ & (kMcrDtr | kMcrRts);
}

void Uart16550::FarEndReady() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    DrainTx();
    UpdateLine();
}

uint32_t Uart16550::Baud() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return divisor_ == 0 ? 0 : (kClockHz / 16) / divisor_;
}

uint32_t Uart16550::Overruns() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return overruns_;
}

uint32_t Uart16550::Read(uint32_t offset, unsigned width) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value = (value << 8) | ReadReg(offset + i);
    }
    UpdateLine();
    return value;
}

void Uart16550::Write(uint32_t offset, unsigned width, uint32_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (unsigned i = 0; i < width; ++i) {
        WriteReg(offset + i, uint8_t(value >> (8 * (width - 1 - i))));
    }
    UpdateLine();
}

uint8_t Uart16550::ReadReg(uint32_t offset) {
    switch (offset) {
        case 0: {
            if (lcr_ & kLcrDlab) {
                return uint8_t(divisor_);
            }
            RefillRx();
            if (rxFifo_.empty()) {
                return 0;
            }
            const uint8_t byte = rxFifo_.front();
            rxFifo_.pop_front();
            RefillRx();
            return byte;
        }
        case 1:
            return (lcr_ & kLcrDlab) ? uint8_t(divisor_ >> 8) : ier_;
        case 2: {
            const uint8_t id = Identification();
            if (id == 0x02) {
                thrInterrupt_ = false;  // reading the source clears it
            }
            return uint8_t(id | ((fcr_ & 0x01) ? 0xC0 : 0));
        }
        case 3:
            return lcr_;
        case 4:
            return mcr_;
        case 5: {
            RefillRx();
            uint8_t lsr = 0;
            if (!rxFifo_.empty())
                lsr |= kLsrDataReady;
            if (overrun_)
                lsr |= kLsrOverrun;
            if (txFifo_.empty())
                lsr |= kLsrThre | kLsrTemt;
            overrun_ = false;
            return lsr;
        }
        case 6: {
            const uint8_t msr = msr_;
            msr_ &= uint8_t(~kMsrDeltas);
            return msr;
        }
        case 7:
            return scr_;
        default:
            return 0xFF;
    }
}

void Uart16550::WriteReg(uint32_t offset, uint8_t value) {
    switch (offset) {
        case 0:
            if (lcr_ & kLcrDlab) {
                divisor_ = uint16_t((divisor_ & 0xFF00) | value);
                return;
            }
            if (txFifo_.size() < kFifo) {
                txFifo_.push_back(value);
            }
            thrInterrupt_ = false;
            DrainTx();
            return;
        case 1:
            if (lcr_ & kLcrDlab) {
                divisor_ = uint16_t((divisor_ & 0x00FF) | (value << 8));
                return;
            }
            if ((value & kIerThre) && !(ier_ & kIerThre) && txFifo_.empty()) {
                thrInterrupt_ = true;
            }
            ier_ = value & 0x0F;
            return;
        case 2:
            fcr_ = value;
            if (value & 0x02)
                rxFifo_.clear();
            if (value & 0x04)
                txFifo_.clear();
            RefillRx();
            return;
        case 3:
            lcr_ = value;
            return;
        case 4:
            mcr_ = value & 0x1F;
            return;
        case 7:
            scr_ = value;
            return;
        default:
            return;
    }
}

void Uart16550::RefillRx() {
    while (rxFifo_.size() < kFifo && !input_.empty() && (!paced_ || rxCredit_ > 0)) {
        rxFifo_.push_back(input_.front());
        input_.pop_front();
        if (paced_) {
            --rxCredit_;
        }
    }
}

void Uart16550::DrainTx() {
    const bool had = !txFifo_.empty();
    while (!txFifo_.empty() && far_ != nullptr && (!paced_ || txCredit_ > 0)) {
        if (!far_->Take(txFifo_.front())) {
            break;
        }
        txFifo_.pop_front();
        if (paced_) {
            --txCredit_;
        }
    }
    if (had && txFifo_.empty()) {
        thrInterrupt_ = true;
    }
}

uint8_t Uart16550::Identification() const {
    if ((ier_ & kIerLine) && overrun_)
        return 0x06;
    if ((ier_ & kIerRx) && !rxFifo_.empty())
        return 0x04;
    if ((ier_ & kIerThre) && thrInterrupt_)
        return 0x02;
    if ((ier_ & kIerModem) && (msr_ & kMsrDeltas))
        return 0x00;
    return 0x01;
}

void Uart16550::UpdateLine() {
    const bool pending = Identification() != 0x01;
    if (pending == level_) {
        return;
    }
    // The handler may run inside SetLevel and change the level again: record it first.
    level_ = pending;
    if (uic_ != nullptr) {
        uic_->SetLevel(source_, pending);
    }
}

}  // namespace sim
