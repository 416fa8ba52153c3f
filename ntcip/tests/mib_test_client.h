#pragma once
// A client of the MIB engine for handler tests: gets, get-nexts and two-pass sets of one varbind,
// walked with getStatPtr as request processing walks them.

#include <cstring>
#include <memory>
#include <string>

#include "database/oid_access.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_set_staging.h"

namespace mib_test {

struct Result {
    uint32_t error = 0;  // SNMP error status: 0, kSnmpNoSuchName or kSnmpBadValue
    uint32_t word = 0;   // integer answer
    std::string text;    // octet-string answer
    std::string name;    // answered name (get-next)
};

inline std::string NameText(const uint32_t* name, uint32_t length) {
    std::string out;
    for (uint32_t i = 0; i < length; ++i) {
        out += (i ? "." : "") + std::to_string(name[i]);
    }
    return out;
}

class MibClient {
public:
    MibClient() : pdu_(std::make_unique<snmp_pdu>()) { MibInit(nullptr); }

    Result Get(const std::string& oid) { return Walk(oid, kMibGet, kSnmpNull); }
    Result GetNext(const std::string& oid) { return Walk(oid, kMibGetNext, kSnmpNull); }
    // Validate pass, then commit pass when the first passed, with the requester's group mask.
    Result SetInt(const std::string& oid, uint32_t value, uint32_t mask = 0xFFFFFFFF,
                  uint16_t syntax = kSnmpInteger) {
        g_SnmpSetInt = value;
        g_SnmpSetLength = 4;
        return Set(oid, syntax, mask);
    }
    Result SetText(const std::string& oid, const std::string& text, uint32_t mask = 0xFFFFFFFF) {
        std::memcpy(g_SnmpSetBuffer, text.data(), text.size());
        g_SnmpSetLength = static_cast<uint32_t>(text.size());
        return Set(oid, kSnmpOctetString, mask);
    }

private:
    Result Set(const std::string& oid, uint16_t syntax, uint32_t mask) {
        g_SnmpGroupMask = mask;
        g_SnmpSetCommit = 0;
        Result first = Walk(oid, kMibSet, syntax);
        g_SnmpSetCommit = 1;
        Result result = first.error == 0 ? Walk(oid, kMibSet, syntax) : first;
        g_SnmpGroupMask = 0xFFFFFFFF;
        return result;
    }

    Result Walk(const std::string& oid, int mode, uint16_t syntax) {
        std::memset(&pdu_->request, 0, sizeof pdu_->request);
        pdu_->count = 1;
        snmp_object& v = pdu_->varbinds[0];
        std::memset(v.name, 0, sizeof v.name);
        size_t count = 0;
        OidParse(oid.data(), oid.size(), v.name, &count);
        v.syntax = syntax;
        uint32_t length = static_cast<uint32_t>(count);
        uint8_t type = static_cast<uint8_t>(syntax);
        uint32_t value_length = 0;
        uint8_t access = 0;
        int status = kMibNoObject;
        uintptr_t* answer =
            getStatPtr(&v, &length, &type, &value_length, &access, mode, pdu_.get(), 0, &status);
        Result r;
        r.name = NameText(v.name, length);
        r.error = pdu_->request.error_status;
        if (r.error == 0 && status == kMibBadValue) {
            r.error = kSnmpBadValue;
        } else if (r.error == 0 && (answer == nullptr || status != kMibFound)) {
            r.error = kSnmpNoSuchName;
        } else if (r.error == 0 && mode == kMibSet && access == kMibReadOnly) {
            r.error = kSnmpNoSuchName;  // a set of a read-only row is answered as a get
        }
        if (answer == nullptr) {
            return r;
        }
        if (type == kMibTypeOctets || type == kMibTypeOpaque || type == kMibTypeOid) {
            const auto* text = reinterpret_cast<const char*>(*answer);
            r.text.assign(text == nullptr ? "" : text, text == nullptr ? 0 : value_length);
        } else {
            r.word = static_cast<uint32_t>(*answer);
        }
        return r;
    }

    std::unique_ptr<snmp_pdu> pdu_;
};

}  // namespace mib_test
