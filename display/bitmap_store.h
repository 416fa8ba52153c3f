#pragma once
// The bitmap files of the flash file system that messages show with [ms47,g,x,y,name]: whether a
// stored message still refers to one, the purge of unreferenced ones after a message change, and
// their removal at memory clear. Files are deleted one by one, by their exact name, through the
// file-system driver; a reference may be written with or without the "Bitmaps/" prefix.

#include <cstdint>

#include "database/data_base.h"
#include "database/file_system_driver.h"

namespace bitmap_store {

inline constexpr char kPrefix[] = "Bitmaps/";
inline constexpr uint32_t kPrefixLength = sizeof(kPrefix) - 1;
inline constexpr char kDirectory[] = "./Bitmaps/";

// Built-in permanent messages (volatile): two texts and their statuses.
inline constexpr uint32_t kBuiltinPermanentText = 84;
inline constexpr uint32_t kBuiltinPermanentStatus = 110;
inline constexpr uint32_t kBuiltinPermanentCount = 2;
// Store entries of the permanent messages (NV rows 500-599).
inline constexpr uint32_t kPermanentFirstEntry = 500;
inline constexpr uint32_t kPermanentEntries = 100;
inline constexpr uint32_t kChangeableEntries = 500;
inline constexpr uint32_t kStatusValid = 4;

// The next "ms47,g," at or after text: the position of the file name after x and y (which may be
// the text's end); null when there is none. The search for the next reference goes on from the
// returned name: the result always lies past the tag it found.
const char* FindBitmapNameInMulti(const char* text);

// The name without an optional "Bitmaps/" prefix.
const char* StripPrefix(const char* name);

// True when a valid message of the memory type (2, 3 or 4) refers to the file, named with or
// without the prefix; the whole names are compared.
bool IsBitmapReferenced(const CDataBase& db, uint32_t memoryType, const char* fileName);

// Deletes every ".bmp" file of "Bitmaps/" that no permanent, changeable or volatile message
// refers to. The driver's result of opening the directory, else FS_SUCCESS.
FsStatus PurgeUnusedBitmaps(const CDataBase& db, CFileSystem_Driver* driver, FsMedia* media);

// Memory clear: with at most two permanent messages and keep != 1, every ".bmp" file goes;
// otherwise a ".bmp" file stays when permanent message 3 .. dmsNumPermanentMsg refers to it.
// The number of files that could not be deleted.
int ClearBitmapFiles(const CDataBase& db, CFileSystem_Driver* driver, FsMedia* media, int keep);

}  // namespace bitmap_store
