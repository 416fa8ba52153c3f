// Any bytes as an EPLD bitstream: parsed and loaded into the EPLD model without a fault.
#include <cstddef>
#include <cstdint>

#include "platform/sim/epld.h"
#include "platform/sim/epld_bitstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t version = 0;
    sim::ParseEpldBitstream(data, size, &version);
    sim::Epld epld;
    if (epld.Load(data, size)) {
        epld.Read(sim::Epld::kVersion, 2);
    }
    return 0;
}
