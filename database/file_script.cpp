#include "database/file_script.h"

#include <cstring>
#include <new>

#include "database/builtin_files.h"
#include "database/data_base.h"
#include "database/file_services.h"
#include "database/object_ids.h"
#include "database/script_parser.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"

namespace {

enum class Attempt { kApplied, kRetry };

// One attempt at reading and applying the file; the block holds kBlockSize bytes.
Attempt TryScript(FsMedia* media, CFileSystem_Driver* driver, char* block) {
    FsFile file;
    if (driver->OpenFile(media, &file, CFile_Script::kFileName, FS_FLAG_READ) != FS_SUCCESS) {
        WriteDefaultScript(media, driver);
        return Attempt::kRetry;
    }
    DebugPrint(" - Detected Script File\t\t\t\t\t");
    uint32_t count = 0;
    const FsStatus read = driver->ReadFile(&file, block, file_services::kBlockSize, &count);
    if (read != FS_SUCCESS && read != FS_END_OF_FILE) {
        DebugPrint("[FAIL]\n\tfile_read failed:0x%02X\n", read);
        driver->CloseFile(&file);
        return Attempt::kRetry;
    }
    if (read == FS_END_OF_FILE || count > file_services::kBlockSize) {
        count = read == FS_END_OF_FILE ? 0 : file_services::kBlockSize;
    }
    if (ScriptParser(block, count) == kScriptCorrupt) {
        driver->CloseFile(&file);
        driver->DeleteFile(media, CFile_Script::kFileName);
        DebugPrint("[FAIL]\n\tFile was corrupt\n");
        WriteDefaultScript(media, driver);
        return Attempt::kRetry;
    }
    file_services::Office().PostLetter(kLetterObjectsRestored);
    driver->CloseFile(&file);
    DebugPrint("[ OK ]\n");
    return Attempt::kApplied;
}

}  // namespace

CFile_Script::CFile_Script() : CPeripheral(kClassCode, kPeripheralId) {
    name = NameOf();
}

uint16_t CFile_Script::IdOf(const char* text) {
    return text != nullptr && std::strcmp(text, NameOf()) == 0 ? kPeripheralId : 0;
}

CPeripheral* CFile_Script::Create(const ConfigPeripheralDescriptor& descriptor) {
    if (descriptor.peripheralId != kPeripheralId) {
        return nullptr;
    }
    return InstallFilePeripheral(new (std::nothrow) CFile_Script(), descriptor, 1);
}

bool CFile_Script::ProcessScriptFile(FsMedia* media, CFileSystem_Driver* driver) {
    if (driver == nullptr) {
        return false;
    }
    char* block = static_cast<char*>(file_services::TakeBlock(file_services::kBlockSize));
    if (block == nullptr) {
        return false;
    }
    std::memset(block, 0, file_services::kBlockSize);
    CDataBase& db = file_services::Db();
    const uint32_t trigger = db.Get(dbo::scriptFileTrigger);
    if ((trigger & 0x01) == 0) {
        file_services::GiveBlock(block);
        return false;
    }
    db.Set(dbo::scriptFileTrigger, trigger & ~0x01u, kDbNotify);
    bool applied = false;
    for (int attempt = 0; attempt < 2 && !applied; ++attempt) {
        applied = TryScript(media, driver, block) == Attempt::kApplied;
    }
    file_services::GiveBlock(block);
    return applied;
}

bool WriteDefaultScript(FsMedia* media, CFileSystem_Driver* driver) {
    if (driver == nullptr) {
        return false;
    }
    auto* block = static_cast<uint8_t*>(file_services::TakeBlock(file_services::kBlockSize));
    if (block == nullptr) {
        return false;
    }
    DebugPrint(" - Writing %s\t\t\t\t\t", CFile_Script::kFileName);
    bool written = false;
    if (kBuiltinScriptFilesCount > 0) {
        const long length =
            InflateBuiltinFile(kBuiltinScriptFiles[0], block, file_services::kBlockSize);
        written = length >= 0 && driver->AddFile(media, nullptr, CFile_Script::kFileName, 0, block,
                                                 static_cast<uint32_t>(length)) == FS_SUCCESS;
    }
    file_services::GiveBlock(block);
    DebugPrint(written ? "[ OK ]\n" : "[FAIL]\n");
    return written;
}
