#pragma once
// The simulated sign of one board: the display EPLD on the register bus, DMA channel 0, the
// chains of display modules on the module bus, the frame sink, and the board RAM set aside for
// the display's DMA buffer. Attach places the devices on the buses; the EPLD is loaded through
// the monitor's EPLD-load service (its hook is Epld::Load).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/dma_controller.h"
#include "platform/sim/epld.h"
#include "platform/sim/frame_sink.h"
#include "platform/sim/hw.h"
#include "platform/sim/module_bus.h"

namespace sim {

// Board RAM of the display DMA buffer (256 KB) and the frame strobe register.
inline constexpr uint32_t kDisplayDmaBuffer = 0x04000000;
inline constexpr uint32_t kDisplayDmaBufferSize = 0x40000;
inline constexpr uint32_t kFrameStrobeRegister = 0xF0200020;

struct SignConfig {
    ModuleKind modules = ModuleKind::k8x8;
    std::vector<unsigned> lineLengths{3, 3};  // the factory geometry: 16 x 24 pixels
    std::string boardDir;                     // empty: no PNG written
    unsigned frameRing = 0;
};

class Sign {
public:
    explicit Sign(SignConfig config = {});
    ~Sign();
    Sign(const Sign&) = delete;
    Sign& operator=(const Sign&) = delete;

    bool Attach();
    void Detach();

    Epld& GetEpld() { return epld_; }
    DmaController& Dma() { return dma_; }
    ModuleBus& Modules() { return modules_; }
    FrameSink& Sink() { return sink_; }
    uint8_t* DmaRam() { return ram_.get(); }
    // Writes of the frame strobe register.
    uint32_t Strobes() const;

private:
    class Strobe;
    SignConfig config_;
    Epld epld_;
    DmaController dma_;
    ModuleBus modules_;
    FrameSink sink_;
    std::unique_ptr<uint8_t[]> ram_;
    std::unique_ptr<Strobe> strobe_;
    bool attached_ = false;
};

}  // namespace sim
