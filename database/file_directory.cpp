#include "database/file_directory.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "database/data_base.h"
#include "database/file_services.h"
#include "database/object_ids.h"
#include "peripherals/clock.h"
#include "platform/monitor/mon.h"
#include "runtime/crc16.h"

CFile_Directory::CFile_Directory() : CPeripheral(kClassCode, kPeripheralId) {
    name = NameOf();
}

uint16_t CFile_Directory::IdOf(const char* text) {
    return text != nullptr && std::strcmp(text, NameOf()) == 0 ? kPeripheralId : 0;
}

CPeripheral* CFile_Directory::Create(const ConfigPeripheralDescriptor& descriptor) {
    if (descriptor.peripheralId != kPeripheralId) {
        return nullptr;
    }
    return InstallFilePeripheral(new (std::nothrow) CFile_Directory(), descriptor, 1);
}

bool CFile_Directory::WriteDirectoryFile(FsMedia* media, CFileSystem_Driver* driver) {
    if (driver == nullptr) {
        return false;
    }
    char* block = static_cast<char*>(file_services::TakeBlock(file_services::kBlockSize));
    if (block == nullptr) {
        return false;
    }
    uint32_t length = 0;
    BuildDirectoryFile(block, file_services::kBlockSize, &length);
    const FsStatus status =
        driver->AddFile(media, nullptr, kFileName, FS_FLAG_BUFFERED, block, length);
    file_services::GiveBlock(block);
    return status == FS_SUCCESS;
}

int BuildDirectoryFile(char* buffer, uint32_t room, uint32_t* length) {
    if (buffer == nullptr || length == nullptr) {
        return 0;
    }
    CDataBase& db = file_services::Db();
    uint32_t patternLength = 0;
    const char* pattern = db.GetText(dbo::brenFileTransferBlock, &patternLength);
    if (pattern == nullptr) {
        return 0;
    }
    const uint16_t crc = Crc16Compute(0xFFFF, pattern, patternLength, 0);
    if (crc != static_cast<uint16_t>(db.Get(dbo::brenFileTransferBlockCrc))) {
        return 0;
    }
    uint32_t used = 0;
    for (const TFILE* file = mon_tfsnext(nullptr); file != nullptr; file = mon_tfsnext(file)) {
        if (!MatchDirectoryPattern(pattern, patternLength, file->name)) {
            continue;
        }
        std::tm t{};
        SecondsToDateTime(file->modtime, &t);
        char line[TFSNAMESIZE + 80];
        const int n = std::snprintf(line, sizeof line,
                                    "00000080"
                                    "00000000000000"
                                    "00000000000000"
                                    "%04d%02d%02d%02d%02d%02d%08X%s\r\n",
                                    t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                                    t.tm_sec, file->filsize, file->name);
        if (n < 0 || static_cast<uint32_t>(n) >= sizeof line ||
            static_cast<uint32_t>(n) > room - used) {
            break;  // whole lines only
        }
        std::memcpy(buffer + used, line, static_cast<size_t>(n));
        used += static_cast<uint32_t>(n);
    }
    *length = used;
    return 0;
}

bool MatchDirectoryPattern(const char* pattern, uint32_t length, const char* name) {
    if (pattern == nullptr || name == nullptr) {
        return false;
    }
    char copy[CFile_Directory::kPatternMax + 1] = {};
    std::memcpy(copy, pattern,
                length < CFile_Directory::kPatternMax ? length : CFile_Directory::kPatternMax);
    const char* patternPart = copy;
    const char* namePart = name;
    if (const char* slash = std::strrchr(copy, '/'); slash != nullptr) {
        const size_t directory = static_cast<size_t>(slash - copy);
        if (std::strncmp(name, copy, directory) == 0) {
            patternPart = slash + 1;
            const char* nameSlash = std::strrchr(name, '/');
            namePart = nameSlash != nullptr ? nameSlash + 1 : name;
        }
    }
    if (patternPart[0] == '*') {
        if (patternPart[1] == '\0') {
            return true;
        }
        const char* patternDot = std::strrchr(patternPart, '.');
        const char* nameDot = std::strrchr(namePart, '.');
        if (patternDot == nullptr || nameDot == nullptr) {
            return false;
        }
        return std::strcmp(patternDot + 1, nameDot + 1) == 0;
    }
    return std::strcmp(patternPart, namePart) == 0;
}
