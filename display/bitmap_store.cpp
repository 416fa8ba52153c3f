#include "display/bitmap_store.h"

#include <cstdio>
#include <cstring>

#include "database/object_ids.h"
#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"

namespace bitmap_store {
namespace {

constexpr char kTag[] = "ms47,g,";
constexpr uint32_t kTextCapacity = CDataBase::kMaxNvStringRead + 1;
constexpr uint32_t kMaxKeptReference = 100;

// Reference and file name are equal once both lose the prefix; the reference ends at "]".
bool SameName(const char* reference, const char* fileName) {
    const char* ref = StripPrefix(reference);
    const char* file = StripPrefix(fileName);
    const size_t length = std::strlen(file);
    return length > 0 && std::strncmp(ref, file, length) == 0 &&
           (ref[length] == ']' || ref[length] == '\0');
}

// True when the text (NUL-terminated) refers to the file.
bool TextRefers(const char* text, const char* fileName) {
    for (const char* name = FindBitmapNameInMulti(text); name != nullptr;
         name = FindBitmapNameInMulti(name)) {
        if (SameName(name, fileName)) {
            return true;
        }
    }
    return false;
}

bool MessageRefers(const CDataBase& db, uint32_t textId, DbImage image, const char* fileName) {
    static thread_local char text[kTextCapacity];
    const uint32_t length = db.ReadString(textId, image, text, kTextCapacity - 1);
    if (length == 0 || length >= kTextCapacity) {
        return false;
    }
    text[length] = '\0';
    return TextRefers(text, fileName);
}

bool PermanentRefers(const CDataBase& db, const char* fileName) {
    for (uint32_t i = 0; i < kBuiltinPermanentCount; ++i) {
        if (db.GetInt(kBuiltinPermanentStatus + i, 1, DbImage::kVolatile) == kStatusValid &&
            MessageRefers(db, kBuiltinPermanentText + 4 * i, DbImage::kVolatile, fileName)) {
            return true;
        }
    }
    for (uint32_t k = kPermanentFirstEntry; k < kPermanentFirstEntry + kPermanentEntries; ++k) {
        if (db.Get(dbo::dmsMessageStatus, k) == kStatusValid &&
            MessageRefers(db, dbo::dmsMessageMultiString.Row(k), DbImage::kNv, fileName)) {
            return true;
        }
    }
    return false;
}

bool RowsRefer(const CDataBase& db, const DbObject& status, const DbObject& text, uint32_t rows,
               DbImage image, const char* fileName) {
    for (uint32_t k = 0; k < rows; ++k) {
        if (db.Get(status, k) == kStatusValid && MessageRefers(db, text.Row(k), image, fileName)) {
            return true;
        }
    }
    return false;
}

// A ".bmp" extension: the name from its last "." begins with ".bmp".
bool IsBitmapFile(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && std::strncmp(dot, ".bmp", 4) == 0;
}

// Memory clear keeps a file that permanent messages 3 .. dmsNumPermanentMsg refer to, whatever
// their status.
bool KeptAtClear(const CDataBase& db, const char* fileName) {
    const uint32_t permanent = db.Get(dbo::dmsNumPermanentMsg);
    for (uint32_t number = 3; number <= permanent && number - 3 < kPermanentEntries; ++number) {
        const uint32_t k = kPermanentFirstEntry + number - 3;
        static thread_local char text[kTextCapacity];
        const uint32_t length =
            db.ReadString(dbo::dmsMessageMultiString.Row(k), DbImage::kNv, text, kTextCapacity - 1);
        if (length == 0 || length >= kTextCapacity) {
            continue;
        }
        text[length] = '\0';
        for (const char* at = std::strstr(text, "[ms47,g,"); at != nullptr;
             at = std::strstr(at + 1, "[ms47,g,")) {
            const char* name = FindBitmapNameInMulti(at + 1);
            const char* end = name != nullptr ? std::strchr(name, ']') : nullptr;
            if (end != nullptr && end - name <= static_cast<long>(kMaxKeptReference) &&
                SameName(name, fileName)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

const char* FindBitmapNameInMulti(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    for (const char* at = std::strstr(text, kTag); at != nullptr; at = std::strstr(at + 1, kTag)) {
        const char* p = at + sizeof(kTag) - 1;
        // x, then y, each followed by a comma.
        const char* x = std::strchr(p, ',');
        const char* y = x != nullptr ? std::strchr(x + 1, ',') : nullptr;
        const char* close = std::strchr(p, ']');
        if (y != nullptr && (close == nullptr || y < close)) {
            return y + 1;
        }
    }
    return nullptr;
}

const char* StripPrefix(const char* name) {
    return std::strncmp(name, kPrefix, kPrefixLength) == 0 ? name + kPrefixLength : name;
}

bool IsBitmapReferenced(const CDataBase& db, uint32_t memoryType, const char* fileName) {
    if (fileName == nullptr) {
        return false;
    }
    switch (memoryType) {
        case 2:
            return PermanentRefers(db, fileName);
        case 3:
            return RowsRefer(db, dbo::dmsMessageStatus, dbo::dmsMessageMultiString,
                             kChangeableEntries, DbImage::kNv, fileName);
        case 4:
            return RowsRefer(db, dbo::dmsMessageStatusVolatile, dbo::dmsMessageMultiStringVolatile,
                             4, DbImage::kVolatile, fileName);
        default:
            return false;
    }
}

FsStatus PurgeUnusedBitmaps(const CDataBase& db, CFileSystem_Driver* driver, FsMedia* media) {
    FsWorkingDirectory directory;
    FsStatus status = driver->SetWorkingDirectory(media, &directory, kDirectory);
    if (status != FS_SUCCESS) {
        return status;
    }
    char entry[FS_PATH_MAX + 1] = {};
    char path[kPrefixLength + FS_PATH_MAX + 1];
    for (status = driver->FindFirstName(media, entry); status == FS_SUCCESS;
         status = driver->FindNextName(media, entry)) {
        if (std::strlen(entry) + kPrefixLength > TFSNAMESIZE) {
            continue;  // no file of the directory has that name
        }
        if (std::strstr(entry, ".bmp") == nullptr || IsBitmapReferenced(db, 2, entry) ||
            IsBitmapReferenced(db, 3, entry) || IsBitmapReferenced(db, 4, entry)) {
            continue;
        }
        std::snprintf(path, sizeof path, "%s%s", kPrefix, entry);
        const FsStatus removed = driver->DeleteFile(media, path);
        if (removed != FS_SUCCESS) {
            DebugPrint("PurgeUnusedBitmaps: DeleteFile %s failed:%d\n", path, removed);
        }
    }
    driver->RemoveWorkingDirectory(media);
    return FS_SUCCESS;
}

int ClearBitmapFiles(const CDataBase& db, CFileSystem_Driver* driver, FsMedia* media, int keep) {
    const bool all = db.Get(dbo::dmsNumPermanentMsg) <= 2 && keep != 1;
    int failures = 0;
    const TFILE* next = nullptr;
    for (const TFILE* file = mon_tfsnext(nullptr); file != nullptr; file = next) {
        next = mon_tfsnext(file);
        if (!IsBitmapFile(file->name) || (!all && KeptAtClear(db, file->name))) {
            continue;
        }
        if (driver->DeleteFile(media, file->name) != FS_SUCCESS) {
            ++failures;
        }
    }
    return failures;
}

}  // namespace bitmap_store
