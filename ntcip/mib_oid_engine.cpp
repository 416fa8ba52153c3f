#include "ntcip/mib_oid_engine.h"

#include <cstring>

#include "ntcip/mib_engine.h"
#include "ntcip/snmp_engine_lock.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr const char* kWho = "oid_access";

// The request record of these requests (guarded by the engine lock).
snmp_pdu g_request;

struct Answer {
    uintptr_t* value = nullptr;
    uint8_t type = 0;
    uint32_t length = 0;
    uint8_t access = 0;
    int status = kMibNoObject;
};

// One walk of the varbind named by oid; true when the engine answered it.
bool Walk(const uint32_t* oid, size_t count, int mode, uint16_t syntax, Answer* answer) {
    if (count == 0 || count > kSnmpMaxNameLength) {
        return false;
    }
    std::memset(&g_request.request, 0, sizeof g_request.request);
    g_request.type = mode == kMibSet ? kSnmpSetRequest : kSnmpGetRequest;
    g_request.count = 1;
    snmp_object& v = g_request.varbinds[0];
    std::memset(v.name, 0, sizeof v.name);
    std::memcpy(v.name, oid, count * sizeof oid[0]);
    v.name_length = static_cast<uint32_t>(count);
    v.syntax = syntax;
    v.handler_value = 0;
    uint32_t length = v.name_length;
    answer->type = static_cast<uint8_t>(syntax);  // in: the value's syntax; out: the row type
    answer->value = getStatPtr(&v, &length, &answer->type, &answer->length, &answer->access, mode,
                               &g_request, 0, &answer->status);
    return answer->value != nullptr && answer->status == kMibFound &&
           g_request.request.error_status == kSnmpNoError;
}

bool IsIntegerType(uint8_t type) {
    return type == kMibTypeInteger || type == kMibTypeCounter || type == kMibTypeGauge ||
           type == kMibTypeTimeTicks || type == kMibTypeIpAddressRo || type == kMibTypeIpAddress;
}

// The staging of a request in progress, kept across one of ours.
class StagingScope {
public:
    explicit StagingScope(uint32_t groupMask)
        : commit_(g_SnmpSetCommit),
          value_(g_SnmpSetInt),
          length_(g_SnmpSetLength),
          mask_(g_SnmpGroupMask) {
        std::memcpy(buffer_, g_SnmpSetBuffer, sizeof buffer_);
        g_SnmpSetCommit = 1;
        g_SnmpGroupMask = groupMask;
    }
    ~StagingScope() {
        g_SnmpSetCommit = commit_;
        g_SnmpSetInt = value_;
        g_SnmpSetLength = length_;
        g_SnmpGroupMask = mask_;
        std::memcpy(g_SnmpSetBuffer, buffer_, sizeof buffer_);
    }
    StagingScope(const StagingScope&) = delete;
    StagingScope& operator=(const StagingScope&) = delete;

private:
    uint8_t commit_;
    uint32_t value_;
    uint32_t length_;
    uint32_t mask_;
    uint8_t buffer_[kSnmpSetBufferSize];
};

class EngineLock {
public:
    EngineLock() { snmp_engine_lock(kWho); }
    ~EngineLock() { snmp_engine_unlock(kWho); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;
};

uint16_t SyntaxOf(uint8_t type) {
    switch (type) {
        case kMibTypeOid:
            return kSnmpObjectId;
        case kMibTypeOctets:
            return kSnmpOctetString;
        case kMibTypeOpaque:
            return kSnmpOpaque;
        case kMibTypeIpAddressRo:
        case kMibTypeIpAddress:
            return kSnmpIpAddress;
        case kMibTypeCounter:
            return kSnmpCounter;
        case kMibTypeGauge:
            return kSnmpGauge;
        case kMibTypeTimeTicks:
            return kSnmpTimeTicks;
        default:
            return kSnmpInteger;
    }
}

}  // namespace

CMibOidEngine& MibOidEngine() {
    static CMibOidEngine engine;
    return engine;
}

bool CMibOidEngine::GetInt(const uint32_t* oid, size_t count, int32_t* value) {
    EngineLock lock;
    StagingScope staging(0xFFFFFFFF);
    Answer a;
    if (!Walk(oid, count, kMibGet, kSnmpNull, &a) || !IsIntegerType(a.type)) {
        return false;
    }
    *value = static_cast<int32_t>(*a.value);
    return true;
}

bool CMibOidEngine::GetOctets(const uint32_t* oid, size_t count, uint8_t* out, uint32_t room,
                              uint32_t* length) {
    EngineLock lock;
    StagingScope staging(0xFFFFFFFF);
    Answer a;
    if (!Walk(oid, count, kMibGet, kSnmpNull, &a) ||
        (a.type != kMibTypeOctets && a.type != kMibTypeOpaque && a.type != kMibTypeOid)) {
        return false;
    }
    const auto* source = reinterpret_cast<const uint8_t*>(*a.value);
    const uint32_t n = source == nullptr ? 0 : (a.length < room ? a.length : room);
    if (n > 0) {
        std::memcpy(out, source, n);
    }
    *length = n;
    return true;
}

bool CMibOidEngine::SetInt(const uint32_t* oid, size_t count, int32_t value, uint32_t groupMask) {
    EngineLock lock;
    StagingScope staging(groupMask);
    Answer row;
    if (!Walk(oid, count, kMibGet, kSnmpNull, &row) || !IsIntegerType(row.type)) {
        return false;
    }
    g_SnmpSetInt = static_cast<uint32_t>(value);
    g_SnmpSetLength = 4;
    Answer a;
    return Walk(oid, count, kMibSet, SyntaxOf(row.type), &a) && a.access != kMibReadOnly;
}

bool CMibOidEngine::SetOctets(const uint32_t* oid, size_t count, const uint8_t* data,
                              uint32_t length, uint32_t groupMask) {
    if (length > kSnmpSetBufferSize) {
        return false;
    }
    EngineLock lock;
    StagingScope staging(groupMask);
    Answer row;
    if (!Walk(oid, count, kMibGet, kSnmpNull, &row) || IsIntegerType(row.type)) {
        return false;
    }
    if (row.type == kMibTypeOid && (length % 4 != 0 || length / 4 > kOidMaxSubIds)) {
        return false;  // whole sub-identifiers only, at most 40
    }
    if (length > 0) {
        std::memcpy(g_SnmpSetBuffer, data, length);
    }
    g_SnmpSetLength = length;
    Answer a;
    return Walk(oid, count, kMibSet, SyntaxOf(row.type), &a) && a.access != kMibReadOnly;
}
