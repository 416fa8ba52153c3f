#pragma once
// How the renderer reaches the flash file system for [ms47,g...] bitmap files. The controller
// installs a reader over the boot monitor's file system at start-up; tests and tools install
// their own. Without one no file is found.

#include <cstdint>

class CRenderFiles {
public:
    virtual ~CRenderFiles() = default;
    // The contents of the named file (its data, after the file system's own header): a pointer
    // valid until the next call and its size in bytes. False when no such file exists.
    virtual bool Read(const char* name, const uint8_t** data, uint32_t* size) = 0;
};

// The installed reader (null: none); returns the one it replaces.
CRenderFiles* RenderSetFiles(CRenderFiles* files);
CRenderFiles* RenderFiles();
