#include "platform/sim/uic.h"

namespace sim {

Uic::~Uic() {
    Detach();
}

bool Uic::Attach() {
    if (attached_) {
        return true;
    }
    attached_ = hw::RegisterDcr(kFirstDcr, kDcrCount, this);
    return attached_;
}

void Uic::Detach() {
    if (attached_) {
        hw::UnregisterDcr(this);
        attached_ = false;
    }
}

void Uic::SetAssertHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
}

void Uic::Pulse(uint32_t mask) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        status_ |= mask;
    }
    Changed();
}

void Uic::SetLevel(uint32_t mask, bool asserted) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (asserted) {
            levels_ |= mask;
            status_ |= mask;
        } else {
            levels_ &= ~mask;
        }
    }
    Changed();
}

uint32_t Uic::Status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

uint32_t Uic::Enable() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return enable_;
}

uint32_t Uic::MaskedStatus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_ & enable_;
}

uint32_t Uic::Acknowledged(unsigned bit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bit < 32 ? acks_[bit] : 0;
}

uint32_t Uic::DcrRead(uint32_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (reg) {
        case kStatus:
            return status_;
        case kEnable:
            return enable_;
        case kCritical:
            return critical_;
        case kPolarity:
            return polarity_;
        case kTrigger:
            return trigger_;
        case kMaskedStatus:
            return status_ & enable_;
        case kVectorConfig:
            return vectorConfig_;
        default:
            return 0;
    }
}

void Uic::DcrWrite(uint32_t reg, uint32_t value) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        switch (reg) {
            case kStatus:
                for (unsigned bit = 0; bit < 32; ++bit) {
                    if ((value & (1u << bit)) != 0) {
                        ++acks_[bit];
                    }
                }
                status_ &= ~(value & ~levels_);
                break;
            case kEnable:
                enable_ = value;
                changed = true;
                break;
            case kCritical:
                critical_ = value;
                break;
            case kPolarity:
                polarity_ = value;
                break;
            case kTrigger:
                trigger_ = value;
                break;
            case kVectorConfig:
                vectorConfig_ = value;
                break;
            default:
                break;
        }
    }
    if (changed) {
        Changed();
    }
}

void Uic::Changed() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if ((status_ & enable_) == 0 || !hook_) {
            return;
        }
        hook = hook_;
    }
    hook();
}

}  // namespace sim
