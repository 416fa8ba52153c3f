// CONFIG.XML reader: any text is parsed into a database without leaving its bounds, and the
// database then builds a file again.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/data_base.h"
#include "database/file_config.h"
#include "runtime/debug_print.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CDataBase* db = [] {
        DebugSetSink([](const char*) {});
        auto* database = new CDataBase(1u << 20);
        database->SetValidationEnabled(false);
        CFile_Config::AttachDatabase(database);
        return database;
    }();
    (void)db;
    if (size > CFile_Config::kBufferSize) {
        return 0;
    }
    // The reader gets the text as read from flash: the buffer holds a NUL after it.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    CFile_Config::ParseFile(text.data(), static_cast<uint32_t>(size));
    static std::vector<char> out(CFile_Config::kBufferSize);
    uint32_t length = 0;
    CFile_Config::Build(out.data(), static_cast<uint32_t>(out.size()), &length);
    return 0;
}
