#include "database/oid_access.h"

#include <vector>

#include "database/write_mode_scope.h"
#include "runtime/base64.h"
#include "runtime/text_util.h"

namespace {

OidEngine* g_engine = nullptr;

// The calling thread's notification and validation as the flags ask, for one request.
class ControlFlagScope {
public:
    explicit ControlFlagScope(uint8_t flags) { db_swap_control_flags(flags, &saved_); }
    ~ControlFlagScope() { db_swap_control_flags(saved_, nullptr); }
    ControlFlagScope(const ControlFlagScope&) = delete;
    ControlFlagScope& operator=(const ControlFlagScope&) = delete;

private:
    uint8_t saved_ = 0;
};

}  // namespace

void OidSetEngine(OidEngine* engine) {
    g_engine = engine;
}

OidEngine* OidGetEngine() {
    return g_engine;
}

bool OidParse(const char* text, size_t length, uint32_t* subIds, size_t* count) {
    if (text == nullptr || subIds == nullptr || count == nullptr) {
        return false;
    }
    *count = 0;
    return ParseDecimalList(text, length, subIds, kOidMaxSubIds, count) == kParseOk && *count > 0;
}

bool oid_get_int(const char* oid, size_t length, int32_t* value) {
    uint32_t ids[kOidMaxSubIds];
    size_t n = 0;
    return value != nullptr && g_engine != nullptr && OidParse(oid, length, ids, &n) &&
           g_engine->GetInt(ids, n, value);
}

bool oid_get_ip(const char* oid, size_t length, uint32_t* address) {
    int32_t value = 0;
    if (address == nullptr || !oid_get_int(oid, length, &value)) {
        return false;
    }
    *address = static_cast<uint32_t>(value);
    return true;
}

bool oid_get_octets(const char* oid, size_t length, uint8_t* out, uint32_t room, uint32_t* got) {
    uint32_t ids[kOidMaxSubIds];
    size_t n = 0;
    if (out == nullptr || got == nullptr || g_engine == nullptr ||
        !OidParse(oid, length, ids, &n)) {
        return false;
    }
    *got = 0;
    if (!g_engine->GetOctets(ids, n, out, room, got)) {
        return false;
    }
    if (*got > room) {
        *got = room;
    }
    return true;
}

bool oid_get_octets_base64(const char* oid, size_t length, char* text, uint32_t room,
                           uint32_t* got) {
    if (text == nullptr || got == nullptr) {
        return false;
    }
    std::vector<uint8_t> octets(room);
    uint32_t n = 0;
    if (!oid_get_octets(oid, length, octets.data(), room, &n)) {
        return false;
    }
    const size_t textRoom = (static_cast<size_t>(room) + 2) / 3 * 4 + 1;
    size_t written = 0;
    if (Base64Encode(octets.data(), n, text, textRoom, &written) != kBase64Ok) {
        return false;
    }
    *got = static_cast<uint32_t>(written);
    return true;
}

bool oid_set_int(const char* oid, size_t length, int32_t value, uint8_t dbFlags,
                 uint32_t groupMask) {
    uint32_t ids[kOidMaxSubIds];
    size_t n = 0;
    if (g_engine == nullptr || !OidParse(oid, length, ids, &n)) {
        return false;
    }
    ControlFlagScope flags(dbFlags);
    return g_engine->SetInt(ids, n, value, groupMask);
}

bool oid_set_octets(const char* oid, size_t length, const uint8_t* data, uint32_t dataLength,
                    uint8_t dbFlags, uint32_t groupMask) {
    uint32_t ids[kOidMaxSubIds];
    size_t n = 0;
    if (g_engine == nullptr || (data == nullptr && dataLength != 0) ||
        !OidParse(oid, length, ids, &n)) {
        return false;
    }
    ControlFlagScope flags(dbFlags);
    return g_engine->SetOctets(ids, n, data, dataLength, groupMask);
}

bool oid_set_base64(const char* oid, size_t length, const char* text, uint32_t textLength,
                    uint8_t dbFlags, uint32_t groupMask, OidOctetFilter filter) {
    if (text == nullptr && textLength != 0) {
        return false;
    }
    std::vector<uint8_t> bytes(2 * static_cast<size_t>(textLength) + 8);
    size_t decoded = 0;
    if (Base64Decode(text, textLength, bytes.data(), bytes.size(), &decoded) != kBase64Ok) {
        return false;
    }
    uint32_t n = static_cast<uint32_t>(decoded);
    if (filter != nullptr) {
        filter(bytes.data(), &n);
        if (n > bytes.size()) {
            n = static_cast<uint32_t>(bytes.size());
        }
    }
    return oid_set_octets(oid, length, bytes.data(), n, dbFlags, groupMask);
}
