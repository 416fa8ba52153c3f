#pragma once
// The SCRIPT.XML reader: an optional XML declaration, the root <SCRIPT ...>, object elements
// <OBJ oid="1.3.6..." int="5"/> (or str="text", base64="...") each ended by "/>" and CR LF, and
// </SCRIPT>. Every element is applied as it is read, through oid_set_int, oid_set_octets or
// oid_set_base64 with notification and validation off; a setting the MIB refuses is skipped.

#include <cstdint>

inline constexpr int kScriptOk = 0;
inline constexpr int kScriptCorrupt = 11;

// kScriptOk when the whole script was read, kScriptCorrupt at the first fault (the settings read
// before it stay applied).
int ScriptParser(const char* text, uint32_t length);

// Parser states and tokens.
enum class ScriptState : uint8_t {
    kStart = 0,
    kDeclaration = 1,
    kBetweenElements = 2,
    kInElement = 3,
    kDone = 4,
};

enum class ScriptToken : uint8_t {
    kNone = 0,
    kDeclarationStart = 1,  // "<?"
    kDeclarationEnd = 2,    // "?>"
    kRootStart = 3,         // "<SCRIPT"
    kRootEnd = 4,           // "</SCRIPT>"
    kObjectStart = 5,       // "<OBJ"
    kOid = 6,               // "oid="
    kInt = 7,               // "int="
    kStr = 8,               // "str="
    kBase64 = 9,            // "base64="
    kObjectEnd = 10,        // "/>" and CR LF
};
