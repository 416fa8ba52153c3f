#include "platform/sim/sign.h"

namespace sim {

class Sign::Strobe : public hw::Device {
public:
    uint32_t Read(uint32_t, unsigned width) override {
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    }
    void Write(uint32_t, unsigned, uint32_t) override { writes++; }
    uint32_t writes = 0;
};

Sign::Sign(SignConfig config)
    : config_(std::move(config)),
      ram_(new uint8_t[kDisplayDmaBufferSize]()),
      strobe_(std::make_unique<Strobe>()) {
    modules_.Configure(config_.modules, config_.lineLengths);
    epld_.SetModuleBus(&modules_);
    epld_.SetFrameOut(
        [this](uint16_t width, uint16_t height, const uint8_t* pixels, size_t size,
               uint16_t brightness) { sink_.Deliver(width, height, pixels, size, brightness); });
    dma_.SetDestination(
        [this](const uint8_t* bytes, size_t size) { epld_.ReceiveFrame(bytes, size); });
}

Sign::~Sign() {
    Detach();
    sink_.Stop();
}

bool Sign::Attach() {
    if (attached_) {
        return true;
    }
    attached_ = hw::Register(Epld::kBase, Epld::kSize, &epld_) &&
                hw::Register(kFrameStrobeRegister, 2, strobe_.get()) && dma_.Attach() &&
                hw::MapMemory(kDisplayDmaBuffer, ram_.get(), kDisplayDmaBufferSize);
    if (attached_ && !config_.boardDir.empty()) {
        attached_ = sink_.StartPng(config_.boardDir, config_.frameRing);
    }
    if (!attached_) {
        Detach();
    }
    return attached_;
}

void Sign::Detach() {
    hw::Unregister(&epld_);
    hw::Unregister(strobe_.get());
    dma_.Detach();
    hw::UnmapMemory(ram_.get());
    attached_ = false;
}

uint32_t Sign::Strobes() const {
    return strobe_->writes;
}

}  // namespace sim
