#include "database/script_parser.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "database/oid_access.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kOidRoom = 100;    // at most 99 characters
constexpr uint32_t kValueRoom = 250;  // at most 249 characters
constexpr uint8_t kScriptDbFlags = 0;
constexpr uint32_t kScriptGroupMask = 0xFFFFFFFF;

class Parser {
public:
    Parser(const char* text, uint32_t length) : text_(text), length_(length) {}
    int Run();

private:
    ScriptToken NextToken(ScriptState state);
    ScriptToken StartToken();
    ScriptToken DeclarationToken();
    ScriptToken ElementStartToken();
    ScriptToken AttributeToken();
    bool At(const char* word) const;  // case-insensitive, at the read position
    bool SkipTo(char c);
    // The quoted text at the read position into out (room - 1 characters at most).
    bool ReadQuoted(char* out, uint32_t room, uint32_t* length);
    bool ApplyValue(ScriptToken token);

    const char* text_;
    uint32_t length_;
    uint32_t pos_ = 0;
    char oid_[kOidRoom] = {};
    uint32_t oidLength_ = 0;
    char value_[kValueRoom] = {};
    uint32_t valueLength_ = 0;
};

bool Parser::At(const char* word) const {
    const uint32_t n = static_cast<uint32_t>(std::strlen(word));
    if (n > length_ - pos_) {
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(text_[pos_ + i])) !=
            std::toupper(static_cast<unsigned char>(word[i]))) {
            return false;
        }
    }
    return true;
}

bool Parser::SkipTo(char c) {
    while (pos_ < length_ && text_[pos_] != c) {
        ++pos_;
    }
    return pos_ < length_;
}

ScriptToken Parser::StartToken() {
    if (!SkipTo('<')) {
        return ScriptToken::kNone;
    }
    if (At("<?")) {
        pos_ += 2;
        return ScriptToken::kDeclarationStart;
    }
    if (At("<SCRIPT")) {
        pos_ += 7;
        return ScriptToken::kRootStart;
    }
    return ScriptToken::kNone;
}

ScriptToken Parser::DeclarationToken() {
    while (SkipTo('?')) {
        if (At("?>")) {
            pos_ += 2;
            SkipTo('<');
            return ScriptToken::kDeclarationEnd;
        }
        ++pos_;
    }
    DebugPrint("\nInvalid Header\n");
    return ScriptToken::kNone;
}

ScriptToken Parser::ElementStartToken() {
    if (!SkipTo('<')) {
        DebugPrint("\nInvalid Script Tag Handler \n");
        return ScriptToken::kNone;
    }
    if (At("<OBJ")) {
        pos_ += 4;
        return ScriptToken::kObjectStart;
    }
    if (At("</SCRIPT>")) {
        pos_ += 9;
        return ScriptToken::kRootEnd;
    }
    ++pos_;
    DebugPrint("\nNo token found\n");
    return ScriptToken::kNone;
}

ScriptToken Parser::AttributeToken() {
    if (pos_ < length_ && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
        ++pos_;
    }
    if (pos_ >= length_) {
        DebugPrint("\nInvalid Object Tag Handler \n");
        return ScriptToken::kNone;
    }
    static constexpr struct {
        const char* word;
        ScriptToken token;
    } kAttributes[] = {{"oid=", ScriptToken::kOid},
                       {"int=", ScriptToken::kInt},
                       {"str=", ScriptToken::kStr},
                       {"base64=", ScriptToken::kBase64}};
    for (const auto& a : kAttributes) {
        if (At(a.word)) {
            pos_ += static_cast<uint32_t>(std::strlen(a.word));
            return a.token;
        }
    }
    if (!At("/>")) {
        return ScriptToken::kNone;
    }
    pos_ += 2;
    while (pos_ < length_ && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
        ++pos_;
    }
    if (!At("\r\n")) {
        return ScriptToken::kNone;
    }
    pos_ += 2;
    return ScriptToken::kObjectEnd;
}

ScriptToken Parser::NextToken(ScriptState state) {
    switch (state) {
        case ScriptState::kStart:
            return StartToken();
        case ScriptState::kDeclaration:
            return DeclarationToken();
        case ScriptState::kBetweenElements:
            return ElementStartToken();
        case ScriptState::kInElement:
            return AttributeToken();
        case ScriptState::kDone:
            break;
    }
    return ScriptToken::kNone;
}

bool Parser::ReadQuoted(char* out, uint32_t room, uint32_t* length) {
    if (pos_ >= length_ || text_[pos_] != '"') {
        return false;
    }
    uint32_t end = pos_ + 1;
    while (end < length_ && text_[end] != '"') {
        ++end;
    }
    const uint32_t n = end - (pos_ + 1);
    if (end >= length_ || n >= room) {
        return false;  // no closing quote, or longer than the buffer
    }
    std::memcpy(out, text_ + pos_ + 1, n);
    out[n] = '\0';
    *length = n;
    pos_ = end + 1;
    return true;
}

// atoi of the text, saturated at the int range.
int32_t DecimalValue(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(value > INT_MAX ? INT_MAX : value);
}

bool Parser::ApplyValue(ScriptToken token) {
    if (token == ScriptToken::kOid) {
        if (!ReadQuoted(oid_, kOidRoom, &oidLength_)) {
            DebugPrint("\nBad OID \n");
            oidLength_ = 0;
            return false;
        }
        return true;
    }
    if (oidLength_ == 0) {
        return false;  // a value without an identifier
    }
    if (!ReadQuoted(value_, kValueRoom, &valueLength_)) {
        if (token != ScriptToken::kInt) {
            DebugPrint("\nStore OID Failed!\n");
        }
        return false;
    }
    if (token == ScriptToken::kInt) {
        oid_set_int(oid_, oidLength_, DecimalValue(value_), kScriptDbFlags, kScriptGroupMask);
    } else if (token == ScriptToken::kStr) {
        oid_set_octets(oid_, oidLength_, reinterpret_cast<const uint8_t*>(value_), valueLength_,
                       kScriptDbFlags, kScriptGroupMask);
    } else {
        oid_set_base64(oid_, oidLength_, value_, valueLength_, kScriptDbFlags, kScriptGroupMask,
                       nullptr);
    }
    return true;
}

int Parser::Run() {
    int result = kScriptCorrupt;
    ScriptState state = ScriptState::kStart;
    while (state != ScriptState::kDone) {
        const ScriptToken token = NextToken(state);
        ScriptState next = ScriptState::kDone;
        switch (state) {
            case ScriptState::kStart:
            case ScriptState::kDeclaration:
                if (token == ScriptToken::kDeclarationStart && state == ScriptState::kStart) {
                    next = ScriptState::kDeclaration;
                } else if (token == ScriptToken::kDeclarationEnd &&
                           state == ScriptState::kDeclaration) {
                    next = ScriptState::kStart;
                } else if (token == ScriptToken::kRootStart) {
                    next = ScriptState::kBetweenElements;
                }
                break;
            case ScriptState::kBetweenElements:
                if (token == ScriptToken::kRootEnd) {
                    result = kScriptOk;
                } else if (token == ScriptToken::kObjectStart) {
                    result = kScriptOk;
                    oidLength_ = 0;
                    next = ScriptState::kInElement;
                }
                break;
            case ScriptState::kInElement:
                if (token == ScriptToken::kObjectEnd) {
                    oidLength_ = 0;
                    next = ScriptState::kBetweenElements;
                } else if (token >= ScriptToken::kOid && token <= ScriptToken::kBase64 &&
                           ApplyValue(token)) {
                    next = ScriptState::kInElement;
                }
                break;
            case ScriptState::kDone:
                break;
        }
        if (next == ScriptState::kDone && token != ScriptToken::kRootEnd) {
            result = kScriptCorrupt;
        }
        state = next;
    }
    return result;
}

}  // namespace

int ScriptParser(const char* text, uint32_t length) {
    if (text == nullptr) {
        return kScriptCorrupt;
    }
    Parser parser(text, length);
    return parser.Run();
}
