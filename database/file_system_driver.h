#pragma once
// The file interface of the controller over the boot monitor's flash file
// system: CFileSystem_Driver (abstract, base behaviour) and
// CFileSystem_DriverTFS, with per-thread working directories (TFS names are
// flat; directories are name prefixes), file handles with an open buffer,
// and the mapping of TFS results to FsStatus codes.

#include <cstdint>

#include "platform/kernel/tx_api.h"
#include "platform/monitor/mon.h"
#include "runtime/tagged_list.h"

using FsStatus = uint32_t;
inline constexpr FsStatus FS_SUCCESS = 0;
inline constexpr FsStatus FS_NO_BUFFER = 1;
inline constexpr FsStatus FS_ALREADY_EXISTS = 2;
inline constexpr FsStatus FS_ALREADY_OPEN = 3;  // also: media already mounted
inline constexpr FsStatus FS_NOT_PERMITTED = 4;
inline constexpr FsStatus FS_NOT_FOUND = 5;  // also: no further directory entry
inline constexpr FsStatus FS_NOT_OPEN = 6;
inline constexpr FsStatus FS_NO_ROOM = 7;  // also: not opened for writing
inline constexpr FsStatus FS_NOT_MOUNTED = 8;
inline constexpr FsStatus FS_ERROR = 9;
inline constexpr FsStatus FS_END_OF_FILE = 10;
inline constexpr FsStatus FS_FLASH_ERROR = 11;
inline constexpr FsStatus FS_NAME_TOO_LONG = 12;
inline constexpr FsStatus FS_BAD_ARGUMENT = 13;
inline constexpr FsStatus FS_BUSY = 14;
inline constexpr FsStatus FS_NOT_SUPPORTED = 15;
inline constexpr FsStatus FS_NO_DIRECTORY = 16;

// Driver flags (TFS open flag, flag character).
inline constexpr uint32_t FS_FLAG_EXE = 0x40;         // 0x400000 "p"
inline constexpr uint32_t FS_FLAG_E = 0x80;           // 0x1 "e"
inline constexpr uint32_t FS_FLAG_EBIN = 0x100;       // 0x10 "E"
inline constexpr uint32_t FS_FLAG_L = 0x200;          // 0x8 "l"
inline constexpr uint32_t FS_FLAG_B = 0x400;          // 0x2 "b"
inline constexpr uint32_t FS_FLAG_IN_PLACE = 0x800;   // 0x80 "i"
inline constexpr uint32_t FS_FLAG_C = 0x1000;         // 0x800000 "c"
inline constexpr uint32_t FS_FLAG_BUFFERED = 0x2000;  // 0x200000 "v"
inline constexpr uint32_t FS_FLAG_READ = 0x4000;      // 0x10000
inline constexpr uint32_t FS_FLAG_WRITE = 0x8000;     // 0x40000

inline constexpr uint32_t FS_PATH_MAX = 200;

uint32_t FsDriverToTfsFlags(uint32_t driverFlags);
uint32_t FsTfsToDriverFlags(uint32_t tfsFlags);

// "TFS FS Driver": taken without waiting; its owner (the kernel thread, or the code outside the
// threads) may take it again. Only one firmware thread runs at a time, so the bookkeeping needs
// no lock of its own.
class FsMutex {
public:
    bool Create(const char* name);
    bool Delete();
    bool TryLock();
    void Unlock();
    const char* Name() const { return name_; }

private:
    const char* name_ = nullptr;
    bool created_ = false;
    TX_THREAD* owner_ = nullptr;
    uint32_t count_ = 0;
};

struct FsWorkingDirectory {
    const char* thread_name = nullptr;
    char path[FS_PATH_MAX + 1] = {};  // "\" separated, ends with "\" when not empty
    const TFILE* scan = nullptr;      // the file last returned by a scan
};

struct FsMedia {
    char magic[4] = {};  // "MEDI" while mounted
    const char* name = nullptr;
    uint32_t buffer_size = 0x80000;
    LIST working_directories = {};
    FsWorkingDirectory default_directory;
    FsMutex mutex;
    int (*watchdog_state)() = nullptr;  // IsWatchdogEnabled
};

struct FsFile {
    char magic[4] = {};  // "FILE" while open
    const char* name = nullptr;
    uint32_t flags = 0;
    FsMedia* media = nullptr;
    const TFILE* info = nullptr;
    int32_t descriptor = -1;
    uint32_t position = 0;
    char* buffer = nullptr;
    char name_storage[FS_PATH_MAX + 1] = {};  // the handle keeps its own copy of the name
};

struct FsEntryInfo {
    char name[FS_PATH_MAX + 1];
    uint32_t flags;
    uint32_t size;
    uint32_t date;
    uint32_t time;
};

// What the driver needs of the runtime; start-up installs the real ones
// (g_GpBuffer, DefragReset). The defaults: the heap, the kernel thread's name
// (os_thread_name; outside kernel threads, the name set with FsSetThreadName),
// and a defragmentation restart that sets the boot flag bit and calls
// mon_restart(0).
struct FsHooks {
    void* (*alloc)(uint32_t size) = nullptr;  // null when no block is free
    void (*release)(void* block) = nullptr;
    const char* (*thread_name)() = nullptr;  // null outside a thread
    void (*defrag_reset)() = nullptr;
};
void FsSetHooks(const FsHooks& hooks);
void FsSetThreadName(const char* name);  // for the default thread_name hook

class CFileSystem_Driver {
public:
    virtual ~CFileSystem_Driver() = default;
    virtual FsStatus AddFile(FsMedia* media, void* reserved, const char* name, uint32_t flags,
                             const void* data, uint32_t size);
    virtual FsStatus GetFileFlags(FsMedia* media, const char* name, uint32_t* flags);
    virtual FsStatus UnsupportedOperation(FsMedia* media);
    virtual FsStatus CreateFile(FsMedia* media, FsFile* file, const char* name, uint32_t flags);
    virtual FsStatus DeleteFile(FsMedia* media, const char* name);
    virtual FsStatus OpenFile(FsMedia* media, FsFile* file, const char* name, uint32_t flags);
    virtual FsStatus CloseFile(FsFile* file);
    virtual FsStatus SeekFile(FsFile* file, uint32_t offset);
    virtual FsStatus ReadFile(FsFile* file, void* buffer, uint32_t size, uint32_t* count);
    virtual FsStatus WriteFile(FsFile* file, const void* data, uint32_t size);
    virtual FsStatus NoOperation12() { return FS_SUCCESS; }
    virtual FsStatus NoOperation13() { return FS_SUCCESS; }
    virtual FsStatus NoOperation14() { return FS_SUCCESS; }
    virtual FsStatus FindFile(FsMedia* media, const char* path, FsEntryInfo* info);
    virtual FsStatus RemoveWorkingDirectory(FsMedia* media);
    // path: room for FS_PATH_MAX + 1 characters.
    virtual FsStatus GetWorkingDirectory(FsMedia* media, char* path);
    // storage must stay valid until RemoveWorkingDirectory.
    virtual FsStatus SetWorkingDirectory(FsMedia* media, FsWorkingDirectory* storage,
                                         const char* path);
    // Names: room for FS_PATH_MAX + 1 characters; the part after the last separator.
    virtual FsStatus FindFirstName(FsMedia* media, char* name);
    virtual FsStatus FindFirst(FsMedia* media, char* name, uint32_t* flags, uint32_t* size,
                               uint32_t* date, uint32_t* time1, uint32_t* time2);
    virtual FsStatus FindNextName(FsMedia* media, char* name);
    virtual FsStatus FindNext(FsMedia* media, char* name, uint32_t* flags, uint32_t* size,
                              uint32_t* date, uint32_t* time1, uint32_t* time2);
    virtual FsStatus Mount(FsMedia* media, const char* name);
    virtual FsStatus Unmount(FsMedia* media);
    virtual FsStatus NoOperation25() { return FS_SUCCESS; }
    virtual FsStatus GetSpace(FsMedia* media, uint32_t* available, uint32_t* reclaimable);
    virtual FsStatus Defragment(FsMedia* media);
    virtual FsStatus SetBufferSize(FsMedia* media, uint32_t size);
    virtual FsStatus GetBufferSize(FsMedia* media, uint32_t* size);

    // "/" becomes "\"; cut after the last "\" (12: no room, 16: no separator).
    static FsStatus ExtractDirectory(const char* path, char* out, uint32_t room);
    // What follows the last "\" or "/" (the whole path without one; 12: no room).
    static FsStatus ExtractFileName(const char* path, char* out, uint32_t room);
};

class CFileSystem_DriverTFS : public CFileSystem_Driver {
public:
    FsStatus AddFile(FsMedia* media, void* reserved, const char* name, uint32_t flags,
                     const void* data, uint32_t size) override;
    FsStatus GetFileFlags(FsMedia* media, const char* name, uint32_t* flags) override;
    FsStatus UnsupportedOperation(FsMedia* media) override;
    FsStatus CreateFile(FsMedia* media, FsFile* file, const char* name, uint32_t flags) override;
    FsStatus DeleteFile(FsMedia* media, const char* name) override;
    FsStatus OpenFile(FsMedia* media, FsFile* file, const char* name, uint32_t flags) override;
    FsStatus CloseFile(FsFile* file) override;
    FsStatus SeekFile(FsFile* file, uint32_t offset) override;
    FsStatus ReadFile(FsFile* file, void* buffer, uint32_t size, uint32_t* count) override;
    FsStatus WriteFile(FsFile* file, const void* data, uint32_t size) override;
    FsStatus RemoveWorkingDirectory(FsMedia* media) override;
    FsStatus GetWorkingDirectory(FsMedia* media, char* path) override;
    FsStatus SetWorkingDirectory(FsMedia* media, FsWorkingDirectory* storage,
                                 const char* path) override;
    FsStatus FindFirstName(FsMedia* media, char* name) override;
    FsStatus FindFirst(FsMedia* media, char* name, uint32_t* flags, uint32_t* size, uint32_t* date,
                       uint32_t* time1, uint32_t* time2) override;
    FsStatus FindNextName(FsMedia* media, char* name) override;
    FsStatus FindNext(FsMedia* media, char* name, uint32_t* flags, uint32_t* size, uint32_t* date,
                      uint32_t* time1, uint32_t* time2) override;
    FsStatus Mount(FsMedia* media, const char* name) override;
    FsStatus Unmount(FsMedia* media) override;
    FsStatus GetSpace(FsMedia* media, uint32_t* available, uint32_t* reclaimable) override;
    FsStatus Defragment(FsMedia* media) override;
};

extern CFileSystem_DriverTFS g_FileSystem;
extern FsMedia g_SystemDrive;
