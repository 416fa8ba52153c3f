#pragma once
// How the renderer reaches the flash file system for [ms47,g...] bitmap files: the boot
// monitor's unless tests or tools install a reader of their own.

#include <cstdint>

class CRenderFiles {
public:
    virtual ~CRenderFiles() = default;
    // The contents of the named file (its data, after the file system's own header): a pointer
    // valid until the next call and its size in bytes. False when no such file exists.
    virtual bool Read(const char* name, const uint8_t** data, uint32_t* size) = 0;
};

// The installed reader (null: the boot monitor's flash file system, the default); returns the
// one it replaces.
CRenderFiles* RenderSetFiles(CRenderFiles* files);
CRenderFiles* RenderFiles();
