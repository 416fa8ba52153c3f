#pragma once
// What MULTI parsing needs from outside rendering: object store reads, the
// display module type, the flash file system's existence test and the
// general-purpose outputs of the peripheral task. One environment is
// installed for the process; tests install their own. The controller's own
// reads the database attached with sign_objects::AttachDatabase.

#include <cstdint>

struct MultiModuleType {
    uint8_t colour_capability;  // colour planes: 1 monochrome, 2, 3 RGB
    uint8_t cell_width;         // module width in pixels (character cell)
};

class CMultiEnvironment {
public:
    virtual ~CMultiEnvironment() = default;
    // Unsigned value of an integer object of the non-volatile / volatile image.
    virtual uint32_t GetNv(uint32_t id, uint32_t width) = 0;
    virtual uint32_t GetVolatile(uint32_t id, uint32_t width) = 0;
    // Module-type record of brenModuleID.
    virtual MultiModuleType ModuleType();
    // Whether the flash file system holds a file of this name.
    virtual bool FileExists(const char* name) = 0;
    // General-purpose output n (1-32) on or off.
    virtual void SetGpo(unsigned output, bool on) = 0;
};

// The installed environment (the controller's own unless a test replaced it).
CMultiEnvironment& MultiEnvironment();
// Installs env (null: the controller's own); returns the one it replaces.
CMultiEnvironment* MultiSetEnvironment(CMultiEnvironment* env);
