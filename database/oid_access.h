#pragma once
// Objects named by SNMP object identifier, for SCRIPT.XML and the web pages. The identifier is
// dotted text (any non-digit separates sub-identifiers, at most 40); each call runs one request
// through the MIB engine installed with OidSetEngine. The set functions switch the database's
// notification and validation for the calling thread only, as the flags ask (kDbSwapNotify,
// kDbSwapValidate), and restore them afterwards.

#include <cstddef>
#include <cstdint>

inline constexpr size_t kOidMaxSubIds = 40;

// One request of the MIB engine, its own set context (never an SNMP request's staging).
class OidEngine {
public:
    virtual ~OidEngine() = default;
    virtual bool GetInt(const uint32_t* oid, size_t count, int32_t* value) = 0;
    virtual bool GetOctets(const uint32_t* oid, size_t count, uint8_t* out, uint32_t room,
                           uint32_t* length) = 0;
    virtual bool SetInt(const uint32_t* oid, size_t count, int32_t value, uint32_t groupMask) = 0;
    virtual bool SetOctets(const uint32_t* oid, size_t count, const uint8_t* data, uint32_t length,
                           uint32_t groupMask) = 0;
};

// Null: every request fails.
void OidSetEngine(OidEngine* engine);
OidEngine* OidGetEngine();

// The sub-identifiers of a dotted identifier: false when empty or longer than kOidMaxSubIds.
bool OidParse(const char* text, size_t length, uint32_t* subIds, size_t* count);

bool oid_get_int(const char* oid, size_t length, int32_t* value);
bool oid_get_ip(const char* oid, size_t length, uint32_t* address);
// The octets, cut to room.
bool oid_get_octets(const char* oid, size_t length, uint8_t* out, uint32_t room, uint32_t* got);
// The octets (at most room of them) base64-encoded into text (room for 4 * ceil(n / 3) + 1).
bool oid_get_octets_base64(const char* oid, size_t length, char* text, uint32_t room,
                           uint32_t* got);
bool oid_set_int(const char* oid, size_t length, int32_t value, uint8_t dbFlags,
                 uint32_t groupMask);
bool oid_set_octets(const char* oid, size_t length, const uint8_t* data, uint32_t dataLength,
                    uint8_t dbFlags, uint32_t groupMask);
// Rewrites decoded bytes before they are written (the web's activation fill).
using OidOctetFilter = void (*)(uint8_t* bytes, uint32_t* length);
bool oid_set_base64(const char* oid, size_t length, const char* text, uint32_t textLength,
                    uint8_t dbFlags, uint32_t groupMask, OidOctetFilter filter);
