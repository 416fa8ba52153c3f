#include "platform/sim/dma_controller.h"

namespace sim {

DmaController::~DmaController() {
    Detach();
}

bool DmaController::Attach() {
    if (!attached_) {
        attached_ = hw::RegisterDcr(kControl, 4, this) && hw::RegisterDcr(kStatus, 1, this);
    }
    return attached_;
}

void DmaController::Detach() {
    hw::UnregisterDcr(this);
    attached_ = false;
}

void DmaController::SetCompletion(DmaCompletion mode, uint32_t polls) {
    mode_ = mode;
    polls_ = polls;
}

uint32_t DmaController::Register(uint32_t reg) const {
    switch (reg) {
        case kControl:
            return control_;
        case kCount:
            return count_;
        case kSource:
            return source_;
        case kStatus:
            return status_;
        default:
            return 0;
    }
}

void DmaController::Complete() {
    pending_ = false;
    const uint64_t bytes = uint64_t(count_) * 4;
    const uint8_t* data =
        bytes <= 0xFFFFFFFFu ? hw::HostAddress(source_, uint32_t(bytes)) : nullptr;
    if (data == nullptr) {
        bad_++;
    } else if (destination_) {
        destination_(data, size_t(bytes));
    }
    completed_++;
    status_ |= kTerminalCount0;
}

uint32_t DmaController::DcrRead(uint32_t reg) {
    if (reg == kStatus && pending_ && mode_ == DmaCompletion::kAfterPolls) {
        if (pollsLeft_ == 0 || --pollsLeft_ == 0) {
            Complete();
        }
    }
    return Register(reg);
}

void DmaController::DcrWrite(uint32_t reg, uint32_t value) {
    switch (reg) {
        case kControl:
            control_ = value;
            if ((value & kChannelEnable) != 0) {
                // A start while a transfer is stalled replaces it.
                started_++;
                pending_ = true;
                pollsLeft_ = polls_;
                if (mode_ == DmaCompletion::kAtOnce) {
                    Complete();
                }
            }
            break;
        case kCount:
            count_ = value;
            break;
        case kSource:
            source_ = value;
            break;
        case kStatus:
            status_ &= ~value;
            break;
        default:
            break;
    }
}

}  // namespace sim
