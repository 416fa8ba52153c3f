#include "database/file_system_driver.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sim/hw.h"
#include "runtime/os_wrappers.h"

CFileSystem_DriverTFS g_FileSystem;
FsMedia g_SystemDrive;

namespace {

constexpr uint32_t kBootFlagRegister = 0xEF600307;  // UART 0 scratch register

struct FlagRow {
    uint32_t driver;
    uint32_t tfs;
    char letter;  // 0: none
};
constexpr FlagRow kFlags[] = {
    {FS_FLAG_EXE, 0x400000, 'p'}, {FS_FLAG_E, 0x1, 'e'},
    {FS_FLAG_EBIN, 0x10, 'E'},    {FS_FLAG_L, 0x8, 'l'},
    {FS_FLAG_B, 0x2, 'b'},        {FS_FLAG_IN_PLACE, 0x80, 'i'},
    {FS_FLAG_C, 0x800000, 'c'},   {FS_FLAG_BUFFERED, 0x200000, 'v'},
    {FS_FLAG_READ, 0x10000, 0},   {FS_FLAG_WRITE, 0x40000, 0},
};

thread_local std::string t_threadName;

void* HeapAlloc(uint32_t size) {
    return std::malloc(size);
}
void HeapRelease(void* block) {
    std::free(block);
}
// The kernel thread's name; outside a kernel thread, the name a host thread set.
const char* HostThreadName() {
    const char* name = nullptr;
    if (os_thread_name(&name) == OS_SUCCESS && name != nullptr)
        return name;
    return t_threadName.empty() ? nullptr : t_threadName.c_str();
}
void DefaultDefragReset() {
    hw::Write8(kBootFlagRegister, uint8_t(hw::Read8(kBootFlagRegister) | 1));
    mon_restart(0);
}

FsHooks g_hooks{HeapAlloc, HeapRelease, HostThreadName, DefaultDefragReset};

bool Mounted(const FsMedia* m) {
    return m != nullptr && std::memcmp(m->magic, "MEDI", 4) == 0;
}
bool Open(const FsFile* f) {
    return f != nullptr && std::memcmp(f->magic, "FILE", 4) == 0;
}

// Holds the media's mutex for one operation (taken without waiting).
class Lock {
public:
    explicit Lock(FsMedia* m) : m_(m), held_(m->mutex.TryLock()) {}
    ~Lock() {
        if (held_)
            m_->mutex.Unlock();
    }
    bool Held() const { return held_; }

private:
    FsMedia* m_;
    bool held_;
};

// The calling thread's working directory, or the media's default.
FsWorkingDirectory* Lookup(FsMedia* m, bool* own = nullptr) {
    const char* thread = g_hooks.thread_name ? g_hooks.thread_name() : nullptr;
    if (thread != nullptr) {
        for (LIST_NODE* n = m->working_directories.head; n != nullptr; n = n->next) {
            auto* wd = reinterpret_cast<FsWorkingDirectory*>(n->data);
            if (wd->thread_name != nullptr && std::strcmp(wd->thread_name, thread) == 0) {
                if (own)
                    *own = true;
                return wd;
            }
        }
    }
    if (own)
        *own = false;
    return &m->default_directory;
}

LIST_NODE* NodeOf(FsMedia* m, const FsWorkingDirectory* wd) {
    for (LIST_NODE* n = m->working_directories.head; n != nullptr; n = n->next) {
        if (reinterpret_cast<FsWorkingDirectory*>(n->data) == wd)
            return n;
    }
    return nullptr;
}

void ReleaseBuffer(FsFile* f) {
    if (f->buffer != nullptr) {
        g_hooks.release(f->buffer);
        f->buffer = nullptr;
    }
}

std::string FlagText(uint32_t flags) {
    std::string text;
    for (const FlagRow& r : kFlags) {
        if ((flags & r.driver) && r.letter)
            text += r.letter;
    }
    return text;
}

FsStatus MapWrite(int result) {
    if (result >= 0)
        return FS_SUCCESS;
    switch (result) {
        case -14:
            return FS_NO_ROOM;
        case -10:
            return FS_NOT_PERMITTED;
        case -4:
            return FS_BAD_ARGUMENT;
        default:
            return FS_ERROR;
    }
}

FsStatus MapRead(long result) {
    switch (result) {
        case -3:
            return FS_END_OF_FILE;
        case -4:
            return FS_BAD_ARGUMENT;
        default:
            return FS_ERROR;
    }
}

}  // namespace

void FsSetHooks(const FsHooks& hooks) {
    g_hooks.alloc = hooks.alloc ? hooks.alloc : HeapAlloc;
    g_hooks.release = hooks.release ? hooks.release : HeapRelease;
    g_hooks.thread_name = hooks.thread_name ? hooks.thread_name : HostThreadName;
    g_hooks.defrag_reset = hooks.defrag_reset ? hooks.defrag_reset : DefaultDefragReset;
}

void FsSetThreadName(const char* name) {
    t_threadName = name ? name : "";
}

uint32_t FsDriverToTfsFlags(uint32_t driverFlags) {
    uint32_t tfs = 0;
    for (const FlagRow& r : kFlags) {
        if (driverFlags & r.driver)
            tfs |= r.tfs;
    }
    return tfs;
}

uint32_t FsTfsToDriverFlags(uint32_t tfsFlags) {
    uint32_t driver = 0;
    for (const FlagRow& r : kFlags) {
        if (tfsFlags & r.tfs)
            driver |= r.driver;
    }
    return driver;
}

// ---- FsMutex -----------------------------------------------------------------

bool FsMutex::Create(const char* name) {
    if (created_)
        return false;
    created_ = true;
    name_ = name;
    count_ = 0;
    return true;
}

bool FsMutex::Delete() {
    if (!created_)
        return false;
    created_ = false;
    count_ = 0;
    return true;
}

bool FsMutex::TryLock() {
    if (!created_)
        return false;
    TX_THREAD* self = tx_thread_identify();
    if (count_ > 0 && owner_ != self)
        return false;
    owner_ = self;
    count_++;
    return true;
}

void FsMutex::Unlock() {
    if (count_ > 0 && owner_ == tx_thread_identify())
        count_--;
}

// ---- base behaviour ------------------------------------------------------------

FsStatus CFileSystem_Driver::AddFile(FsMedia*, void*, const char*, uint32_t, const void*,
                                     uint32_t) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::GetFileFlags(FsMedia*, const char*, uint32_t*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::UnsupportedOperation(FsMedia*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::CreateFile(FsMedia*, FsFile*, const char*, uint32_t) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::DeleteFile(FsMedia*, const char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::OpenFile(FsMedia*, FsFile*, const char*, uint32_t) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::CloseFile(FsFile*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::SeekFile(FsFile*, uint32_t) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::ReadFile(FsFile*, void*, uint32_t, uint32_t*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::WriteFile(FsFile*, const void*, uint32_t) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::RemoveWorkingDirectory(FsMedia*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::GetWorkingDirectory(FsMedia*, char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::SetWorkingDirectory(FsMedia*, FsWorkingDirectory*, const char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::FindFirstName(FsMedia*, char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::FindFirst(FsMedia*, char*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                       uint32_t*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::FindNextName(FsMedia*, char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::FindNext(FsMedia*, char*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                      uint32_t*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::Mount(FsMedia*, const char*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::Unmount(FsMedia*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::GetSpace(FsMedia*, uint32_t* available, uint32_t* reclaimable) {
    if (available)
        *available = 0x7FFFFFFF;
    if (reclaimable)
        *reclaimable = 0x7FFFFFFF;
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::Defragment(FsMedia*) {
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::SetBufferSize(FsMedia* media, uint32_t size) {
    if (media != nullptr)
        media->buffer_size = size;
    return FS_SUCCESS;
}
FsStatus CFileSystem_Driver::GetBufferSize(FsMedia* media, uint32_t* size) {
    if (media != nullptr && size != nullptr)
        *size = media->buffer_size;
    return FS_SUCCESS;
}

FsStatus CFileSystem_Driver::FindFile(FsMedia* media, const char* path, FsEntryInfo* info) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    if (path == nullptr || info == nullptr)
        return FS_BAD_ARGUMENT;
    char dir[FS_PATH_MAX + 1];
    char file[FS_PATH_MAX + 1];
    FsStatus s = ExtractDirectory(path, dir, sizeof dir);
    if (s == FS_SUCCESS) {
        char current[FS_PATH_MAX + 1] = {};
        if (GetWorkingDirectory(media, current) != FS_SUCCESS) {
            std::strcpy(current, media->default_directory.path);
        }
        if (std::strcmp(dir, current) != 0)
            return FS_BAD_ARGUMENT;
    } else if (s != FS_NO_DIRECTORY) {
        return s;
    }
    if ((s = ExtractFileName(path, file, sizeof file)) != FS_SUCCESS)
        return s;
    char name[FS_PATH_MAX + 1] = {};
    char previous[FS_PATH_MAX + 1] = {};
    uint32_t flags = 0, size = 0, date = 0, t1 = 0, t2 = 0;
    s = FindFirst(media, name, &flags, &size, &date, &t1, &t2);
    // A driver whose scan does not move on (the base's) ends the search too.
    for (bool first = true; s == FS_SUCCESS && (first || std::strcmp(name, previous) != 0);
         first = false) {
        if (std::strcmp(name, file) == 0) {
            std::strcpy(info->name, name);
            info->flags = flags;
            info->size = size;
            info->date = date;
            info->time = t1;
            return FS_SUCCESS;
        }
        std::strcpy(previous, name);
        s = FindNext(media, name, &flags, &size, &date, &t1, &t2);
    }
    return s == FS_BUSY ? FS_BUSY : FS_NOT_FOUND;
}

FsStatus CFileSystem_Driver::ExtractDirectory(const char* path, char* out, uint32_t room) {
    if (path == nullptr || out == nullptr)
        return FS_BAD_ARGUMENT;
    size_t len = std::strlen(path);
    if (len + 1 > room)
        return FS_NAME_TOO_LONG;
    size_t cut = 0;
    for (size_t i = 0; i < len; ++i) {
        out[i] = path[i] == '/' ? '\\' : path[i];
        if (out[i] == '\\')
            cut = i + 1;
    }
    out[len] = '\0';
    if (cut == 0) {
        out[0] = '\0';
        return FS_NO_DIRECTORY;
    }
    out[cut] = '\0';
    return FS_SUCCESS;
}

FsStatus CFileSystem_Driver::ExtractFileName(const char* path, char* out, uint32_t room) {
    if (path == nullptr || out == nullptr)
        return FS_BAD_ARGUMENT;
    const char* start = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\' || *p == '/')
            start = p + 1;
    }
    size_t len = std::strlen(start);
    if (len + 1 > room)
        return FS_NAME_TOO_LONG;
    std::memcpy(out, start, len + 1);
    return FS_SUCCESS;
}

// ---- TFS driver ------------------------------------------------------------------

FsStatus CFileSystem_DriverTFS::AddFile(FsMedia* media, void*, const char* name, uint32_t flags,
                                        const void* data, uint32_t size) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    if (name == nullptr)
        return FS_BAD_ARGUMENT;
    std::string text = FlagText(flags);
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    long available = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    if (available < 0)
        return FS_ERROR;
    if (size > uint64_t(available)) {
        // Restart to pack the flash only when that makes room: on a full
        // flash the restart would come back to the same request forever.
        long dead = mon_tfsctrl(TFS_DEADSPACE, 0, 0);
        if (dead > 0 && size <= uint64_t(available) + uint64_t(dead))
            g_hooks.defrag_reset();
        return FS_NO_ROOM;
    }
    std::string full = Lookup(media)->path;
    for (char& c : full) {
        if (c == '\\')
            c = '/';
    }
    full += name;
    if (full.size() > TFSNAMESIZE)
        return FS_NAME_TOO_LONG;
    int result = mon_tfsadd(full.c_str(), "", text.c_str(), data, long(size));
    if (media->watchdog_state != nullptr)
        mon_wdt_control(media->watchdog_state() ? 1 : 0);
    switch (result) {
        case 0:
            return FS_SUCCESS;
        case -4:
            return FS_BAD_ARGUMENT;
        case -7:
            return FS_ALREADY_EXISTS;
        case -13:
            return FS_FLASH_ERROR;
        case -18:
            return FS_NO_ROOM;
        default:
            return FS_ERROR;
    }
}

FsStatus CFileSystem_DriverTFS::GetFileFlags(FsMedia* media, const char* name, uint32_t* flags) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    const TFILE* h = name ? mon_tfsstat(name) : nullptr;
    if (h == nullptr)
        return FS_NOT_FOUND;
    if (flags != nullptr)
        *flags = FsTfsToDriverFlags(h->flags);
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::UnsupportedOperation(FsMedia* media) {
    return Mounted(media) ? FS_NOT_SUPPORTED : FS_NOT_MOUNTED;
}

FsStatus CFileSystem_DriverTFS::CreateFile(FsMedia* media, FsFile* file, const char* name,
                                           uint32_t flags) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    if (file == nullptr || name == nullptr)
        return FS_BAD_ARGUMENT;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    if (mon_tfsstat(name) != nullptr) {
        ReleaseBuffer(file);
        return FS_ALREADY_EXISTS;
    }
    file->flags = flags;
    if (flags & FS_FLAG_IN_PLACE)
        return FS_BAD_ARGUMENT;
    ReleaseBuffer(file);
    file->buffer = static_cast<char*>(g_hooks.alloc(media->buffer_size));
    if (file->buffer == nullptr)
        return FS_NO_BUFFER;
    int fd = mon_tfsopen(name, long(FsDriverToTfsFlags(flags) | TFS_CREATE), file->buffer,
                         media->buffer_size);
    if (fd < 0) {
        ReleaseBuffer(file);
        return FS_NO_ROOM;
    }
    file->descriptor = fd;
    file->media = media;
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::DeleteFile(FsMedia* media, const char* name) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    if (name == nullptr || mon_tfsstat(name) == nullptr)
        return FS_NOT_FOUND;
    return mon_tfsunlink(name) == 0 ? FS_SUCCESS : FS_NOT_PERMITTED;
}

FsStatus CFileSystem_DriverTFS::OpenFile(FsMedia* media, FsFile* file, const char* name,
                                         uint32_t flags) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    if (file == nullptr || name == nullptr)
        return FS_BAD_ARGUMENT;
    if (Open(file))
        return FS_ALREADY_OPEN;
    if (std::strlen(name) > FS_PATH_MAX)
        return FS_NAME_TOO_LONG;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    if (file->buffer == nullptr) {
        file->buffer = static_cast<char*>(g_hooks.alloc(media->buffer_size));
        if (file->buffer == nullptr)
            return FS_NO_BUFFER;
        long tfsFlags =
            (flags & FS_FLAG_BUFFERED) ? long(FS_FLAG_BUFFERED) : long(FsDriverToTfsFlags(flags));
        file->descriptor = mon_tfsopen(name, tfsFlags, file->buffer, media->buffer_size);
        if (file->descriptor >= 0)
            file->flags = 0;
    }
    if (file->descriptor < 0) {
        ReleaseBuffer(file);
        return FS_NOT_FOUND;
    }
    std::strcpy(file->name_storage, name);
    file->info = mon_tfsstat(name);
    file->name = file->name_storage;
    std::memcpy(file->magic, "FILE", 4);
    file->flags |= flags;
    file->media = media;
    file->position = 0;
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::CloseFile(FsFile* file) {
    if (!Open(file))
        return FS_NOT_OPEN;
    if (!Mounted(file->media))
        return FS_NOT_MOUNTED;
    Lock lock(file->media);
    if (!lock.Held())
        return FS_BUSY;
    int result = mon_tfsclose(file->descriptor, nullptr);
    file->descriptor = -1;  // a second close never reaches another file's descriptor
    ReleaseBuffer(file);
    if (result < 0)
        return result == -4 ? FS_BAD_ARGUMENT : FS_ERROR;
    std::memset(file->magic, 0, 4);
    file->name = nullptr;
    file->flags = 0;
    file->info = nullptr;
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::SeekFile(FsFile* file, uint32_t offset) {
    if (!Open(file))
        return FS_NOT_OPEN;
    Lock lock(file->media);
    if (!lock.Held())
        return FS_BUSY;
    file->position = offset;
    long result = mon_tfsseek(file->descriptor, long(offset), TFS_BEGIN);
    if (result == long(offset))
        return FS_SUCCESS;
    return result == -3 ? FS_END_OF_FILE : FS_ERROR;
}

FsStatus CFileSystem_DriverTFS::ReadFile(FsFile* file, void* buffer, uint32_t size,
                                         uint32_t* count) {
    if (!Open(file))
        return FS_NOT_OPEN;
    Lock lock(file->media);
    if (!lock.Held())
        return FS_BUSY;
    if (!(file->flags & FS_FLAG_READ))
        return FS_NOT_PERMITTED;
    if (buffer == nullptr && size > 0)
        return FS_BAD_ARGUMENT;
    if (file->flags & FS_FLAG_BUFFERED) {
        uint32_t fileSize = file->info ? file->info->filsize : 0;
        if (file->position >= fileSize)
            return FS_END_OF_FILE;
        // The open buffer holds at most its own size of the file.
        uint32_t inBuffer = std::min(fileSize, file->media->buffer_size);
        if (file->position < inBuffer) {
            uint32_t n = std::min(size, inBuffer - file->position);
            std::memcpy(buffer, file->buffer + file->position, n);
            file->position += n;
            if (count)
                *count = n;
            return FS_SUCCESS;
        }
        if (mon_tfsseek(file->descriptor, long(file->position), TFS_BEGIN) < 0)
            return FS_ERROR;
    }
    int result = mon_tfsread(file->descriptor, buffer, long(size));
    if (result < 0)
        return MapRead(result);
    file->position += uint32_t(result);
    if (count)
        *count = uint32_t(result);
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::WriteFile(FsFile* file, const void* data, uint32_t size) {
    if (!Open(file))
        return FS_NOT_OPEN;
    Lock lock(file->media);
    if (!lock.Held())
        return FS_BUSY;
    if (!(file->flags & FS_FLAG_WRITE))
        return FS_NOT_PERMITTED;
    int result;
    if (file->flags & FS_FLAG_IN_PLACE) {
        result = mon_tfsipmod(file->name, data, long(file->position), long(size));
        file->position += size;
    } else {
        result = mon_tfswrite(file->descriptor, data, long(size));
    }
    return MapWrite(result);
}

FsStatus CFileSystem_DriverTFS::RemoveWorkingDirectory(FsMedia* media) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    bool own = false;
    FsWorkingDirectory* wd = Lookup(media, &own);
    if (!own)
        return FS_NOT_FOUND;
    return list_remove(&media->working_directories, NodeOf(media, wd)) == kListOk ? FS_SUCCESS
                                                                                  : FS_ERROR;
}

FsStatus CFileSystem_DriverTFS::GetWorkingDirectory(FsMedia* media, char* path) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    bool own = false;
    FsWorkingDirectory* wd = Lookup(media, &own);
    if (!own)
        return FS_NOT_FOUND;
    if (path != nullptr)
        std::strcpy(path, wd->path);
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::SetWorkingDirectory(FsMedia* media, FsWorkingDirectory* storage,
                                                    const char* path) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    if (storage == nullptr)
        return FS_BAD_ARGUMENT;
    if (path != nullptr && std::strlen(path) > FS_PATH_MAX)
        return FS_NAME_TOO_LONG;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    const char* thread = g_hooks.thread_name ? g_hooks.thread_name() : nullptr;
    if (thread == nullptr)
        return FS_NOT_SUPPORTED;
    const char* p = path ? path : media->default_directory.path;
    if (p[0] == '.' && p[1] == '/')
        p += 2;
    char converted[FS_PATH_MAX + 1];
    size_t i = 0;
    for (; p[i] != '\0'; ++i)
        converted[i] = p[i] == '/' ? '\\' : p[i];
    converted[i] = '\0';
    // A thread that sets its directory again gets the new one, not its first.
    bool own = false;
    FsWorkingDirectory* old = Lookup(media, &own);
    if (own && list_remove(&media->working_directories, NodeOf(media, old)) != kListOk) {
        return FS_NOT_SUPPORTED;
    }
    storage->thread_name = thread;
    std::strcpy(storage->path, converted);
    storage->scan = nullptr;
    LIST_NODE* node = nullptr;
    if (list_append(&media->working_directories, &node) != kListOk || node == nullptr) {
        return FS_NOT_SUPPORTED;
    }
    node->data = reinterpret_cast<uintptr_t>(storage);
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::FindFirstName(FsMedia* media, char* name) {
    uint32_t f, s, d, t1, t2;
    return FindFirst(media, name, &f, &s, &d, &t1, &t2);
}

FsStatus CFileSystem_DriverTFS::FindFirst(FsMedia* media, char* name, uint32_t* flags,
                                          uint32_t* size, uint32_t* date, uint32_t* time1,
                                          uint32_t* time2) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    Lookup(media)->scan = nullptr;
    return FindNext(media, name, flags, size, date, time1, time2);
}

FsStatus CFileSystem_DriverTFS::FindNextName(FsMedia* media, char* name) {
    uint32_t f, s, d, t1, t2;
    return FindNext(media, name, &f, &s, &d, &t1, &t2);
}

FsStatus CFileSystem_DriverTFS::FindNext(FsMedia* media, char* name, uint32_t* flags,
                                         uint32_t* size, uint32_t* date, uint32_t* time1,
                                         uint32_t* time2) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    FsWorkingDirectory* wd = Lookup(media);
    char dir[FS_PATH_MAX + 1];
    for (const TFILE* h = mon_tfsnext(wd->scan); h != nullptr; h = mon_tfsnext(h)) {
        wd->scan = h;
        FsStatus s = ExtractDirectory(h->name, dir, sizeof dir);
        bool match = s == FS_SUCCESS ? std::strcmp(dir, wd->path) == 0
                                     : s == FS_NO_DIRECTORY && wd->path[0] == '\0';
        if (!match)
            continue;
        if (name != nullptr)
            ExtractFileName(h->name, name, FS_PATH_MAX + 1);
        if (flags)
            *flags = FsTfsToDriverFlags(h->flags);
        if (size)
            *size = h->filsize;
        if (date)
            *date = h->modtime;
        if (time1)
            *time1 = h->modtime;
        if (time2)
            *time2 = h->modtime;
        return FS_SUCCESS;
    }
    return FS_NOT_FOUND;
}

FsStatus CFileSystem_DriverTFS::Mount(FsMedia* media, const char* name) {
    if (media == nullptr)
        return FS_BAD_ARGUMENT;
    if (Mounted(media))
        return FS_ALREADY_OPEN;
    if (!media->mutex.Create("TFS FS Driver"))
        return FS_NOT_SUPPORTED;
    if (list_init(&media->working_directories, 1, 0) != kListOk) {
        media->mutex.Delete();
        return FS_NOT_SUPPORTED;
    }
    std::memcpy(media->magic, "MEDI", 4);
    media->name = name;
    media->default_directory = FsWorkingDirectory{};
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::Unmount(FsMedia* media) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    bool ok = media->mutex.Delete();
    ok = list_destroy(&media->working_directories) == kListOk && ok;
    if (!ok)
        return FS_NOT_SUPPORTED;
    std::memset(media->magic, 0, 4);
    media->name = nullptr;
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::GetSpace(FsMedia* media, uint32_t* available,
                                         uint32_t* reclaimable) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    Lock lock(media);
    if (!lock.Held())
        return FS_BUSY;
    long a = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    long d = mon_tfsctrl(TFS_DEADSPACE, 0, 0);
    if (a < 0 || d < 0)
        return FS_ERROR;
    if (available)
        *available = uint32_t(a);
    if (reclaimable)
        *reclaimable = uint32_t(a + d);
    return FS_SUCCESS;
}

FsStatus CFileSystem_DriverTFS::Defragment(FsMedia* media) {
    if (!Mounted(media))
        return FS_NOT_MOUNTED;
    hw::Write8(kBootFlagRegister, uint8_t(hw::Read8(kBootFlagRegister) | 1));
    mon_restart(0);
    return FS_SUCCESS;
}
