#include "database/file_monrc.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "database/data_base.h"
#include "database/file_services.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"

namespace {

// Appends one formatted line when it fits whole.
template <typename... Args>
void AppendLine(char* buffer, uint32_t room, uint32_t* used, const char* format, Args... args) {
    char line[64];
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (n < 0 || static_cast<uint32_t>(n) >= sizeof line ||
        static_cast<uint32_t>(n) > room - *used) {
        return;
    }
    std::memcpy(buffer + *used, line, static_cast<size_t>(n));
    *used += static_cast<uint32_t>(n);
}

void AppendAddress(char* buffer, uint32_t room, uint32_t* used, const char* variable,
                   uint32_t value) {
    AppendLine(buffer, room, used, "set %s %u.%u.%u.%u\r\n", variable, value >> 24 & 0xFF,
               value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
}

}  // namespace

CFile_Monrc::CFile_Monrc() : CPeripheral(kClassCode, kPeripheralId) {
    name = NameOf();
}

uint16_t CFile_Monrc::IdOf(const char* text) {
    return text != nullptr && std::strcmp(text, NameOf()) == 0 ? kPeripheralId : 0;
}

CPeripheral* CFile_Monrc::Create(const ConfigPeripheralDescriptor& descriptor) {
    if (descriptor.peripheralId != kPeripheralId) {
        return nullptr;
    }
    return InstallFilePeripheral(new (std::nothrow) CFile_Monrc(), descriptor, 1);
}

bool CFile_Monrc::WriteMonrc(FsMedia* media, CFileSystem_Driver* driver) {
    char* block = static_cast<char*>(file_services::TakeBlock(file_services::kBlockSize));
    if (block == nullptr) {
        return false;
    }
    DebugPrint(" - Writing %s\t\t\t\t\t", kFileName);
    uint32_t length = 0;
    ::WriteMonrc(block, file_services::kBlockSize, &length);
    const FsStatus status =
        driver != nullptr ? driver->AddFile(media, nullptr, kFileName, FS_FLAG_E, block, length)
                          : FS_BAD_ARGUMENT;
    file_services::GiveBlock(block);
    DebugPrint(status == FS_SUCCESS ? "[ OK ]\n" : "[FAIL]\n");
    return status == FS_SUCCESS;
}

int WriteMonrc(char* buffer, uint32_t room, uint32_t* length) {
    if (buffer == nullptr || length == nullptr) {
        return 0;
    }
    const CDataBase& db = file_services::Db();
    uint32_t used = 0;
    AppendAddress(buffer, room, &used, "IPADD", db.Get(dbo::ipAdEntAddr));
    AppendAddress(buffer, room, &used, "NETMASK", db.Get(dbo::ipAdEntNetMask));
    AppendAddress(buffer, room, &used, "GIPADD", db.Get(dbo::ipRouteDest));
    uint8_t mac[7] = {};
    if (db.ReadString(dbo::ifPhysAddress.id, DbImage::kVolatile, mac, sizeof mac) == 6) {
        AppendLine(buffer, room, &used, "set ETHERADD %02X:%02X:%02X:%02X:%02X:%02X\r\n", mac[0],
                   mac[1], mac[2], mac[3], mac[4], mac[5]);
    }
    *length = used;
    return 0;
}
