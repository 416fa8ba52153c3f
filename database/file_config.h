#pragma once
// CONFIG.XML: the text copy of the configuration catalogue's settings in the flash file system,
// and "CONFIG FILE" (peripheral 301), which rewrites it some time after the last change.
//
// File: line 1 "<!-- CONFIG.XML Q2 V2.0 -->\n", then one record per object that differs from its
// catalogue default (integers) or is not empty (strings):
//   name[IIII]:XXXX,VALUE\n          integer, value in upper-case hexadecimal
//   name[IIII]:LLLL,<LLLL octets>\n  string, the octets raw
// Version 1 files have no length field ("name[IIII]:value\n").

#include <cstdint>

#include "database/file_system_driver.h"
#include "peripherals/peripheral.h"

class CDataBase;
class PostOffice;

// Set when the configuration changed and the file was not written since.
extern uint8_t g_ConfigDirty;

struct ConfigPeripheralDescriptor {
    uint16_t listSlot;
    uint16_t peripheralId;
};

// Puts a new file peripheral (null when memory was short) in the list slot of `descriptor`,
// polled every `pollDivider` cycles, enabled; returns it.
CPeripheral* InstallFilePeripheral(CPeripheral* file, const ConfigPeripheralDescriptor& descriptor,
                                   uint16_t pollDivider);

class CFile_Config : public CPeripheral {
public:
    static constexpr uint8_t kClassCode = 14;
    static constexpr uint16_t kPeripheralId = 301;
    static constexpr uint16_t kPollDivider = 600;
    static constexpr uint32_t kBufferSize = 256 * 1024;
    static constexpr uint32_t kLineSize = 200;
    static constexpr int kCorrupt = 11;
    static constexpr int kBuildOverflow = 2;
    static constexpr const char* kFileName = "CONFIG.XML";
    static constexpr const char* kBackupName = "CONFIG.BAK";
    static constexpr const char* kHeader = "<!-- CONFIG.XML Q2 V2.0 -->\n";

    CFile_Config();
    ~CFile_Config() override = default;

    void Poll() override;
    void SetEnabled(uint8_t on) override { enabled = on; }

    static const char* NameOf() { return "CONFIG FILE"; }
    static uint16_t IdOf(const char* name);
    // The factory of class 14: a new, enabled object for id 301 (poll divider 600), else null.
    static CPeripheral* Create(const ConfigPeripheralDescriptor& descriptor);

    // 1 when CONFIG.XML was written (CONFIG.BAK is then deleted).
    static int WriteConfigFile(FsMedia* media, CFileSystem_Driver* driver);
    // 1 when CONFIG.XML (or else CONFIG.BAK) was read and was not corrupt.
    static int RestoreConfigFile(FsMedia* media, CFileSystem_Driver* driver);
    // The file text into buffer: 0; 1 for a null buffer; kBuildOverflow (length 0) when the text
    // does not fit.
    static int Build(char* buffer, uint32_t size, uint32_t* length);
    // Restores every record of the text: kCorrupt when refused as corrupt, else 0.
    static int ParseFile(const char* text, uint32_t length);
    // Restores one record (its newline already replaced by NUL). The length bounds a record that
    // holds NUL octets; without one the record ends at its first NUL.
    static void Parse(const char* record, int version);
    static void Parse(const char* record, uint32_t length, int version);

    // Wiring (start-up; tests): the database written and read (g_DataBase by default), the post
    // office of letters 25 and 96, the media and driver of Poll, and the 256 KB buffers (the
    // general-purpose pool by default).
    static void AttachDatabase(CDataBase* db);
    static void AttachPostOffice(PostOffice* office);
    static void AttachFiles(FsMedia* media, CFileSystem_Driver* driver);
    static void SetBufferHooks(void* (*take)(uint32_t size), void (*give)(void* block));
    // Called for a restored brenModuleID (the display's hook; nothing by default).
    static void SetModuleIdHook(void (*restored)());
};
