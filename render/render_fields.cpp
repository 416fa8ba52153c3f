#include "render/render_fields.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "database/data_base.h"
#include "render/multi_environment.h"
#include "render/render_objects.h"
#include "render/sign_objects.h"

namespace {

using render_objects::Ref;

uint32_t Volatile(Ref ref) {
    return MultiEnvironment().GetVolatile(ref.id, ref.width);
}

const char* const kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};

// Appends to a bounded buffer; the terminator is always kept.
struct Output {
    char* out;
    uint32_t size;
    uint32_t length = 0;

    void Put(char c) {
        if (length + 1 < size) {
            out[length++] = c;
        }
    }
    void Put(const char* text, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            Put(text[i]);
        }
    }
    void Number(int value, int digits, char pad) {
        char buffer[16];
        const int n = std::snprintf(buffer, sizeof buffer, "%d", value);
        for (int i = n; i < digits; ++i) {
            Put(pad);
        }
        Put(buffer, static_cast<uint32_t>(std::max(n, 0)));
    }
    uint32_t Finish() {
        if (size != 0) {
            out[length] = '\0';
        }
        return length;
    }
};

// km/h to mph, truncated.
int64_t Miles(uint32_t kilometres) {
    return static_cast<int64_t>(kilometres * 0.6214);
}

}  // namespace

RenderDateTime RenderSecondsToDateTime(uint32_t seconds) {
    RenderDateTime t{};
    const int64_t days = seconds / 86400;
    const int64_t rest = seconds % 86400;
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    t.weekday = static_cast<int>((days + 4) % 7);  // 1 January 1970 was a Thursday
    // Civil date from a day count (proleptic Gregorian, eras of 400 years).
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    return t;
}

uint32_t RenderFormatTime(const char* format, const RenderDateTime& time, char* out,
                          uint32_t size) {
    Output o{out, size};
    for (const char* p = format; p != nullptr && *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0') {
            o.Put(*p);
            continue;
        }
        const char c = *++p;
        switch (c) {
            case 'H':
                o.Number(time.hour, 2, '0');
                break;
            case 'M':
                o.Number(time.minute, 2, '0');
                break;
            case 'd':
                o.Number(time.day, 2, '0');
                break;
            case 'm':
                o.Number(time.month, 2, '0');
                break;
            case 'y':
                o.Number(time.year % 100, 2, '0');
                break;
            case 'Y':
                o.Number(time.year, 4, '0');
                break;
            case 'a':
                o.Put(kDayNames[time.weekday], 3);
                break;
            case 'A':
                o.Put(kDayNames[time.weekday],
                      static_cast<uint32_t>(std::strlen(kDayNames[time.weekday])));
                break;
            case '#':
                if (p[1] == 'I') {
                    ++p;
                    const int hour = time.hour % 12 == 0 ? 12 : time.hour % 12;
                    o.Number(hour, 2, ' ');
                } else {
                    o.Put('%');
                    o.Put('#');
                }
                break;
            case '%':
                o.Put('%');
                break;
            default:
                o.Put('%');
                o.Put(c);
                break;
        }
    }
    const uint32_t length = o.Finish();
    for (uint32_t i = 0; i < length; ++i) {
        if (out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
    }
    return length;
}

uint32_t RenderFormatNumber(const char* format, int64_t value, char* out, uint32_t size) {
    Output o{out, size};
    const char* p = format != nullptr ? format : "";
    int width = -1;
    if (p[0] == '%') {
        int w = 0;
        const char* q = p + 1;
        while (*q >= '0' && *q <= '9' && w < 100) {
            w = w * 10 + (*q++ - '0');
        }
        if (q[0] == 'd' && q[1] == '\0') {
            width = w;
        }
    }
    if (width < 0) {
        o.Put(p, static_cast<uint32_t>(std::strlen(p)));
        return o.Finish();
    }
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    for (int i = n; i < width; ++i) {
        o.Put(' ');
    }
    o.Put(buffer, static_cast<uint32_t>(std::max(n, 0)));
    return o.Finish();
}

uint32_t RenderProduceText(const CMessage& message, char* out, uint32_t size) {
    if (out == nullptr || size == 0) {
        return 0;
    }
    out[0] = '\0';
    const multi_element& e = message.element;
    switch (message.element_kind) {
        case kElementRemoteText: {
            CDataBase* db = sign_objects::Database();
            if (db == nullptr) {
                return 0;
            }
            // Only the part from the offset is wanted, and never more than fits.
            char remote[4096];
            const uint32_t stored = db->ReadString(render_objects::kRemoteTextId,
                                                   DbImage::kVolatile, remote, sizeof remote);
            const uint32_t available = std::min<uint32_t>(stored, sizeof remote);
            const uint32_t offset = e.remote_offset;
            if (offset > stored || offset >= available) {
                return 0;
            }
            uint32_t count = offset + e.remote_length < stored ? e.remote_length : stored - offset;
            count = std::min({count, available - offset, size - 1});
            std::memcpy(out, remote + offset, count);
            out[count] = '\0';
            return count;
        }
        case kElementTimeField:
            return RenderFormatTime(
                e.format, RenderSecondsToDateTime(Volatile(render_objects::kControllerLocalTime)),
                out, size);
        case kElementCelsiusField:
        case kElementFahrenheitField: {
            const int64_t t = static_cast<int8_t>(Volatile(render_objects::kTempMaxAmbient));
            const int64_t value = message.element_kind == kElementCelsiusField ? t : t * 9 / 5 + 32;
            return RenderFormatNumber(e.format, value, out, size);
        }
        case kElementSpeedMphField:
            return RenderFormatNumber(e.format, Miles(Volatile(render_objects::kCurrentSpeed)), out,
                                      size);
        case kElementSpeedKmhField:
            return RenderFormatNumber(e.format, Volatile(render_objects::kCurrentSpeed), out, size);
        case kElementCharacter:
            if (size < 2) {
                return 0;
            }
            out[0] = static_cast<char>(e.character);
            out[1] = '\0';
            return 1;
        case kElementSpeedSensor: {
            const uint32_t index = std::min<uint32_t>(e.sensor, 4);
            const uint32_t speed = Volatile(render_objects::SensorValue(index));
            return RenderFormatNumber(e.format, e.unit == 1 ? Miles(speed) : speed, out, size);
        }
        default:
            return 0;
    }
}

void RenderRecordFieldStatus(CMessage& message, const char* text, uint32_t length) {
    CDataBase* db = sign_objects::Database();
    if (db == nullptr || message.trial_render) {
        return;
    }
    const uint32_t last = render_objects::kFieldStatusRows - 1;
    const uint32_t row = std::min<uint32_t>(message.field_rows_used, last);
    const uint16_t field = message.element.field;
    const uint32_t code = field >= 92 && field <= 99 ? 0 : field;
    db->SetString(render_objects::MultiFieldValueId(row), 4, text, length, DbImage::kVolatile,
                  kDbNotify);
    db->SetInt(render_objects::MultiFieldCode(row).id, 1, code, DbImage::kVolatile, kDbNotify);
    // Past the last row the count stays at the table's size and the last row takes the field.
    if (message.field_rows_used < render_objects::kFieldStatusRows) {
        ++message.field_rows_used;
    }
    const auto rows = render_objects::kMultiFieldRows;
    if (message.field_rows_used > db->GetInt(rows.id, rows.width, DbImage::kVolatile)) {
        db->SetInt(rows.id, rows.width, message.field_rows_used, DbImage::kVolatile, kDbNotify);
    }
}
