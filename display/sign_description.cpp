// CDisplay: the sign description: display update rate, geometry objects written by the
// configuration screens, the display option byte and the sign model and serial-number texts.
#include <cstdio>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "runtime/os_wrappers.h"

namespace {

// Rows of the module table (counted from 0).
constexpr uint32_t kControllerSerialRow = 1;
constexpr uint32_t kSignModelRow = 6;

struct ModelFamily {
    uint16_t first;
    uint16_t last;
    uint8_t family;
    const char* colour;
};

constexpr ModelFamily kFamilies[] = {
    {0, 0, 1, " "},       {1, 8, 1, "A"},      {9, 12, 1, "RA"},     {13, 16, 1, "RG"},
    {17, 20, 1, "RGB"},   {21, 24, 2, "A"},    {25, 26, 1, " "},     {27, 27, 1, "RG"},
    {28, 57, 4, "A"},     {58, 63, 4, "RG"},   {64, 65, 4, "A"},     {66, 69, 4, "RG"},
    {70, 71, 4, "A"},     {72, 93, 4, "RGB"},  {94, 97, 2, "RGB"},   {98, 101, 2, "RA"},
    {102, 105, 2, "RG"},  {106, 106, 1, "A"},  {107, 108, 1, " "},   {109, 114, 3, "A"},
    {115, 115, 1, " "},   {116, 117, 5, "W"},  {118, 118, 2, "A"},   {119, 119, 2, "RGB"},
    {120, 125, 3, "A"},   {126, 128, 1, "A"},  {129, 153, 1, " "},   {154, 154, 2, "A"},
    {155, 155, 2, "RGB"}, {169, 169, 2, "RG"}, {172, 172, 2, "RGB"},
};

const ModelFamily& FamilyOf(uint32_t id) {
    static constexpr ModelFamily kOther = {0, 0, 1, " "};
    for (const ModelFamily& f : kFamilies) {
        if (id >= f.first && id <= f.last) {
            return f;
        }
    }
    return kOther;
}

const char* FamilyName(uint32_t family) {
    switch (family) {
        case 2:
            switch (g_DataBase.Get(dbo::dmsSignAccess)) {
                case 2:
                    return "RA-20X0";
                case 4:
                    return "RA-21X0";
                case 8: {
                    const uint32_t pitch = g_DataBase.Get(dbo::vmsHorizontalPitch);
                    return pitch == 66 || pitch == 44 || pitch == 20 ? "RA-24X0" : "RA-23X0";
                }
                default:
                    return "RA-2XX0";
            }
        case 3:
            return g_DataBase.Get(dbo::vmsHorizontalPitch) == 44 ? "RB-4100" : "RB-4000";
        case 4:
            return "RC-3XXX";
        case 5:
            return "RD-5XXX";
        default:
            return "RA-1000";
    }
}

// A quotient whose divisor is not set shows 0.
int Quotient(uint32_t a, uint32_t b) {
    return b == 0 ? 0 : int(a / b);
}

void StoreText(const DbObject& object, uint32_t row, const char* text, int length) {
    g_DataBase.SetText(object, text, uint32_t(length < 0 ? 0 : length), kDbNotify, row);
}

void StoreSerial(const DbObject& serial, uint32_t row) {
    char text[24];
    const uint32_t number = g_DataBase.Get(serial);
    const int length = number != 0 ? std::snprintf(text, sizeof text, "SN: %d", int(number))
                                   : std::snprintf(text, sizeof text, "SN: ----");
    StoreText(dbo::moduleVersion, row, text, length);
}

}  // namespace

void CDisplay::DescribeSign() {
    const uint32_t stored = g_DataBase.Get(dbo::brenDisplayRate);
    for (disp::face_config& c : faceConfigs_) {
        c.frame_rate = uint8_t(stored == 0 ? 10 : stored > 100 ? 100 : stored);
    }
    SetDisplayRate(faceConfigs_[0].frame_rate);
    FormatSignModel();
}

void CDisplay::SetDisplayRate(uint32_t rate) {
    // The tick timer serves 1 to 100 updates per second; 0 stands for the default 10.
    if (rate == 0) {
        rate = 10;
    } else if (rate > 100) {
        rate = 100;
    }
    g_Render.frame_rate = uint8_t(rate);
    period = 100 / rate;
    g_DataBase.Set(dbo::brenDisplayRate, rate, kDbNotify);
    if (hasTimer) {
        os_timer_deactivate(&timer);
        ULONG previous = 0;
        os_timer_change(&timer, firstTick, period, &previous);
        os_timer_activate(&timer);
    }
    runsPerSecond = uint8_t(100 / period);
}

void CDisplay::SetSignGeometry(uint32_t moduleTypeId, uint32_t pixelHeight, uint32_t pixelWidth,
                               uint32_t cellHeight, uint32_t cellWidth) {
    cellHeight = cellHeight == 0 ? 1 : cellHeight;
    cellWidth = cellWidth == 0 ? 1 : cellWidth;
    switch (g_DataBase.Get(dbo::dmsSignType)) {
        case 5:
            g_DataBase.Set(dbo::vmsCharacterHeightPixels, cellHeight, kDbNotify);
            g_DataBase.Set(dbo::vmsCharacterWidthPixels, 0, kDbNotify);
            break;
        case 4:
            g_DataBase.Set(dbo::vmsCharacterHeightPixels, cellHeight, kDbNotify);
            g_DataBase.Set(dbo::vmsCharacterWidthPixels, cellWidth, kDbNotify);
            break;
        default:
            g_DataBase.Set(dbo::vmsCharacterHeightPixels, 0, kDbNotify);
            g_DataBase.Set(dbo::vmsCharacterWidthPixels, 0, kDbNotify);
            break;
    }
    g_DataBase.Set(dbo::brenModuleID, moduleTypeId, kDbNotify);
    const uint32_t height = (pixelHeight + cellHeight - 1) / cellHeight * cellHeight;
    const uint32_t width = (pixelWidth + cellWidth - 1) / cellWidth * cellWidth;
    g_DataBase.Set(dbo::vmsSignHeightPixels, height & 0xFFFF, kDbNotify);
    g_DataBase.Set(dbo::vmsSignWidthPixels, width & 0xFFFF, kDbNotify);
}

void CDisplay::SetDisplayOptions(uint8_t options) {
    displayOptions_ = options;
    g_DataBase.Set(dbo::brenDisplayOptions, options, 0);
}

void CDisplay::FormatSignModel() {
    const ModelFamily& family = FamilyOf(g_DataBase.Get(dbo::brenModuleID));
    const char* name = FamilyName(family.family);
    const char* colour = family.colour;
    const uint32_t type = g_DataBase.Get(dbo::dmsSignType);
    const uint32_t height = g_DataBase.Get(dbo::vmsSignHeightPixels);
    const uint32_t width = g_DataBase.Get(dbo::vmsSignWidthPixels);
    const int pitch = int(g_DataBase.Get(dbo::vmsHorizontalPitch));
    char text[96];
    int length = 0;
    if (family.family == 1 || family.family == 2) {
        if ((type == 4 || type == 5) && g_DataBase.Get(dbo::vmsCharacterHeightPixels) == 0) {
            g_DataBase.Set(dbo::vmsCharacterHeightPixels, 7, kDbNotify);
        }
    }
    const uint32_t cellHeight = g_DataBase.Get(dbo::vmsCharacterHeightPixels);
    const uint32_t cellWidth = g_DataBase.Get(dbo::vmsCharacterWidthPixels);
    const int lines = Quotient(height, cellHeight);
    const int characters = Quotient(width, cellWidth);
    switch (family.family) {
        case 1:
        case 2:
            if (type == 4) {
                length = std::snprintf(text, sizeof text, "%s-%d-%d-%d-%s", name, lines, characters,
                                       pitch, colour);
            } else if (type == 5) {
                length = std::snprintf(text, sizeof text, "%s-%d-%dx%d-%d-%s", name, lines,
                                       int(cellHeight), int(width), pitch, colour);
            } else {
                length = std::snprintf(text, sizeof text, "%s-%dx%d-%d-%s", name, int(height),
                                       int(width), pitch, colour);
            }
            break;
        case 3: {
            const int p = pitch == 44 ? 12 : 18;
            if (type == 4) {
                length = std::snprintf(text, sizeof text, "%s-%d-%d-%d-%s", name, lines, characters,
                                       p, colour);
            } else if (type == 5) {
                length = std::snprintf(text, sizeof text, "%s-%d-%dx%d-%d-%s", name, lines, p,
                                       int(cellHeight), int(width), colour);
            } else {
                length = std::snprintf(text, sizeof text, "%s-%dx%d-%d-%s", name, int(height),
                                       int(width), p, colour);
            }
            break;
        }
        case 4:
            length = std::snprintf(text, sizeof text, "%s-%dx%d-%d-%s", name, int(height),
                                   int(width), pitch, colour);
            break;
        default:
            length = std::snprintf(text, sizeof text, "%s-X-18-%s", name, colour);
            break;
    }
    StoreText(dbo::moduleModel, kSignModelRow, text, length);
    StoreSerial(dbo::brenControllerSerialNum, kControllerSerialRow);
    StoreSerial(dbo::brenSignSerialNum, kSignModelRow);
}

void display_module_id_restored() {}
