#include "runtime/multi_plain_text.h"

#include <cstring>

#include "runtime/text_util.h"

namespace {

constexpr size_t kMaxMovingDepth = 16;

bool HasPrefix(const char* tag, size_t tagLength, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return tagLength >= n && StrNCaseCmp(tag, prefix, n) == 0;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

class Preview {
public:
    Preview(char* out, size_t size) : out_(out), size_(size) {}

    bool HasRoom() const { return size_ - used_ >= 2; }

    void Put(char c) {
        if (HasRoom()) {
            out_[used_++] = c;
        }
    }

    void Put(const char* text) {
        for (; *text != '\0' && HasRoom(); ++text) {
            out_[used_++] = *text;
        }
    }

    // Rewrites the whole preview with the name (up to "]"), and " <GR>" when a graphic was seen.
    void RewriteWithName(const char* name, size_t available, bool graphic) {
        std::memset(out_, 0, size_);
        const size_t room = size_ - 1;
        size_t length = 0;
        while (length < available && name[length] != ']' && length < room) {
            out_[length] = name[length];
            ++length;
        }
        if (graphic) {
            static constexpr char kSuffix[] = " <GR>";
            constexpr size_t kSuffixLength = sizeof kSuffix - 1;
            size_t at = length;
            if (at + kSuffixLength > room) {
                at = room >= kSuffixLength ? room - kSuffixLength : 0;
            }
            for (size_t k = 0; k < kSuffixLength && at + k < room; ++k) {
                out_[at + k] = kSuffix[k];
            }
            length = at + kSuffixLength < room ? at + kSuffixLength : room;
        }
        out_[length] = '\0';
        used_ = size_;  // nothing further is added
    }

private:
    char* out_;
    size_t size_;
    size_t used_ = 0;
};

}  // namespace

void MultiToPlainText(const char* text, char* out, size_t size) {
    if (out == nullptr || size == 0) {
        return;
    }
    std::memset(out, 0, size);
    if (text == nullptr) {
        return;
    }
    const size_t length = std::strlen(text);
    Preview preview(out, size);
    bool graphicSeen = false;
    size_t movingEnds[kMaxMovingDepth];
    size_t movingDepth = 0;

    size_t i = 0;
    // Scanning goes on when the preview is full: a later name tag replaces the whole preview.
    while (i < length) {
        if (movingDepth > 0 && i == movingEnds[movingDepth - 1]) {
            --movingDepth;  // closing bracket of a moving-text tag
            ++i;
            continue;
        }
        const char c = text[i];
        if (c == ']' && i + 1 < length && text[i + 1] == ']') {
            preview.Put(']');
            i += 2;
            continue;
        }
        if (c != '[') {
            preview.Put(c);
            ++i;
            continue;
        }
        if (i + 1 < length && text[i + 1] == '[') {
            preview.Put('[');
            i += 2;
            continue;
        }
        // A tag: find its matching "]" (nested tags included).
        size_t end = i + 1;
        for (size_t depth = 1; end < length; ++end) {
            if (text[end] == '[') {
                ++depth;
            } else if (text[end] == ']' && --depth == 0) {
                break;
            }
        }
        const char* tag = text + i + 1;
        const size_t tagLength = end - (i + 1);
        const size_t next = end < length ? end + 1 : length;

        if (HasPrefix(tag, tagLength, "ms47,name,")) {
            const size_t nameAt = i + 1 + 10;
            preview.RewriteWithName(text + nameAt, length - nameAt, graphicSeen);
            return;
        }
        if (HasPrefix(tag, tagLength, "ms47,g") || HasPrefix(tag, tagLength, "g")) {
            if (!graphicSeen) {
                preview.Put("<GRAPHIC> ");
                graphicSeen = true;
            }
        } else if (HasPrefix(tag, tagLength, "ms47,spm,")) {
            preview.Put("<MPH>");
        } else if (HasPrefix(tag, tagLength, "ms47,spk,")) {
            preview.Put("<KPH>");
        } else if (HasPrefix(tag, tagLength, "ms47,r,")) {
            preview.Put("<RTD>");
        } else if (HasPrefix(tag, tagLength, "f") &&
                   !(tagLength >= 2 && (Lower(tag[1]) == 'l' || Lower(tag[1]) == 'o'))) {
            preview.Put("<RTF>");
        } else if (HasPrefix(tag, tagLength, "nl") || HasPrefix(tag, tagLength, "np")) {
            preview.Put(' ');
        } else if (HasPrefix(tag, tagLength, "hc")) {
            unsigned code = 0;
            size_t k = 2;
            for (; k < tagLength && IsHex(tag[k]); ++k) {
                code = ((code << 4) | HexDigitValue(tag[k])) & 0xFFFF;
            }
            if (k > 2 && (code & 0xFF) != 0) {
                preview.Put(static_cast<char>(code & 0xFF));
            }
        } else if (HasPrefix(tag, tagLength, "mv")) {
            // Skip the three parameters; the moving text is ordinary text up to the tag's end.
            size_t k = 2;
            int commas = 0;
            for (; k < tagLength && commas < 3; ++k) {
                if (tag[k] == ',') {
                    ++commas;
                }
            }
            if (commas == 3 && movingDepth < kMaxMovingDepth) {
                movingEnds[movingDepth++] = end;
                i = i + 1 + k;
                continue;
            }
        }
        i = next;
    }
}
