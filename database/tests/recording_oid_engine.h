#pragma once
// An OID engine that records every request and answers gets from a small table.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "database/oid_access.h"
#include "database/write_mode_scope.h"

class RecordingOidEngine : public OidEngine {
public:
    struct Set {
        std::string oid;     // dotted
        std::string value;   // decimal for integers, the octets for strings
        uint8_t suppressed;  // the thread's suppressed switches during the request
        bool operator==(const Set&) const = default;
    };

    static std::string Dotted(const uint32_t* oid, size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i) {
            text += (i ? "." : "") + std::to_string(oid[i]);
        }
        return text;
    }
    bool GetInt(const uint32_t* oid, size_t count, int32_t* value) override {
        auto it = ints.find(Dotted(oid, count));
        if (it == ints.end()) {
            return false;
        }
        *value = it->second;
        return true;
    }
    bool GetOctets(const uint32_t* oid, size_t count, uint8_t* out, uint32_t room,
                   uint32_t* length) override {
        auto it = texts.find(Dotted(oid, count));
        if (it == texts.end()) {
            return false;
        }
        *length = static_cast<uint32_t>(it->second.size() < room ? it->second.size() : room);
        it->second.copy(reinterpret_cast<char*>(out), *length);
        return true;
    }
    bool SetInt(const uint32_t* oid, size_t count, int32_t value, uint32_t) override {
        sets.push_back({Dotted(oid, count), std::to_string(value), DbThreadSuppressed()});
        ints[Dotted(oid, count)] = value;
        return accept;
    }
    bool SetOctets(const uint32_t* oid, size_t count, const uint8_t* data, uint32_t length,
                   uint32_t) override {
        std::string value(reinterpret_cast<const char*>(data), length);
        sets.push_back({Dotted(oid, count), value, DbThreadSuppressed()});
        texts[Dotted(oid, count)] = value;
        return accept;
    }

    std::map<std::string, int32_t> ints;
    std::map<std::string, std::string> texts;
    std::vector<Set> sets;
    bool accept = true;
};
