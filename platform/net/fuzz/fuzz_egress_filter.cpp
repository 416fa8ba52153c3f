// Any frame the controller sends goes through the egress guard: it must decide without reading
// outside the frame.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/net/egress_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static net::EgressFilter filter(0x0A000202, false, nullptr);
    std::vector<uint8_t> frame(data, data + size);  // exact size, so overreads are caught
    filter.Pass(frame.data(), frame.size());
    return 0;
}
