// Web template fields and posted forms: any template expands within the page buffer, and any
// form body is parsed within its bounds, every write naming an identifier of at most 40
// sub-identifiers with a value of at most 2000 bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "comm/http_pages.h"
#include "database/oid_access.h"
#include "runtime/debug_print.h"

namespace {

// Answers gets with fixed values and checks what is set.
class FixedEngine : public OidEngine {
public:
    bool GetInt(const uint32_t*, size_t count, int32_t* value) override {
        *value = static_cast<int32_t>(count) - 20;
        return count % 3 != 0;
    }
    bool GetOctets(const uint32_t*, size_t count, uint8_t* out, uint32_t room,
                   uint32_t* length) override {
        const uint32_t n = count * 97 < room ? static_cast<uint32_t>(count * 97) : room;
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = static_cast<uint8_t>('a' + i % 26);
        }
        *length = n;
        return true;
    }
    bool SetInt(const uint32_t*, size_t count, int32_t, uint32_t) override {
        Check(count, 0);
        return true;
    }
    bool SetOctets(const uint32_t*, size_t count, const uint8_t*, uint32_t length,
                   uint32_t) override {
        Check(count, length);
        return true;
    }

private:
    static void Check(size_t count, uint32_t length) {
        if (count == 0 || count > kOidMaxSubIds || length > kHttpFieldValueRoom) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FixedEngine engine;
    static bool ready = [] {
        DebugSetSink([](const char*) {});
        OidSetEngine(&engine);
        return true;
    }();
    (void)ready;
    if (size > 64 * 1024) {
        return 0;
    }
    const std::vector<char> text(data, data + size);
    // A small page buffer, so that the cut at its end is reached.
    static std::vector<char> page(4096);
    uint32_t used = 0;
    HttpExpandTemplate(text.data(), static_cast<uint32_t>(size), page.data(),
                       static_cast<uint32_t>(page.size()), &used);
    if (used > page.size()) {
        std::abort();
    }
    HttpProcessFormFields(text.data(), static_cast<uint32_t>(size));
    return 0;
}
