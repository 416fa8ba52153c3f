// The monitor's IPADD, NETMASK, GIPADD and ETHERADD texts are parsed without reading past their
// end, and a parsed address always stands for text of the right form.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/network_standin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    uint32_t address = 0;
    if (ParseDottedQuad(text.c_str(), &address) && std::strlen(text.c_str()) > 15) {
        std::abort();
    }
    uint8_t mac[6];
    if (ParseMacAddress(text.c_str(), mac) && std::strlen(text.c_str()) > 17) {
        std::abort();
    }
    uint32_t a = 0, m = 0, g = 0;
    ChooseNetworkAddresses(text.c_str(), text.c_str(), text.c_str(), &a, &m, &g);
    if ((a & m) != (g & m) || a == 0) {
        std::abort();
    }
    return 0;
}
