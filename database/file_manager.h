#pragma once
// "FILE MANAGER" (peripheral 304): restores the built-in web templates and style sheet into the
// flash file system.

#include <cstdint>

#include "database/builtin_files.h"
#include "database/file_config.h"
#include "database/file_system_driver.h"
#include "peripherals/peripheral.h"

class CFile_Manager : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 17;
    static constexpr uint16_t kPeripheralId = 304;
    static constexpr uint16_t kPollDivider = 5;

    CFile_Manager();
    ~CFile_Manager() override = default;

    void Poll() override { state = kValid; }
    void SetEnabled(uint8_t on) override { enabled = on; }

    static const char* NameOf() { return "FILE MANAGER"; }
    static uint16_t IdOf(const char* name);
    // A new, enabled object for id 304, else null.
    static CPeripheral* Create(const ConfigPeripheralDescriptor& descriptor);

    // The built-in entry whose whole name begins the requested name (letters in either case).
    static const BuiltinFile* FindBuiltin(const char* name);
    // Stores the built-in file of the name under that name unless the stored file already holds
    // it: 1, or 0 when no block was free. A name without a built-in file writes nothing.
    static int RestoreWebFile(FsMedia* media, CFileSystem_Driver* driver, const char* name,
                              uint32_t reserved);
};
