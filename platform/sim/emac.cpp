#include "platform/sim/emac.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr uint32_t kMode0 = 0x00;
constexpr uint32_t kTxMode0 = 0x08;
constexpr uint32_t kRxMode = 0x10;
constexpr uint32_t kIsr = 0x14;
constexpr uint32_t kAddrHigh = 0x1C;
constexpr uint32_t kAddrLow = 0x20;
constexpr uint32_t kStacr = 0x5C;

constexpr uint32_t kSoftReset = 0x20000000;
constexpr uint32_t kTxEnable = 0x10000000;
constexpr uint32_t kRxEnable = 0x08000000;
constexpr uint32_t kIdle = 0xC0000000;
constexpr uint32_t kChannel0 = 0x80000000;

// MAL DCRs, as indexes from 0x180.
constexpr uint32_t kMalFirst = 0x180;
constexpr uint32_t kMalCount = 0x70;
constexpr uint32_t kCfg = 0x00, kEsr = 0x01, kTxCasr = 0x04, kTxCarr = 0x05, kTxEob = 0x06,
                   kTxDei = 0x07, kRxCasr = 0x10, kRxCarr = 0x11, kRxEob = 0x12, kRxDei = 0x13,
                   kTxCtp = 0x20, kRxCtp = 0x40, kRcbs = 0x60;
constexpr uint32_t kChipControl = 0xAA;

constexpr uint16_t kReady = 0x8000;
constexpr uint16_t kWrap = 0x4000;
constexpr uint16_t kInterrupt = 0x0400;
constexpr uint16_t kTooLong = 0x0002;

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

}  // namespace

Emac::Emac(Uic* uic) : uic_(uic) {}

Emac::~Emac() {
    Detach();
}

bool Emac::Attach() {
    if (attached_) {
        return true;
    }
    attached_ = hw::Register(kBase, kSize, this) && hw::RegisterDcr(kMalFirst, kMalCount, this) &&
                hw::RegisterDcr(kChipControl, 1, this);
    if (!attached_) {
        Detach();
    }
    return attached_;
}

void Emac::Detach() {
    hw::Unregister(this);
    hw::UnregisterDcr(this);
    attached_ = false;
}

void Emac::SetSink(Sink sink) {
    std::lock_guard<std::mutex> guard(mutex_);
    sink_ = std::move(sink);
}

void Emac::SetSchedule(Schedule schedule) {
    std::lock_guard<std::mutex> guard(mutex_);
    schedule_ = std::move(schedule);
}

void Emac::Offer(const uint8_t* frame, size_t length) {
    Schedule schedule;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (inbox_.size() >= kMaxInbox) {
            ++counters_.inboxDropped;
            return;
        }
        inbox_.emplace_back(frame, frame + length);
        if (pumpScheduled_) {
            return;
        }
        pumpScheduled_ = true;
        schedule = schedule_;
    }
    if (schedule) {
        schedule([this] { Pump(); });
    } else {
        Pump();
    }
}

void Emac::Pump() {
    uint32_t irq = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        pumpScheduled_ = false;
        while (!inbox_.empty()) {
            irq |= ReceiveOne(inbox_.front());
            inbox_.pop_front();
        }
    }
    if (irq != 0 && uic_ != nullptr) {
        uic_->Pulse(irq);
    }
}

bool Emac::Accepts(const std::vector<uint8_t>& frame) const {
    const uint32_t high = regs_[kAddrHigh / 4];
    const uint32_t low = regs_[kAddrLow / 4];
    const uint8_t own[6] = {uint8_t(high >> 8), uint8_t(high),     uint8_t(low >> 24),
                            uint8_t(low >> 16), uint8_t(low >> 8), uint8_t(low)};
    if (std::memcmp(frame.data(), own, 6) == 0) {
        return true;
    }
    const bool broadcast =
        std::all_of(frame.begin(), frame.begin() + 6, [](uint8_t b) { return b == 0xFF; });
    if (broadcast) {
        return true;
    }
    return (frame[0] & 1) != 0 && (regs_[kRxMode / 4] & 0x00080000) != 0;
}

// One frame into the ring; the UIC sources to pulse.
uint32_t Emac::ReceiveOne(const std::vector<uint8_t>& frame) {
    if (!(regs_[kMode0 / 4] & kRxEnable) || !(mal_[kRxCasr] & kChannel0)) {
        ++counters_.rxDisabled;
        return 0;
    }
    if (frame.size() < 14 || !Accepts(frame)) {
        ++counters_.rxFiltered;
        return 0;
    }
    uint8_t* d = hw::HostAddress(mal_[kRxCtp] + rxIndex_ * 8, 8);
    if (d == nullptr) {
        mal_[kRxDei] |= kChannel0;
        mal_[kRxCasr] &= ~kChannel0;
        return kIrqRxDescriptorError;
    }
    uint16_t control = Get16(d);
    if (!(control & kReady)) {
        ++counters_.rxOverruns;
        return 0;
    }
    const uint32_t capacity = (mal_[kRcbs] & 0xFF) * 16;
    std::vector<uint8_t> padded(frame);
    if (padded.size() < 60) {
        padded.resize(60, 0);
    }
    uint16_t status = injectedStatus_;
    injectedStatus_ = 0;
    size_t length = padded.size();
    if (length > capacity) {
        length = capacity;
        status |= kTooLong;
    }
    uint8_t* buffer = hw::HostAddress(Get32(d + 4), uint32_t(length));
    if (buffer == nullptr) {
        mal_[kRxDei] |= kChannel0;
        mal_[kRxCasr] &= ~kChannel0;
        return kIrqRxDescriptorError;
    }
    std::memcpy(buffer, padded.data(), length);
    Put16(d + 2, uint16_t(length));
    control = uint16_t((control & ~(kReady | 0x03FF)) | (status & 0x03FF));
    Put16(d, control);
    rxIndex_ = (control & kWrap) ? 0 : rxIndex_ + 1;
    ++counters_.framesReceived;
    mal_[kRxEob] |= kChannel0;
    return (control & kInterrupt) ? kIrqRxEob : 0;
}

void Emac::Transmit(std::vector<Delivery>* out, uint32_t* irq) {
    if (!(regs_[kMode0 / 4] & kTxEnable) || !(mal_[kTxCasr] & kChannel0)) {
        return;
    }
    for (unsigned guard = 0; guard < 256; ++guard) {
        uint8_t* d = hw::HostAddress(mal_[kTxCtp] + txIndex_ * 8, 8);
        if (d == nullptr) {
            mal_[kTxDei] |= kChannel0;
            mal_[kTxCasr] &= ~kChannel0;
            *irq |= kIrqTxDescriptorError;
            return;
        }
        const uint16_t control = Get16(d);
        if (!(control & kReady)) {
            return;
        }
        const uint16_t length = Get16(d + 2);
        const uint8_t* buffer = hw::HostAddress(Get32(d + 4), length);
        if (buffer == nullptr || length == 0) {
            mal_[kTxDei] |= kChannel0;
            mal_[kTxCasr] &= ~kChannel0;
            *irq |= kIrqTxDescriptorError;
            return;
        }
        Delivery delivery;
        delivery.frame.assign(buffer, buffer + length);
        if ((control & 0x0100) && delivery.frame.size() < 60) {
            delivery.frame.resize(60, 0);
        }
        out->push_back(std::move(delivery));
        Put16(d, uint16_t(control & ~kReady));
        txIndex_ = (control & kWrap) ? 0 : txIndex_ + 1;
        ++counters_.framesSent;
        mal_[kTxEob] |= kChannel0;
        if (control & kInterrupt) {
            *irq |= kIrqTxEob;
        }
    }
}

void Emac::Mdio(uint32_t value) {
    const unsigned reg = value & 0x1F;
    const unsigned address = (value >> 5) & 0x1F;
    uint32_t result = value & 0xFFFF;
    if (value & 0x1000) {
        uint16_t data = 0;
        if (phy_.Read(address, reg, &data)) {
            result = (uint32_t(data) << 16) | (result & 0x3FFF);
        } else {
            result |= 0x4000;
        }
    } else if (value & 0x2000) {
        if (!phy_.Write(address, reg, uint16_t(value >> 16))) {
            result |= 0x4000;
        }
        result |= value & 0xFFFF0000;
    }
    regs_[kStacr / 4] = (result & ~0x8000u) | (mdioStuck_ ? 0 : 0x8000u);
}

uint32_t Emac::Read(uint32_t offset, unsigned width) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (width != 4 || offset % 4 != 0) {
        return 0;
    }
    uint32_t value = regs_[offset / 4];
    if (offset == kMode0) {
        value |= kIdle;
    } else if (offset == kStacr) {
        value = mdioStuck_ ? (value & ~0x8000u) : (value | 0x8000u);
    }
    return value;
}

void Emac::Write(uint32_t offset, unsigned width, uint32_t value) {
    std::vector<Delivery> out;
    uint32_t irq = 0;
    Sink sink;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (width != 4 || offset % 4 != 0) {
            return;
        }
        if (offset == kMode0) {
            if (value & kSoftReset) {
                std::fill(std::begin(regs_), std::end(regs_), 0);
                return;
            }
            regs_[0] = value & ~kIdle;
        } else if (offset == kTxMode0) {
            if (value & 0x80000000) {
                Transmit(&out, &irq);
            }
        } else if (offset == kIsr) {
            regs_[offset / 4] &= ~value;
        } else if (offset == kStacr) {
            Mdio(value);
        } else {
            regs_[offset / 4] = value;
        }
        sink = sink_;
    }
    for (const Delivery& d : out) {
        if (sink) {
            sink(d.frame.data(), d.frame.size());
        }
    }
    if (irq != 0 && uic_ != nullptr) {
        uic_->Pulse(irq);
    }
}

uint32_t Emac::DcrRead(uint32_t reg) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (reg == kChipControl) {
        return chipControl_;
    }
    return reg >= kMalFirst && reg < kMalFirst + kMalCount ? mal_[reg - kMalFirst] : 0;
}

void Emac::DcrWrite(uint32_t reg, uint32_t value) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (reg == kChipControl) {
        chipControl_ = value;
        return;
    }
    if (reg < kMalFirst || reg >= kMalFirst + kMalCount) {
        return;
    }
    const uint32_t i = reg - kMalFirst;
    switch (i) {
        case kCfg:
            if (value & 0x80000000) {
                std::fill(std::begin(mal_), std::end(mal_), 0);
                txIndex_ = rxIndex_ = 0;
            } else {
                mal_[i] = value;
            }
            break;
        case kEsr:
        case kTxEob:
        case kTxDei:
        case kRxEob:
        case kRxDei:
            mal_[i] &= ~value;
            break;
        case kTxCasr:
        case kRxCasr:
            mal_[i] |= value;
            break;
        case kTxCarr:
            mal_[kTxCasr] &= ~value;
            txIndex_ = 0;
            break;
        case kRxCarr:
            mal_[kRxCasr] &= ~value;
            rxIndex_ = 0;
            break;
        case kTxCtp:
            mal_[i] = value;
            txIndex_ = 0;
            break;
        case kRxCtp:
            mal_[i] = value;
            rxIndex_ = 0;
            break;
        default:
            mal_[i] = value;
            break;
    }
}

void Emac::InjectRxStatus(uint16_t bits) {
    std::lock_guard<std::mutex> guard(mutex_);
    injectedStatus_ = bits;
}

void Emac::RaiseSystemError(uint32_t errorStatus) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        mal_[kEsr] |= errorStatus;
    }
    if (uic_ != nullptr) {
        uic_->Pulse(kIrqMalSystemError);
    }
}

void Emac::SetMdioStuck(bool stuck) {
    std::lock_guard<std::mutex> guard(mutex_);
    mdioStuck_ = stuck;
}

Emac::Counters Emac::GetCounters() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return counters_;
}

uint32_t Emac::Register(uint32_t offset) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return offset < kSize && offset % 4 == 0 ? regs_[offset / 4] : 0;
}

uint32_t Emac::Dcr(uint32_t reg) const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (reg == kChipControl) {
        return chipControl_;
    }
    return reg >= kMalFirst && reg < kMalFirst + kMalCount ? mal_[reg - kMalFirst] : 0;
}

}  // namespace sim
