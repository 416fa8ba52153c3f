#include "database/fx_file.h"

#include <cstring>

namespace {

FsFile g_handle;  // cleared by its static initialisation

unsigned Map(FsStatus s) {
    switch (s) {
        case FS_SUCCESS:
            return FX_SUCCESS;
        case FS_NOT_FOUND:
            return FX_NOT_FOUND;
        case FS_END_OF_FILE:
            return FX_END_OF_FILE;
        default:
            return FX_IO_ERROR;
    }
}

const char* SkipSlash(const char* name) {
    return (name && name[0] == '/') ? name + 1 : name;
}

bool IsBufferedPage(const char* name) {
    static const char* const kPages[] = {"index.html", "view.html", "message.html",
                                         "quick.html", "diag.html", "brenstyle.css",
                                         "list.html"};
    for (const char* p : kPages) {
        if (std::strcmp(name, p) == 0)
            return true;
    }
    return false;
}

}  // namespace

FsFile* fx_static_handle() {
    return &g_handle;
}

unsigned fx_file_create(FX_MEDIA* media, const char* name) {
    return Map(g_FileSystem.CreateFile(media, &g_handle, name, 0));
}

unsigned fx_file_delete(FX_MEDIA* media, const char* name) {
    return Map(g_FileSystem.DeleteFile(media, name));
}

unsigned fx_file_open(FX_MEDIA* media, FX_FILE* file, const char* name, unsigned mode) {
    if (name == nullptr)
        return FX_IO_ERROR;
    name = SkipSlash(name);
    uint32_t flags = mode == FX_OPEN_FOR_READ    ? FS_FLAG_READ
                     : mode == FX_OPEN_FOR_WRITE ? FS_FLAG_WRITE
                                                 : 0;
    if (IsBufferedPage(name))
        flags |= FS_FLAG_BUFFERED;
    if (std::strstr(name, ".EXE") != nullptr)
        flags |= FS_FLAG_EXE;
    if (file != nullptr)
        file->handle = &g_handle;
    return Map(g_FileSystem.OpenFile(media, &g_handle, name, flags));
}

unsigned fx_file_close(FX_FILE* file) {
    return Map(g_FileSystem.CloseFile(file && file->handle ? file->handle : &g_handle));
}

unsigned fx_file_read(FX_FILE* file, void* buffer, uint32_t size, uint32_t* count) {
    return Map(g_FileSystem.ReadFile(file && file->handle ? file->handle : &g_handle, buffer, size,
                                     count));
}

unsigned fx_file_write(FX_FILE* file, const void* data, uint32_t size) {
    return Map(g_FileSystem.WriteFile(file && file->handle ? file->handle : &g_handle, data, size));
}

unsigned fx_file_seek(FX_FILE*, uint32_t offset) {
    return g_FileSystem.SeekFile(&g_handle, offset) == FS_SUCCESS ? FX_SUCCESS : FX_SEEK_ERROR;
}

unsigned fx_directory_information_get(FX_MEDIA*, const char* name, unsigned* attributes,
                                      uint32_t* size, unsigned* year, unsigned* month,
                                      unsigned* day, unsigned* hour, unsigned* minute,
                                      unsigned* second) {
    const TFILE* h = name ? mon_tfsstat(SkipSlash(name)) : nullptr;
    if (h == nullptr)
        return FX_NOT_FOUND;
    if (attributes)
        *attributes = 0;
    if (size)
        *size = h->filsize;
    if (year)
        *year = 2004;
    if (month)
        *month = 1;
    if (day)
        *day = 1;
    if (hour)
        *hour = 0;
    if (minute)
        *minute = 0;
    if (second)
        *second = 0;
    return FX_SUCCESS;
}
