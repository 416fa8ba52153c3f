#include "database/file_config.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "database/config_catalogue.h"
#include "database/file_services.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"

uint8_t g_ConfigDirty = 0;

namespace {
constexpr uint32_t kPeripheralListEdit = dbo::brenPeripheralListEdit.id;
constexpr char kWin32Header[] = "<!-- CONFIG.XML WIN32 V2.0 -->\n";
constexpr uint32_t kRecordsStart = 28;
constexpr uint32_t kVersionByte = 20;

FsMedia* g_media = nullptr;
CFileSystem_Driver* g_driver = nullptr;
void (*g_moduleIdHook)() = nullptr;

CDataBase& Db() {
    return file_services::Db();
}
void* g_take(uint32_t size) {
    return file_services::TakeBlock(size);
}
void g_give(void* block) {
    file_services::GiveBlock(block);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Appends to the build buffer; false (nothing appended) when it would not fit.
class Appender {
public:
    Appender(char* buffer, uint32_t size) : buffer_(buffer), size_(size) {}
    bool Bytes(const void* bytes, uint32_t length) {
        if (overflow_ || length > size_ - used_) {
            overflow_ = true;
            return false;
        }
        std::memcpy(buffer_ + used_, bytes, length);
        used_ += length;
        return true;
    }
    bool Format(const char* format, const char* name, uint32_t a, uint32_t b) {
        char line[128];
        const int n = std::snprintf(line, sizeof line, format, name, a, b);
        if (n < 0 || static_cast<uint32_t>(n) >= sizeof line) {
            overflow_ = true;
            return false;
        }
        return Bytes(line, static_cast<uint32_t>(n));
    }
    uint32_t Used() const { return used_; }
    bool Overflow() const { return overflow_; }

private:
    char* buffer_;
    uint32_t size_;
    uint32_t used_ = 0;
    bool overflow_ = false;
};

bool StartsWith(const char* text, uint32_t length, const char* prefix, uint32_t prefixLength) {
    return length >= prefixLength && std::memcmp(text, prefix, prefixLength) == 0;
}
}  // namespace

CFile_Config::CFile_Config() : CPeripheral(kClassCode, kPeripheralId) {
    name = "CONFIG FILE";
    state = kValid;
}

uint16_t CFile_Config::IdOf(const char* text) {
    return text != nullptr && std::strcmp(text, NameOf()) == 0 ? kPeripheralId : 0;
}

CPeripheral* InstallFilePeripheral(CPeripheral* file, const ConfigPeripheralDescriptor& descriptor,
                                   uint16_t pollDivider) {
    if (file == nullptr) {
        return nullptr;
    }
    file->listSlot = descriptor.listSlot;
    file->pollDivider = pollDivider;
    file->pollCounter = 0;
    file->createdByFactory = 0;
    file->SetEnabled(1);
    return file;
}

CPeripheral* CFile_Config::Create(const ConfigPeripheralDescriptor& descriptor) {
    if (descriptor.peripheralId != kPeripheralId) {
        return nullptr;
    }
    return InstallFilePeripheral(new (std::nothrow) CFile_Config(), descriptor, kPollDivider);
}

void CFile_Config::AttachDatabase(CDataBase* db) {
    file_services::AttachDatabase(db);
}

void CFile_Config::AttachPostOffice(PostOffice* office) {
    file_services::AttachPostOffice(office);
}

void CFile_Config::AttachFiles(FsMedia* media, CFileSystem_Driver* driver) {
    g_media = media;
    g_driver = driver;
}

void CFile_Config::SetBufferHooks(void* (*take)(uint32_t), void (*give)(void*)) {
    file_services::SetBufferHooks(take, give);
}

void CFile_Config::SetModuleIdHook(void (*restored)()) {
    g_moduleIdHook = restored;
}

void CFile_Config::Poll() {
    if (g_ConfigDirty == 0) {
        return;
    }
    FsMedia* media = g_media != nullptr ? g_media : &g_SystemDrive;
    CFileSystem_Driver* driver = g_driver != nullptr ? g_driver : &g_FileSystem;
    if (WriteConfigFile(media, driver) == 1) {
        g_ConfigDirty = 0;
    }
}

int CFile_Config::Build(char* buffer, uint32_t size, uint32_t* length) {
    if (length != nullptr) {
        *length = 0;
    }
    if (buffer == nullptr) {
        return 1;
    }
    CDataBase& db = Db();
    Appender out(buffer, size);
    out.Bytes(kHeader, static_cast<uint32_t>(std::strlen(kHeader)));
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        DebugPrintLevel1("CFile_Config::Build backing up %s\n", row.name);
        const uint32_t rows = row.rows == 0 ? 1 : row.rows;
        for (uint32_t i = 0; i < rows; ++i) {
            const uint32_t id = row.firstId + row.width * i;
            if (row.kind == DbKind::kInteger) {
                const uint32_t value = db.GetInt(id, row.width, DbImage::kNv);
                if (value != row.defaultValue) {
                    out.Format("%s[%04X]:XXXX,%X\n", row.name, row.indexBase + i, value);
                }
            } else if (row.kind == DbKind::kString) {
                uint32_t n = 0;
                const char* text = db.GetString(id, 4, DbImage::kNv, &n);
                if (n != 0) {
                    out.Format("%s[%04X]:%04X,", row.name, row.indexBase + i, n);
                    out.Bytes(text, n);
                    out.Bytes("\n", 1);
                }
            } else {
                DebugPrint("CFile_Config::Build unknown obj type\n");
            }
        }
    }
    if (out.Overflow()) {
        return kBuildOverflow;
    }
    if (length != nullptr) {
        *length = out.Used();
    }
    return 0;
}

int CFile_Config::WriteConfigFile(FsMedia* media, CFileSystem_Driver* driver) {
    DebugPrint(" - Writing %s\t\t\t\t\t", kFileName);
    if (driver == nullptr) {
        DebugPrint("[FAIL]\n");
        return 0;
    }
    char* buffer = static_cast<char*>(g_take(kBufferSize));
    if (buffer == nullptr) {
        DebugPrint("[FAIL]\n");
        return 0;
    }
    uint32_t length = 0;
    bool written = false;
    if (Build(buffer, kBufferSize, &length) == 0) {
        written =
            driver->AddFile(media, nullptr, kFileName, FS_FLAG_EXE, buffer, length) == FS_SUCCESS;
    }
    g_give(buffer);
    if (!written) {
        DebugPrint("[FAIL]\n");
        return 0;
    }
    driver->DeleteFile(media, kBackupName);
    DebugPrint("[ OK ]\n");
    return 1;
}

int CFile_Config::RestoreConfigFile(FsMedia* media, CFileSystem_Driver* driver) {
    DebugPrint(" - Restore Config File\t\t\t\t\t");
    if (driver == nullptr) {
        DebugPrint("[FAIL]\n");
        return 0;
    }
    // One byte more than is read, so that the text always ends in a NUL.
    char* buffer = static_cast<char*>(g_take(kBufferSize + 1));
    if (buffer == nullptr) {
        DebugPrint("[FAIL]\n");
        return 0;
    }
    std::memset(buffer, 0, kBufferSize + 1);
    int result = 1;
    FsFile file;
    if (driver->OpenFile(media, &file, kFileName, FS_FLAG_READ) != FS_SUCCESS &&
        driver->OpenFile(media, &file, kBackupName, FS_FLAG_READ) != FS_SUCCESS) {
        g_give(buffer);
        DebugPrint("[FAIL]\n\tFile Does Not Exist\n");
        WriteConfigFile(media, driver);
        return 0;
    }
    uint32_t count = 0;
    const FsStatus read = driver->ReadFile(&file, buffer, kBufferSize, &count);
    bool open = true;
    if (read == FS_SUCCESS || read == FS_END_OF_FILE) {
        if (read == FS_END_OF_FILE || count > kBufferSize) {
            count = read == FS_END_OF_FILE ? 0 : kBufferSize;
        }
        CDataBase& db = Db();
        db.SetInt(kPeripheralListEdit, 1, 1, DbImage::kVolatile, kDbNotify);
        if (ParseFile(buffer, count) == kCorrupt) {
            driver->CloseFile(&file);
            open = false;
            driver->DeleteFile(media, kFileName);
            DebugPrint("[FAIL]\n\tFile was corrupt\n");
            result = 0;
        }
        PostOffice& office = file_services::Office();
        office.PostLetter(kLetterObjectsRestored);
        office.PostLetter(kLetterFontsChanged);
        db.SetInt(kPeripheralListEdit, 1, 2, DbImage::kVolatile, kDbNotify);
        DebugPrint("[ OK ]\n");
    } else {
        DebugPrint("[FAIL]\n");
        result = 0;
    }
    if (open) {
        driver->CloseFile(&file);
    }
    g_give(buffer);
    return result;
}

int CFile_Config::ParseFile(const char* text, uint32_t length) {
    if (text == nullptr) {
        return 0;
    }
    if (StartsWith(text, length, "<CFG", 4) || StartsWith(text, length, kWin32Header, 22)) {
        return kCorrupt;
    }
    int version = 1;
    uint32_t at = 0;
    if (length > 0 && text[0] == '<') {
        version = length > kVersionByte ? text[kVersionByte] - '0' : 0;
        at = kRecordsStart < length ? kRecordsStart : length;
    }
    char line[kLineSize];
    while (at < length && text[at] != '\0') {
        const uint32_t start = at;
        uint32_t end = at;  // one past the record's last byte
        auto lineEnd = [&](uint32_t from) {
            uint32_t p = from;
            while (p < length && text[p] != '\n' && text[p] != '\0') {
                ++p;
            }
            return p < length && text[p] == '\n' ? p + 1 : p;
        };
        if (version >= 2) {
            uint32_t p = at;
            while (p < length && text[p] != ':' && text[p] != '\n' && text[p] != '\0') {
                ++p;
            }
            if (p < length && text[p] == ':') {
                ++p;
                uint64_t stringLength = 0;
                while (p < length && text[p] != ',' && text[p] != '\n' && text[p] != '\0') {
                    const int digit = HexDigit(text[p]);
                    stringLength = stringLength * 16 + static_cast<uint64_t>(digit < 0 ? 0 : digit);
                    if (stringLength > 0xFFFFFFFFull) {
                        stringLength = 0xFFFFFFFFull;
                    }
                    ++p;
                }
                if (p < length && text[p] == ',') {
                    ++p;
                    if (stringLength != 0) {
                        const uint64_t wanted = p + stringLength + 1;
                        end = wanted <= length ? static_cast<uint32_t>(wanted) : length;
                    } else {
                        end = lineEnd(p);
                    }
                } else {
                    end = lineEnd(p);
                }
            } else {
                end = lineEnd(p);
            }
        } else {
            end = lineEnd(at);
        }
        if (end <= start) {
            break;
        }
        at = end;
        const uint32_t size = end - start;
        // A record that does not fit the line buffer is skipped whole.
        if (size >= sizeof line || text[end - 1] != '\n') {
            continue;
        }
        std::memcpy(line, text + start, size);
        line[size - 1] = '\0';
        Parse(line, size - 1, version);
    }
    return 0;
}

void CFile_Config::Parse(const char* record, int version) {
    if (record != nullptr) {
        Parse(record, static_cast<uint32_t>(std::strlen(record)), version);
    }
}

void CFile_Config::Parse(const char* record, uint32_t length, int version) {
    if (record == nullptr) {
        return;
    }
    const ConfigCatalogueRow* row = nullptr;
    for (const ConfigCatalogueRow& candidate : kConfigCatalogue) {
        const uint32_t n = static_cast<uint32_t>(std::strlen(candidate.name));
        if (n <= length && std::memcmp(record, candidate.name, n) == 0) {
            row = &candidate;
            break;
        }
    }
    if (row == nullptr) {
        DebugPrint("CFile_Config::Parse: failed to restore:%s\n", record);
        return;
    }
    // The part before ':' and its brackets.
    uint32_t colon = 0;
    while (colon < length && record[colon] != ':') {
        ++colon;
    }
    if (colon >= length) {
        DebugPrint("CFile_Config::Parse: failed to restore:%s\n", record);
        return;
    }
    uint32_t brackets = 0;
    uint32_t firstBracket = colon;
    for (uint32_t p = 0; p < colon; ++p) {
        if (record[p] == '[') {
            if (brackets == 0) {
                firstBracket = p;
            }
            ++brackets;
        }
    }
    uint32_t base = 0;
    if (brackets >= 2) {
        for (uint32_t p = firstBracket + 1, digits = 0;
             p < colon && digits < 4 && record[p] >= '0' && record[p] <= '9'; ++p, ++digits) {
            base = base * 10 + static_cast<uint32_t>(record[p] - '0');
        }
    }
    const uint32_t nameLength = static_cast<uint32_t>(std::strlen(row->name));
    uint32_t index = 0;
    uint32_t p = nameLength;
    if (p < colon && record[p] == '[') {
        ++p;
    }
    for (uint32_t digits = 0; digits < 4 && p < colon; ++digits, ++p) {
        const int digit = HexDigit(record[p]);
        if (digit < 0) {
            break;
        }
        index = index * 16 + static_cast<uint32_t>(digit);
    }
    const uint32_t rows = row->rows == 0 ? 1 : row->rows;
    const uint32_t offset = index - base;
    if (index < base || offset >= rows) {
        DebugPrint("CFile_Config::Parse: failed to restore:%s\n", record);
        return;
    }
    const uint32_t id = row->firstId + row->width * offset;
    uint32_t value = colon + 1;
    uint32_t storedLength = 0;
    if (version >= 2) {
        for (uint32_t digits = 0; digits < 4 && value < length; ++digits, ++value) {
            const int digit = HexDigit(record[value]);
            storedLength = storedLength * 16 + static_cast<uint32_t>(digit < 0 ? 0 : digit);
        }
        if (value >= length || record[value] != ',') {
            DebugPrint("CFile_Config::Parse: failed to restore:%s\n", record);
            return;
        }
        ++value;
    }
    CDataBase& db = Db();
    if (row->kind == DbKind::kInteger) {
        uint32_t number = 0;
        for (uint32_t q = value; q < length; ++q) {
            const int digit = HexDigit(record[q]);
            if (digit < 0) {
                break;
            }
            number = number << 4 | static_cast<uint32_t>(digit);
        }
        db.SetInt(id, row->width, number, DbImage::kNv, 0);
        if (row->firstId == dbo::brenModuleID.id) {
            DebugPrint("restoring module id\n");
            if (g_moduleIdHook != nullptr) {
                g_moduleIdHook();
            }
        }
    } else if (row->kind == DbKind::kString) {
        const uint32_t available = length - value;
        uint32_t n = 0;
        if (version >= 2) {
            n = storedLength < available ? storedLength : available;
        } else {
            while (n < available && record[value + n] != '\0') {
                ++n;
            }
        }
        db.SetString(id, 4, record + value, n, DbImage::kNv, 0);
    } else {
        DebugPrint("CFile_Config::Parse: unknown obj type\n");
    }
}
