#pragma once
// Helpers shared by the codec tests: hex text, fixture files, debug capture.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ntcip/snmp_compat.h"
#include "ntcip/snmp_pdu.h"
#include "runtime/debug_print.h"

namespace snmp_test {

using Bytes = std::vector<uint8_t>;

// "30 0A 06" -> bytes; blanks are ignored.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::string ToHex(const uint8_t* data, size_t length) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        if (i) {
            out += ' ';
        }
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
    return out;
}

inline std::string ToHex(const Bytes& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

// A request captured from net-snmp, kept under tests/data.
inline Bytes Fixture(const std::string& name) {
    std::ifstream in(std::string(DMS_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// PDUs are far too large for a test's stack.
inline std::unique_ptr<snmp_pdu> NewPdu() {
    return std::make_unique<snmp_pdu>();
}

// Collects debug output while alive; restores the console and trace level after.
class DebugCapture {
public:
    explicit DebugCapture(unsigned level = 0) : savedLevel_(DebugGetTraceLevel()) {
        Text().clear();
        DebugSetTraceLevel(level);
        DebugSetSink([](const char* text) { Text() += text; });
    }
    ~DebugCapture() {
        DebugSetSink(nullptr);
        DebugSetTraceLevel(savedLevel_);
    }
    const std::string& text() const { return Text(); }

private:
    static std::string& Text() {
        static std::string text;
        return text;
    }
    unsigned savedLevel_;
};

// Compatibility mode on for one scope.
class CompatibilityMode {
public:
    CompatibilityMode() { snmp_compatibility_mode_set(true); }
    ~CompatibilityMode() { snmp_compatibility_mode_set(false); }
};

}  // namespace snmp_test
