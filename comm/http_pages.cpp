#include "comm/http_pages.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "database/db_types.h"
#include "database/file_manager.h"
#include "database/file_services.h"
#include "database/oid_access.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kAllGroups = 0xFFFFFFFF;
constexpr uint32_t kActivateMessage[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 3, 0};
constexpr uint32_t kMessageStatus[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 9};
constexpr char kMessageCrcColumn[] = "1.3.6.1.4.1.1206.4.2.3.5.8.1.5";

void (*g_messageTableHook)() = nullptr;

enum class FieldType { kNone, kInt, kIp, kStr, kOct };

// The type named at text (",INT", ",IP", ...); its length in *skip.
FieldType TypeAt(const char* text, size_t length, size_t* skip) {
    static constexpr struct {
        const char* word;
        FieldType type;
    } kTypes[] = {{",INT", FieldType::kInt},
                  {",STR", FieldType::kStr},
                  {",OCT", FieldType::kOct},
                  {",IP", FieldType::kIp}};
    for (const auto& t : kTypes) {
        const size_t n = std::strlen(t.word);
        if (n <= length && strncasecmp(text, t.word, n) == 0) {
            *skip = n;
            return t.type;
        }
    }
    return FieldType::kNone;
}

// Splits "OID,TYPE..." at its first type: the OID's length and the type.
FieldType SplitField(const char* text, size_t length, size_t* oidLength, size_t* typeEnd) {
    for (size_t i = 0; i < length; ++i) {
        size_t skip = 0;
        const FieldType type = TypeAt(text + i, length - i, &skip);
        if (type != FieldType::kNone) {
            *oidLength = i;
            *typeEnd = i + skip;
            return type;
        }
    }
    return FieldType::kNone;
}

// The current value of a value field as page text.
std::string FieldValue(const char* tag, size_t length) {
    size_t oidLength = 0;
    size_t typeEnd = 0;
    const FieldType type = SplitField(tag, length, &oidLength, &typeEnd);
    if (type == FieldType::kInt || type == FieldType::kIp) {
        int32_t value = 0;
        if (type == FieldType::kInt) {
            oid_get_int(tag, oidLength, &value);
        } else {
            uint32_t address = 0;
            oid_get_ip(tag, oidLength, &address);
            value = static_cast<int32_t>(address);
        }
        return std::to_string(value);
    }
    if (type == FieldType::kStr) {
        uint8_t octets[kHttpFieldValueRoom];
        uint32_t n = 0;
        oid_get_octets(tag, oidLength, octets, sizeof octets, &n);
        return std::string(reinterpret_cast<const char*>(octets), n);
    }
    if (type == FieldType::kOct) {
        char text[(kHttpFieldValueRoom + 2) / 3 * 4 + 1];
        uint32_t n = 0;
        oid_get_octets_base64(tag, oidLength, text, kHttpFieldValueRoom, &n);
        return std::string(text, n);
    }
    return std::string();
}

class PageWriter {
public:
    PageWriter(char* out, uint32_t room) : out_(out), room_(room) {}
    // False (nothing written) when the piece does not fit whole: the page stops there.
    bool Put(const char* bytes, size_t n) {
        if (full_ || n > room_ - used_) {
            full_ = true;
            return false;
        }
        std::memcpy(out_ + used_, bytes, n);
        used_ += static_cast<uint32_t>(n);
        return true;
    }
    uint32_t Used() const { return used_; }

private:
    char* out_;
    uint32_t room_;
    uint32_t used_ = 0;
    bool full_ = false;
};

const char* Find(const char* text, const char* end, const char* word) {
    const size_t n = std::strlen(word);
    for (const char* p = text; p + n <= end; ++p) {
        if (std::memcmp(p, word, n) == 0) {
            return p;
        }
    }
    return nullptr;
}

bool SameOid(const char* text, size_t length, const uint32_t* ids, size_t count, size_t drop) {
    uint32_t parsed[kOidMaxSubIds];
    size_t n = 0;
    return OidParse(text, length, parsed, &n) && n == count + drop &&
           std::memcmp(parsed, ids, count * sizeof ids[0]) == 0;
}

struct FormField {
    char oid[kHttpFieldOidRoom];
    size_t oidLength;
    FieldType type;
    uint8_t flags;
    const char* value;
    uint32_t valueLength;
};

void WriteField(const FormField& f) {
    if (f.type == FieldType::kInt) {
        char number[32] = {};
        std::memcpy(number, f.value, f.valueLength < 31 ? f.valueLength : 31);
        const int32_t value = static_cast<int32_t>(std::strtol(number, nullptr, 10));
        DebugPrintLevel1("INT %s, value:%d\n", f.oid, value);
        oid_set_int(f.oid, f.oidLength, value, f.flags, kAllGroups);
        if (SameOid(f.oid, f.oidLength, kMessageStatus, std::size(kMessageStatus), 2) &&
            g_messageTableHook != nullptr) {
            g_messageTableHook();
        }
    } else if (f.type == FieldType::kStr) {
        DebugPrintLevel1("STR %s, string w/length:%u\n", f.oid, f.valueLength);
        oid_set_octets(f.oid, f.oidLength, reinterpret_cast<const uint8_t*>(f.value), f.valueLength,
                       f.flags, kAllGroups);
    } else if (f.type == FieldType::kOct) {
        DebugPrintLevel1("OCT %s, octets w/length:%u\n", f.oid, f.valueLength);
        const bool activation =
            SameOid(f.oid, f.oidLength, kActivateMessage, std::size(kActivateMessage), 0);
        oid_set_base64(f.oid, f.oidLength, f.value, f.valueLength, f.flags, kAllGroups,
                       activation ? &HttpFillActivationCrc : nullptr);
    }
}

// Parses the field whose name starts at name ("$*..."); false when it is malformed. *next is
// where the search for the next field goes on.
bool ParseField(const char* name, const char* end, FormField* f, const char** next) {
    *next = name + 2;
    const char* quote = name + 2;
    while (quote < end && *quote != '"' && *quote != '\r' && *quote != '\n') {
        ++quote;
    }
    if (quote >= end || *quote != '"') {
        return false;  // a name ends at its quote on the same line
    }
    *next = quote;
    const char* body = Find(quote, end, "\r\n\r\n");
    if (body == nullptr) {
        return false;
    }
    body += 4;
    const char* stop = Find(body, end, "\r\n--");
    if (stop == nullptr) {
        stop = end;
    }
    *next = stop;
    size_t typeEnd = 0;
    f->type = SplitField(name + 2, static_cast<size_t>(quote - name - 2), &f->oidLength, &typeEnd);
    if (f->type == FieldType::kNone || f->type == FieldType::kIp || f->oidLength >= sizeof f->oid) {
        return false;
    }
    std::memcpy(f->oid, name + 2, f->oidLength);
    f->oid[f->oidLength] = '\0';
    f->flags = 0;
    for (const char* p = name + 2 + typeEnd; p < quote; ++p) {
        if (*p == 'n' || *p == 'N') {
            f->flags |= kDbSwapNotify;
        } else if (*p == 'v' || *p == 'V') {
            f->flags |= kDbSwapValidate;
        }
    }
    f->value = body;
    const size_t n = static_cast<size_t>(stop - body);
    f->valueLength = static_cast<uint32_t>(n < kHttpFieldValueRoom ? n : kHttpFieldValueRoom);
    return true;
}

// The page and template names of a resource: false when it is not a page.
bool PageNames(const char* resource, char* page, size_t room) {
    const char* name = resource[0] == '/' ? resource + 1 : resource;
    if (name[0] == '\0') {
        name = "index.html";
    }
    const size_t n = std::strlen(name);
    if (n + 1 > room || n + 4 > FS_PATH_MAX) {
        return false;
    }
    for (size_t i = 0; i <= n; ++i) {
        page[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    return true;
}

// Reads the template into block (room - 1 bytes at most): its length, or -1.
long ReadTemplate(FsMedia* media, CFileSystem_Driver* driver, const char* name, char* block) {
    FsFile file;
    if (driver->OpenFile(media, &file, name, FS_FLAG_READ) != FS_SUCCESS) {
        CFile_Manager::RestoreWebFile(media, driver, name, 0);
        if (driver->OpenFile(media, &file, name, FS_FLAG_READ) != FS_SUCCESS) {
            return -1;
        }
    }
    uint32_t count = 0;
    const FsStatus status = driver->ReadFile(&file, block, kHttpPageRoom - 1, &count);
    driver->CloseFile(&file);
    if (status != FS_SUCCESS && status != FS_END_OF_FILE) {
        return -1;
    }
    if (status == FS_END_OF_FILE || count > kHttpPageRoom - 1) {
        count = status == FS_END_OF_FILE ? 0 : kHttpPageRoom - 1;
    }
    block[count] = '\0';
    return static_cast<long>(count);
}

}  // namespace

void HttpSetMessageTableHook(void (*hook)()) {
    g_messageTableHook = hook;
}

void HttpExpandTemplate(const char* text, uint32_t length, char* out, uint32_t room,
                        uint32_t* used) {
    PageWriter page(out, room);
    const char* p = text;
    const char* end = text + length;
    while (p < end) {
        const char* tag = Find(p, end, "$%");
        if (tag == nullptr) {
            page.Put(p, static_cast<size_t>(end - p));
            break;
        }
        if (!page.Put(p, static_cast<size_t>(tag - p))) {
            break;
        }
        const char* close = Find(tag + 2, end, "#$");
        if (close == nullptr) {
            page.Put(tag, static_cast<size_t>(end - tag));
            break;
        }
        const std::string value = FieldValue(tag + 2, static_cast<size_t>(close - tag - 2));
        if (!page.Put(value.data(), value.size())) {
            break;
        }
        p = close + 2;
    }
    *used = page.Used();
}

bool HttpGetResource(FsMedia* media, CFileSystem_Driver* driver, const char* resource, char* page,
                     size_t room) {
    if (resource == nullptr || page == nullptr || driver == nullptr) {
        return false;
    }
    DebugPrint("get resource %s\n", resource);
    if (!PageNames(resource, page, room)) {
        return false;
    }
    if (strcasecmp(page, "brenstyle.css") == 0 || strcasecmp(page, "list.html") == 0) {
        DebugPrintLevel1("Save %s to disk\n", page);
        CFile_Manager::RestoreWebFile(media, driver, page, 0);
        return true;
    }
    const std::string templateName = "pre" + std::string(page);
    DebugPrintLevel1("get resource pre %s  %s\n", templateName.c_str(), page);
    char* source = static_cast<char*>(file_services::TakeBlock(kHttpPageRoom));
    if (source == nullptr) {
        return false;
    }
    char* output = static_cast<char*>(file_services::TakeBlock(kHttpPageRoom));
    if (output == nullptr) {
        file_services::GiveBlock(source);
        return false;
    }
    const long length = ReadTemplate(media, driver, templateName.c_str(), source);
    uint32_t used = 0;
    if (length >= 0) {
        HttpExpandTemplate(source, static_cast<uint32_t>(length), output, kHttpPageRoom, &used);
    }
    file_services::GiveBlock(source);
    bool written = false;
    if (length >= 0) {
        DebugPrintLevel1("Add the file  size %u\n", used);
        written =
            driver->AddFile(media, nullptr, page, FS_FLAG_BUFFERED, output, used) == FS_SUCCESS;
    }
    file_services::GiveBlock(output);
    return written;
}

void HttpProcessFormFields(const char* content, uint32_t length) {
    if (content == nullptr) {
        return;
    }
    const char* end = content + length;
    const char* p = content;
    while (const char* name = Find(p, end, "$*")) {
        FormField field{};
        const char* next = nullptr;
        if (ParseField(name, end, &field, &next)) {
            WriteField(field);
        }
        p = next;
    }
}

bool HttpPostResource(FsMedia* media, CFileSystem_Driver* driver, const char* resource,
                      const char* content, uint32_t length, char* page, size_t room) {
    DebugPrintLevel1("--Post Request\n");
    if (content != nullptr && length > 0) {
        HttpProcessFormFields(content,
                              length < kHttpPostContentRoom ? length : kHttpPostContentRoom);
    }
    return HttpGetResource(media, driver, resource, page, room);
}

void HttpFillActivationCrc(uint8_t* code, uint32_t* length) {
    // Octets (from 0): 3 memory type, 4-5 message number, 6-7 CRC.
    if (code == nullptr || length == nullptr || *length < 12) {
        return;
    }
    char oid[64];
    const int n = std::snprintf(oid, sizeof oid, "%s.%u.%u", kMessageCrcColumn, code[3],
                                static_cast<unsigned>(code[4] << 8 | code[5]));
    int32_t crc = 0;
    if (n > 0 && oid_get_int(oid, static_cast<size_t>(n), &crc)) {
        code[6] = static_cast<uint8_t>(crc >> 8);
        code[7] = static_cast<uint8_t>(crc);
    }
}
