// Looks for bitmap references in arbitrary MULTI texts of a stored message: every name found lies
// inside the text, and the reference check neither reads past the text nor crashes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "display/bitmap_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CDataBase db(256 * 1024);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string terminated = text.c_str();  // up to the first NUL, as stored texts are read
    for (const char* name = bitmap_store::FindBitmapNameInMulti(terminated.c_str());
         name != nullptr; name = bitmap_store::FindBitmapNameInMulti(name)) {
        if (name < terminated.c_str() || name > terminated.c_str() + terminated.size()) {
            std::abort();
        }
    }
    db.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()), kDbReplayFlags, 0);
    db.Set(dbo::dmsMessageStatus, 4, kDbReplayFlags, 0);
    for (const char* name : {"A.bmp", "Bitmaps/A.bmp", "", "Bitmaps/"}) {
        bitmap_store::IsBitmapReferenced(db, 3, name);
    }
    return 0;
}
