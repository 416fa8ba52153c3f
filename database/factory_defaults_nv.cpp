// NV parts of the four default groups.

#include "database/default_writer.h"
#include "database/factory_defaults.h"
#include "database/multi_colour24.h"

using defaults::Writer;

namespace {
DefaultHooks g_hooks;

// Message table columns of the NV image (600 rows).
constexpr uint32_t kMsgText = 25792, kMsgOwner = 28192, kMsgCrc = 30592, kMsgBeacon = 31792,
                   kMsgPixel = 32392, kMsgPriority = 32992, kMsgStatus = 33592;

void MessageRows(Writer& w, uint32_t first, uint32_t last, uint32_t priority) {
    for (uint32_t r = first; r <= last; ++r) {
        const uint32_t i = r - 1;
        w.Empty(kMsgText + 4 * i);
        w.Empty(kMsgOwner + 4 * i);
        w.Int(kMsgCrc + 2 * i, 2, 0);
        w.Int(kMsgBeacon + i, 1, 0);
        w.Int(kMsgPixel + i, 1, 0);
        w.Int(kMsgPriority + i, 1, priority);
        w.Int(kMsgStatus + i, 1, 1);
    }
}

// One message row of single objects: text, owner, CRC (2 bytes), beacon, pixel service,
// priority, status.
void SingleRow(Writer& w, uint32_t text, uint32_t status) {
    w.Empty(text);
    w.Empty(text + 4);
    w.Int(text + 8, 2, 0);
    w.Int(text + 10, 1, 0);
    w.Int(text + 11, 1, 0);
    w.Int(text + 12, 1, 1);
    w.Int(text + 13, 1, status);
}

void PutLe24(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
}
}  // namespace

void db_set_default_hooks(const DefaultHooks& hooks) {
    g_hooks = hooks;
}

const DefaultHooks& db_default_hooks() {
    return g_hooks;
}

void dms_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    if (first) {
        w.Int(48, 2, 1524);
        w.Int(50, 2, 1220);
        w.Int(52, 2, 338);
        w.Int(54, 2, 338);
        w.Int(56, 1, 8);
        w.Int(57, 1, 6);
        w.Int(58, 1, 2);
        w.Int(60, 1, 0);
        w.Int(61, 1, 0);
        w.Int(62, 2, 16);
        w.Int(64, 2, 24);
        w.Int(66, 1, 34);
        w.Int(67, 1, 34);
        const uint32_t moduleId = db.GetInt(95630, 2, DbImage::kNv);
        uint8_t colours[6];
        PutLe24(colours, multi_colour_to_rgb24(0, moduleId));
        PutLe24(colours + 3, multi_colour_to_rgb24(7, moduleId));
        w.Bytes(68, colours, sizeof colours);
    }
    // Font and character tables.
    for (uint32_t i = 0; i < 20; ++i) {
        w.Int(72 + i, 1, 0);
        w.Empty(92 + 4 * i);
        w.Int(172 + i, 1, 0);
        w.Int(192 + i, 1, 0);
        w.Int(212 + i, 1, 0);
        w.Int(232 + 2 * i, 2, 0);
    }
    for (uint32_t k = 0; k < 20 * 255; ++k) {
        w.Int(272 + k, 1, 0);
        w.Empty(5372 + 4 * k);
    }
    // MULTI defaults and their stored copies.
    w.Int(25772, 1, 7);
    w.Int(25773, 1, 0);
    w.Int(25774, 1, 10);
    w.Int(25775, 1, 10);
    w.Int(25776, 1, 1);
    w.Int(25777, 1, 3);
    w.Int(25778, 1, 3);
    w.Int(25779, 1, 20);
    w.Int(25780, 1, 0);
    w.Int(25781, 1, 2);
    if (first) {
        w.Int(25782, 1, 6);
    }
    for (uint32_t i = 0; i < 6; ++i) {
        w.Int(25783 + i, 1, w.Get(25774 + i, 1, DbImage::kNv));
    }
    w.Int(25789, 1, w.Get(25780, 1, DbImage::kNv));
    w.Int(25790, 1, 2);
    // Message table: changeable rows always, permanent rows only at the first start.
    MessageRows(w, 1, 500, 1);
    if (first) {
        MessageRows(w, 501, 600, 190);
    }
    SingleRow(w, 34192, 4);  // schedule row
    SingleRow(w, 34208, 4);  // current buffer
    w.Int(34224, 1, 0);
    w.Int(34226, 2, 65535);
    w.MsgId(34228, 7, 1, 0);
    w.Int(34232, 4, 0);
    w.Int(34236, 1, 11);
    w.MsgId(34240, 5, 1, 0);
    w.MsgId(34244, 5, 1, 0);
    w.Int(34248, 2, 60);
    w.MsgId(34252, 5, 1, 0);
    w.MsgId(34256, 7, 1, 0);
    w.Int(34260, 2, 0);
    w.MsgId(34264, 5, 1, 0);
    w.MsgId(34268, 7, 1, 0);
    w.Int(34272, 1, 0);
    w.Int(34273, 1, 2);
    w.Int(34274, 2, 0);
    w.Empty(34276);
    w.Int(34280, 1, 2);
    w.Int(34281, 1, 255);
    w.Bytes(34284, {0x30});
    w.Int(34288, 1, 2);
    w.Int(34290, 2, 0);
    w.Empties(34292, 255);
    w.Int(35312, 1, 0);
    w.Int(35316, 4, 0);
    if (first) {
        for (uint32_t g = 0; g < 50; ++g) {
            w.Int(35320 + g, 1, 0, kDbNotify | kDbSkipValidation);
            w.Empty(35372 + 4 * g);
            w.Int(35572 + g, 1, 0);
            w.Int(35622 + 2 * g, 2, 0);
            w.Int(35722 + g, 1, 1);
            w.Int(35772 + 2 * g, 2, 0);
            w.Int(35872 + g, 1, 0);
            w.Bytes(35924 + 4 * g, {0x00});
            w.Int(36124 + g, 1, 1);
        }
        w.Empties(36176, 50 * 63);
    }
}

void mib2_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    w.Text(98616, kDefaultSysContact);
    w.Text(98620, kDefaultSysName);
    w.Text(98624, "Unknown");
    if (first) {
        w.Int(98628, 4, 0x5000000);
    }
    w.Text(98632, "0.0.0.0");
    w.Int(98636, 4, 0);
    w.Int(98640, 1, 2);
    w.Int(98644, 4, 100);
    w.Int(98648, 4, 0);
    if (first) {
        w.Ints(98652, 4, 4, 4, 9600);
        w.Int(98668, 4, 10);
    }
}

void private_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    w.Int(95616, 1, 1);
    if (first) {
        w.Int(95620, 1, 100);
        w.Ints(95648, 4, 1, 1, 53);
        w.Int(95623, 1, 85);
        w.Int(95630, 2, 116);
        w.Int(95632, 1, 0);
        w.Int(95636, 4, 1);
        w.Int(95640, 4, 0);
        w.Int(95644, 1, 0);
        w.Int(95656, 4, 0);
        w.Int(95660, 4, 0);
        w.Int(95664, 2, 162);
        w.Int(95670, 1, 1);
        w.Int(95666, 2, 161);
        w.Int(95700, 4, 20);
        w.Int(95668, 2, 80);
        w.Int(95672, 4, 0);
        w.Empty(95676);
        w.Int(95680, 2, 60);
        w.Int(95682, 1, 0);
        w.Int(95683, 1, 0);
        w.Int(95696, 1, 1);
        w.Int(95697, 1, 0);
        w.Int(95646, 2, 10);
        w.MsgId(95624, 7, 1, 0);
        w.Int(95628, 1, 1);
        w.Int(95684, 1, 1);
        w.Int(95685, 1, 1);
        w.Int(95704, 4, 90000001);
        w.Int(95708, 4, 180000001);
        w.Int(95716, 4, 0);
        w.Int(95712, 4, 0);
        w.Int(95652, 2, 0);
    }
    w.MsgId(95688, 7, 1, 0);
    // Activation code: duration 65535, priority 1, memory type 7, message 1, CRC 0, 0.0.0.0.
    w.Bytes(95692, {0xFF, 0xFF, 0x01, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    if (!first) {
        w.Int(98400, 1, 50);
        w.Empties(98404, 50);
        w.Int(98604, 2, 1024);
        return;
    }
    w.Int(95720, 1, 3);
    w.Int(95721, 1, 3);
    w.Ints(95722, 9, 1, 1, 0);
    w.Int(95734, 2, 120);
    w.Int(95732, 1, 2);
    w.Int(95736, 1, 40);
    w.Int(95741, 1, 100);
    w.Int(95737, 1, 100);
    w.Int(95742, 1, 40);
    w.Ints(95738, 3, 1, 1, 0);
    w.Ints(95743, 3, 1, 1, 0);
    w.Empty(95748);
    w.Int(95752, 2, 5);
    w.Int(95754, 1, 5);
    w.Int(95756, 4, 0);
    w.Empty(95768);
    w.Int(95772, 4, 0);
    w.Empty(95776);
    for (uint32_t p = 0; p < 5; ++p) {
        w.Int(95785 + p, 1, 0);
        w.Int(95780 + p, 1, 0);
        w.Int(95790 + p, 1, 0);
        w.Int(95796 + 2 * p, 2, 0);
        w.Empty(95808 + 4 * p);
    }
    w.Int(95785, 1, 2);
    w.Int(95780, 1, 0);
    w.Int(95789, 1, 11);
    w.Int(95784, 1, 4);
    w.Int(95828, 2, 0);
    // The serial link's acknowledgement timeout would be 450000, which 2 bytes cannot hold.
    w.Int(95830, 2, 0);
    w.Int(95832, 1, 2);
    w.Int(95833, 1, 1);
    for (uint32_t r = 0; r < 255; ++r) {
        w.Int(95836 + 2 * r, 2, 0);
        w.Empty(96348 + 4 * r);
    }
    w.Int(95836, 2, 2);
    w.Text(96348, "42005,2");
    w.Int(95838, 2, 13);
    w.Text(96352, "42105,2");
    w.Int(98388, 1, 64);
    w.Bytes(98392, {0xC5, 0x21, 0x02});
    w.Int(98396, 4, 0);
    w.Int(98400, 1, 50);
    w.Empties(98404, 50);
    w.Int(98604, 2, 1024);
}

void global_factory_defaults(CDataBase& db, int mode) {
    Writer w(db, DbImage::kNv);
    const bool first = mode == kDefaultsFirstStart;
    if (first) {
        w.Text(48784, "LANTERNS");
        w.Text(48788, "MAPLES");
    }
    w.Int(48792, 2, 0);
    w.Int(48794, 1, 10);
    w.Ints(48796, 10, 4, 4, 0);
    w.Int(48836, 4, 0);
    if (first) {
        db.SetRegisterTime(48840, 4, 0, DbImage::kNv, kDbNotify | kDbIgnoredFlag);
        w.Int(48852, 4, static_cast<uint32_t>(-21600));
        w.Int(48844, 1, 3);
        for (uint32_t r = 0; r < 10; ++r) {
            const bool row1 = r == 0;
            w.Int(48856 + r, 1, row1 ? 15 : 14);
            w.Int(48866 + r, 1, row1 ? 2 : 1);
            w.Int(48876 + r, 1, 1);
            w.Int(48886 + r, 1, 1);
            w.Int(48896 + 4 * r, 4, row1 ? 7200 : 0);
            w.Int(48936 + r, 1, row1 ? 11 : 14);
            w.Int(48946 + r, 1, 1);
            w.Int(48956 + r, 1, 1);
            w.Int(48966 + r, 1, 1);
            w.Int(48976 + 4 * r, 4, row1 ? 7200 : 0);
            w.Int(49016 + 2 * r, 2, row1 ? 3600 : 0);
        }
    }
    w.Int(49036, 2, 29);
    w.Int(49038, 1, 20);
    w.Int(49039, 1, 24);
    w.Int(49040, 1, 0);
    for (uint32_t i = 0; i < 29; ++i) {
        w.Int(49044 + 2 * i, 2, 0);
        w.Int(49102 + i, 1, 0);
        w.Int(49132 + 4 * i, 4, 0);
        w.Int(49248 + i, 1, 0);
    }
    for (uint32_t n = 0; n < 20 * 24; ++n) {
        w.Int(49280 + n, 1, 0);
        w.Int(49760 + n, 1, 0);
        w.Oid(50240 + 4 * n, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 3, 1, 0});
    }
    for (uint32_t i = 0; i < 60; ++i) {
        w.Int(52160 + i, 1, 1);
        w.Int(52220 + i, 1, 1);
        w.Int(52280 + 4 * i, 4, 0);
        w.Int(52520 + 4 * i, 4, 0);
        w.Oid(52760 + 4 * i, {0, 0});
        w.Oid(53000 + 4 * i, {0, 0});
        w.Int(53240 + i, 1, 2);
    }
    {
        // Configuration 17 logs the current speed limit into class 12.
        const uint32_t i = 16;
        w.Int(52160 + i, 1, 12);
        w.Int(52220 + i, 1, 2);
        w.Int(52280 + 4 * i, 4, 0);
        w.Int(52520 + 4 * i, 4, 0);
        w.Oid(52760 + 4 * i, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1});
        w.Oid(53000 + 4 * i, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1});
        w.Int(53240 + i, 1, 3);
    }
    for (uint32_t n = 0; n < 16 * 255; ++n) {
        w.Int(53300 + 2 * n, 2, 1);
        w.Int(61460 + 4 * n, 4, 0);
        w.Empty(77780 + 4 * n);
    }
    for (uint32_t c = 0; c < 16; ++c) {
        w.Int(94100 + c, 1, 0);
        w.Int(94116 + 4 * c, 4, 0);
        w.Empty(94180 + 4 * c);
        w.Int(94244 + c, 1, 0);
    }
    w.Int(94100 + 11, 1, 100);
    w.Text(94180 + 4 * 11, "Current Speed Limit");
    w.Text(94260, "quartermaster");
    for (uint32_t k = 0; k < 100; ++k) {
        w.Text(94264 + 4 * k, "tamsol");
        w.Int(94664 + 4 * k, 4, 0);
    }
    w.Text(94272, "Tamsol");
    w.Int(94672, 4, 0xFFFFFFFF);
    for (uint32_t n = 0; n < 136; ++n) {
        w.Text(95064 + 4 * n, "UNUSED");
    }
}
