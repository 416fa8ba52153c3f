#include "platform/sim/epld.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/epld_bitstream.h"
#include "platform/sim/module_bus.h"

namespace sim {

bool Epld::Load(const uint8_t* bitstream, size_t size) {
    programmed_ = false;
    uint8_t version = 0;
    if (!ParseEpldBitstream(bitstream, size, &version)) {
        return false;
    }
    std::memset(regs_, 0, sizeof regs_);
    version_ = version;
    readBack_ = 0;
    data_ = 0;
    answer_ = 0;
    programmed_ = true;
    loads_++;
    return true;
}

uint16_t Epld::Register(uint32_t offset) const {
    return offset < kSize ? regs_[offset / 2] : 0xFFFF;
}

uint16_t Epld::ReadRegister(uint32_t offset) const {
    switch (offset) {
        case kMemoryMap:
            return memoryMap_;
        case kColumns:
            return regs_[kWidth / 2];
        case kRows:
            return regs_[kHeight / 2];
        case kVersion:
            return version_;
        case kData:
            return data_;
        case kStatus:
            return uint16_t(answer_ << 8 | (regs_[kStatus / 2] & 0xFF));
        default:
            return regs_[offset / 2];
    }
}

uint32_t Epld::Read(uint32_t offset, unsigned width) {
    if (!programmed_ || width != 2 || offset % 2 != 0 || offset >= kSize) {
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    }
    return ReadRegister(offset);
}

void Epld::Write(uint32_t offset, unsigned width, uint32_t value) {
    if (!programmed_ || width != 2 || offset % 2 != 0 || offset >= kSize) {
        return;
    }
    regs_[offset / 2] = uint16_t(value);
    if (offset == kControl) {
        Control(uint16_t(value));
    }
}

// Module-bus commands run when the control register starts them.
void Epld::Control(uint16_t value) {
    const uint16_t command = regs_[kCommand / 2];
    const uint16_t address = regs_[kAddress / 2];
    const unsigned code = command & 0xFF;
    const unsigned argument = command >> 8;
    if (bus_ == nullptr) {
        answer_ = 0;
        data_ = 0;
        return;
    }
    if (value == kStartCommand) {
        if (code == 0x40) {
            answer_ = bus_->Query(argument, address & 0xFF);
        } else if (code % 8 == 0 && code >= 8 && code <= 8 * 15) {
            readBack_ =
                bus_->TestReadBack(argument, address & 0xFF, code / 8 - 1, uint8_t(address >> 8));
        }
    } else if (value == kStartWrite) {
        if (code == 8) {
            bus_->SelectChannel(argument, address & 0xFF, address >> 8);
        }
    } else if (value == kSelectReadBack) {
        data_ = readBack_;
    } else {
        data_ = bus_->ResultWord(value);
    }
}

void Epld::ReceiveFrame(const uint8_t* bytes, size_t size) {
    if (!programmed_) {
        return;
    }
    const uint16_t width = regs_[kWidth / 2];
    const uint16_t height = regs_[kHeight / 2];
    const size_t need = size_t(width) * height * 3;
    const uint8_t* pixels = bytes;
    if (bytes == nullptr || size < need) {
        frame_.assign(need, 0);
        if (bytes != nullptr) {
            std::memcpy(frame_.data(), bytes, size);
        }
        pixels = frame_.data();
    }
    frames_++;
    if (frameOut_) {
        frameOut_(width, height, pixels, need, regs_[kBrightness / 2]);
    }
}

}  // namespace sim
