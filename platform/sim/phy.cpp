#include "platform/sim/phy.h"

namespace sim {

uint16_t Phy::Status() {
    ++statusReads_;
    if (negotiating_ && link_) {
        if (readsLeft_ > 0) {
            --readsLeft_;
        }
        if (readsLeft_ == 0) {
            negotiating_ = false;
            complete_ = true;
        }
    }
    uint16_t status = uint16_t(capabilities_ | kAutoNegAbility);
    status |= link_ ? kLinkUp : 0;
    status |= complete_ ? kAutoNegComplete : 0;
    status |= remoteFault_ ? kRemoteFault : 0;
    return status;
}

bool Phy::Read(unsigned address, unsigned reg, uint16_t* value) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (absent_ || address != 1) {
        return false;
    }
    switch (reg) {
        case 0:
            *value = control_;
            return true;
        case 1:
            *value = Status();
            return true;
        case 4:
            *value = advertisement_;
            return true;
        case 5:
            *value = complete_ && link_ ? partner_ : 0;
            return true;
        case 0x10:
            *value = vendor_;
            return true;
        default:
            return false;
    }
}

bool Phy::Write(unsigned address, unsigned reg, uint16_t value) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (absent_ || address != 1) {
        return false;
    }
    switch (reg) {
        case 0:
            if (value & 0x8000) {  // reset (self-clearing)
                control_ = 0x1000;
                advertisement_ = 0x01E1;
                vendor_ = 0;
                complete_ = false;
                negotiating_ = false;
                return true;
            }
            control_ = uint16_t(value & ~0x0200);
            if ((value & 0x1200) == 0x1200) {
                ++negotiations_;
                negotiating_ = true;
                complete_ = false;
                readsLeft_ = negotiationReads_;
            }
            return true;
        case 4:
            advertisement_ = value;
            return true;
        case 0x10:
            vendor_ = value;
            return true;
        case 1:
        case 5:
            return true;  // read only
        default:
            return false;
    }
}

void Phy::SetLink(bool up) {
    std::lock_guard<std::mutex> guard(mutex_);
    link_ = up;
    if (!up) {
        complete_ = false;
    } else if (control_ & 0x1000) {
        negotiating_ = true;
        readsLeft_ = negotiationReads_;
    }
}

void Phy::SetPartnerAbility(uint16_t ability) {
    std::lock_guard<std::mutex> guard(mutex_);
    partner_ = ability;
}

void Phy::SetCapabilities(uint16_t status) {
    std::lock_guard<std::mutex> guard(mutex_);
    capabilities_ = uint16_t(status & kCapabilities);
}

void Phy::SetAutoNegReads(unsigned reads) {
    std::lock_guard<std::mutex> guard(mutex_);
    negotiationReads_ = reads;
}

void Phy::SetRemoteFault(bool fault) {
    std::lock_guard<std::mutex> guard(mutex_);
    remoteFault_ = fault;
}

void Phy::SetAbsent(bool absent) {
    std::lock_guard<std::mutex> guard(mutex_);
    absent_ = absent;
}

uint16_t Phy::Control() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return control_;
}

uint16_t Phy::Advertisement() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return advertisement_;
}

uint16_t Phy::Vendor() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return vendor_;
}

unsigned Phy::Negotiations() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return negotiations_;
}

unsigned Phy::StatusReads() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return statusReads_;
}

}  // namespace sim
