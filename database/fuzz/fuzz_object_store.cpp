// Runs a sequence of store operations decoded from the input: ids, widths, values, flags and
// string bytes as a remote writer could choose them (the brightness table parser included).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "database/data_base.h"
#include "database/recording_journal.h"
#include "database/recording_notify_sink.h"

namespace {
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint32_t Take(unsigned bytes) {
        uint32_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) {
            value = value << 8 | (pos < size ? data[pos++] : 0);
        }
        return value;
    }
    bool Done() const { return pos >= size; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto db = [] {
        auto d = std::make_unique<CDataBase>(0x10000);
        d->SetNotificationEnabled(true);
        return d;
    }();
    static RecordingJournal journal;
    static RecordingNotifySink sink;
    journal.SetCountOnly(true);
    sink.SetCountOnly(true);
    db->SetJournal(&journal);
    db->SetNotifySink(&sink);

    Reader in{data, size};
    while (!in.Done()) {
        const uint32_t op = in.Take(1);
        const DbImage image = static_cast<DbImage>(in.Take(1) % 3);
        // Ids near the interesting objects as often as anywhere else.
        uint32_t id = in.Take(4);
        if (op & 0x80) {
            id = 34284 + (id % 64) - 32;
        }
        const uint32_t width = in.Take(1) % 6;
        const uint32_t flags = in.Take(1) & 0xF;
        switch (op % 5) {
            case 0:
                db->SetInt(id, width, in.Take(4), image, flags);
                break;
            case 1: {
                const uint32_t length = in.Take(2) % 2100;
                const size_t available = in.size - in.pos;
                const uint32_t n = length < available ? length : static_cast<uint32_t>(available);
                db->SetString(id, 4, data + in.pos, n, image, flags);
                in.pos += n;
                break;
            }
            case 2:
                db->GetInt(id, width, image);
                break;
            case 3: {
                uint32_t length = 0;
                const char* text = db->GetString(id, 4, image, &length);
                volatile char sinkByte = length != 0 ? text[length - 1] : text[0];
                (void)sinkByte;
                break;
            }
            default:
                db->SetRegisterTime(id, width, in.Take(4), image, flags);
                break;
        }
    }
    return 0;
}
