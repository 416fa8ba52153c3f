#pragma once
// "MONRC FILE" (peripheral 302): the boot monitor's command file "monrc", which sets the board's
// network addresses (IPADD, NETMASK, GIPADD, ETHERADD) from the object database at the next
// start.

#include <cstdint>

#include "database/file_config.h"
#include "database/file_system_driver.h"
#include "peripherals/peripheral.h"

class CFile_Monrc : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 16;
    static constexpr uint16_t kPeripheralId = 302;
    static constexpr const char* kFileName = "monrc";

    CFile_Monrc();
    ~CFile_Monrc() override = default;

    void Poll() override { state = kValid; }
    void SetEnabled(uint8_t on) override { enabled = on; }

    static const char* NameOf() { return "MONRC FILE"; }
    static uint16_t IdOf(const char* name);
    // A new, enabled object for id 302, else null.
    static CPeripheral* Create(const ConfigPeripheralDescriptor& descriptor);

    // Writes "monrc" from the objects: true when the driver stored it.
    static bool WriteMonrc(FsMedia* media, CFileSystem_Driver* driver);
};

// The lines of "monrc" into buffer (at most room bytes, whole lines only): 0, the text length in
// *length. The ETHERADD line only when ifPhysAddress holds exactly six octets.
int WriteMonrc(char* buffer, uint32_t room, uint32_t* length);
