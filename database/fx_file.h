#pragma once
// File calls in the style of the network stack's file API, for the web
// server: one static file handle over g_FileSystem. Results: FX_SUCCESS,
// FX_NOT_FOUND, FX_SEEK_ERROR, FX_END_OF_FILE, FX_IO_ERROR.

#include <cstdint>

#include "database/file_system_driver.h"

using FX_MEDIA = FsMedia;
struct FX_FILE {
    FsFile* handle = nullptr;
};

inline constexpr unsigned FX_SUCCESS = 0;
inline constexpr unsigned FX_NOT_FOUND = 4;
inline constexpr unsigned FX_SEEK_ERROR = 7;
inline constexpr unsigned FX_END_OF_FILE = 9;
inline constexpr unsigned FX_IO_ERROR = 144;
inline constexpr unsigned FX_OPEN_FOR_READ = 0;
inline constexpr unsigned FX_OPEN_FOR_WRITE = 1;

unsigned fx_file_create(FX_MEDIA* media, const char* name);
unsigned fx_file_delete(FX_MEDIA* media, const char* name);
unsigned fx_file_open(FX_MEDIA* media, FX_FILE* file, const char* name, unsigned mode);
unsigned fx_file_close(FX_FILE* file);
unsigned fx_file_read(FX_FILE* file, void* buffer, uint32_t size, uint32_t* count);
unsigned fx_file_write(FX_FILE* file, const void* data, uint32_t size);
unsigned fx_file_seek(FX_FILE* file, uint32_t offset);
unsigned fx_directory_information_get(FX_MEDIA* media, const char* name, unsigned* attributes,
                                      uint32_t* size, unsigned* year, unsigned* month,
                                      unsigned* day, unsigned* hour, unsigned* minute,
                                      unsigned* second);

// The static handle, for tests.
FsFile* fx_static_handle();
