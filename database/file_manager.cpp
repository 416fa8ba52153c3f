#include "database/file_manager.h"

#include <strings.h>

#include <cstring>
#include <new>

#include "database/file_services.h"
#include "platform/monitor/mon.h"

namespace {

// True when the stored file of the name holds exactly these bytes.
bool StoredEquals(FsMedia* media, CFileSystem_Driver* driver, const char* name, const uint8_t* data,
                  uint32_t length) {
    FsFile file;
    if (driver->OpenFile(media, &file, name, FS_FLAG_READ) != FS_SUCCESS) {
        return false;
    }
    bool same = file.info != nullptr && file.info->filsize == length;
    uint8_t chunk[512];
    for (uint32_t at = 0; same && at < length;) {
        const uint32_t want = length - at < sizeof chunk ? length - at : sizeof chunk;
        uint32_t got = 0;
        const FsStatus status = driver->ReadFile(&file, chunk, want, &got);
        same = (status == FS_SUCCESS || status == FS_END_OF_FILE) && got == want &&
               std::memcmp(chunk, data + at, want) == 0;
        at += want;
    }
    driver->CloseFile(&file);
    return same;
}

}  // namespace

CFile_Manager::CFile_Manager() : CPeripheral(kClassCode, kPeripheralId) {
    name = NameOf();
}

uint16_t CFile_Manager::IdOf(const char* text) {
    return text != nullptr && std::strcmp(text, NameOf()) == 0 ? kPeripheralId : 0;
}

CPeripheral* CFile_Manager::Create(const ConfigPeripheralDescriptor& descriptor) {
    if (descriptor.peripheralId != kPeripheralId) {
        return nullptr;
    }
    return InstallFilePeripheral(new (std::nothrow) CFile_Manager(), descriptor, kPollDivider);
}

const BuiltinFile* CFile_Manager::FindBuiltin(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < kBuiltinWebFilesCount; ++i) {
        const BuiltinFile& entry = kBuiltinWebFiles[i];
        if (strncasecmp(name, entry.name, std::strlen(entry.name)) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

int CFile_Manager::RestoreWebFile(FsMedia* media, CFileSystem_Driver* driver, const char* name,
                                  uint32_t) {
    auto* block = static_cast<uint8_t*>(file_services::TakeBlock(file_services::kBlockSize));
    if (block == nullptr) {
        return 0;
    }
    const BuiltinFile* entry = FindBuiltin(name);
    if (entry != nullptr && driver != nullptr) {
        const long length = InflateBuiltinFile(*entry, block, file_services::kBlockSize);
        if (length >= 0 &&
            !StoredEquals(media, driver, name, block, static_cast<uint32_t>(length))) {
            driver->AddFile(media, nullptr, name, FS_FLAG_BUFFERED, block,
                            static_cast<uint32_t>(length));
        }
    }
    file_services::GiveBlock(block);
    return 1;
}
