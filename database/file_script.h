#pragma once
// "SCRIPT FILE" (peripheral 303): SCRIPT.XML, object settings by identifier applied at start-up
// when bit 0 of scriptFileTrigger is set. A missing or corrupt file is replaced by the built-in
// default script.

#include <cstdint>

#include "database/file_config.h"
#include "database/file_system_driver.h"
#include "peripherals/peripheral.h"

class CFile_Script : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 18;
    static constexpr uint16_t kPeripheralId = 303;
    static constexpr const char* kFileName = "SCRIPT.XML";

    CFile_Script();
    ~CFile_Script() override = default;

    void Poll() override { state = kValid; }
    void SetEnabled(uint8_t on) override { enabled = on; }

    static const char* NameOf() { return "SCRIPT FILE"; }
    static uint16_t IdOf(const char* name);
    // A new, enabled object for id 303, else null.
    static CPeripheral* Create(const ConfigPeripheralDescriptor& descriptor);

    // Applies SCRIPT.XML when the trigger bit is set (clearing it): true when a script was
    // applied (letter 25 posted).
    static bool ProcessScriptFile(FsMedia* media, CFileSystem_Driver* driver);
};

// Stores the built-in script as SCRIPT.XML: true on success.
bool WriteDefaultScript(FsMedia* media, CFileSystem_Driver* driver);
