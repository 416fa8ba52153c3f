#pragma once
// "DIRECTORY FILE" (peripheral 300): the listing of the stored files whose names match the
// pattern a file-transfer client wrote, as the flash file "//SD/<dir>". One line per file:
// "00000080", twice "00000000000000", the time stamp "YYYYMMDDhhmmss", the size "%08X", the
// name and CR LF.

#include <cstdint>

#include "database/file_config.h"
#include "database/file_system_driver.h"
#include "peripherals/peripheral.h"

class CFile_Directory : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 15;
    static constexpr uint16_t kPeripheralId = 300;
    static constexpr const char* kFileName = "//SD/<dir>";
    static constexpr uint32_t kPatternMax = 150;

    CFile_Directory();
    ~CFile_Directory() override = default;

    void Poll() override { state = kValid; }
    void SetEnabled(uint8_t on) override { enabled = on; }

    static const char* NameOf() { return "DIRECTORY FILE"; }
    static uint16_t IdOf(const char* name);
    // A new, enabled object for id 300, else null.
    static CPeripheral* Create(const ConfigPeripheralDescriptor& descriptor);

    // Builds the listing and stores it; false when no block was free or the driver refused it.
    static bool WriteDirectoryFile(FsMedia* media, CFileSystem_Driver* driver);
};

// The listing into buffer (whole lines only, up to room): 0. A missing pattern or one whose
// CRC-16 differs from brenFileTransferBlockCrc leaves the out length unchanged.
int BuildDirectoryFile(char* buffer, uint32_t room, uint32_t* length);
// "*" matches every name, "*.ext" every name ending in ".ext", anything else itself; a pattern
// with a directory part ("dir/...") applies to the part of names after their last "/" when the
// names begin with that directory.
bool MatchDirectoryPattern(const char* pattern, uint32_t length, const char* name);
