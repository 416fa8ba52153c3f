// SCRIPT.XML reader: any text is parsed within its bounds, every setting it hands on has an
// identifier of at most 99 characters and a value of at most 249, and it answers 0 or 11.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "database/oid_access.h"
#include "database/script_parser.h"
#include "runtime/debug_print.h"

namespace {

// Records nothing but checks what it is handed.
class CheckingEngine : public OidEngine {
public:
    bool GetInt(const uint32_t*, size_t, int32_t*) override { return false; }
    bool GetOctets(const uint32_t*, size_t, uint8_t*, uint32_t, uint32_t*) override {
        return false;
    }
    bool SetInt(const uint32_t*, size_t count, int32_t, uint32_t) override {
        Check(count);
        return true;
    }
    bool SetOctets(const uint32_t*, size_t count, const uint8_t* data, uint32_t length,
                   uint32_t) override {
        Check(count);
        if (length > 249 || (length > 0 && data == nullptr)) {
            std::abort();
        }
        return true;
    }

private:
    static void Check(size_t count) {
        if (count == 0 || count > kOidMaxSubIds) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CheckingEngine engine;
    static bool ready = [] {
        DebugSetSink([](const char*) {});
        OidSetEngine(&engine);
        return true;
    }();
    (void)ready;
    if (size > 0x40000) {
        return 0;
    }
    // Exactly the bytes read, with nothing after them.
    std::vector<char> text(data, data + size);
    const int result = ScriptParser(text.data(), static_cast<uint32_t>(size));
    if (result != kScriptOk && result != kScriptCorrupt) {
        std::abort();
    }
    return 0;
}
