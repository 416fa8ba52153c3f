// CDisplay: display tests (colour fills, bars, checkerboards, character rows, brightness ramps).

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "render/ntcip_font.h"

namespace {

constexpr uint32_t kFullColourIndex = 4;
constexpr uint32_t kOffColourIndex = 3;

bool OneOf(uint8_t p, std::initializer_list<uint8_t> set) {
    for (uint8_t v : set) {
        if (v == p) {
            return true;
        }
    }
    return false;
}

bool Between(uint8_t p, uint8_t low, uint8_t high) {
    return p >= low && p <= high;
}

// Patterns that light the sign at a set level: the illumination objects are saved before and
// restored after.
bool SavesIllumination(uint8_t p) {
    return OneOf(p, {2, 8, 25, 30, 31, 32, 35}) || Between(p, 12, 17);
}

}  // namespace

void CDisplay::OnDisplayTestMode() {
    frameState_ = kTestPattern;
    powerLimitFlags |= 0x40000000u;
}

uint32_t CDisplay::TestColour(uint32_t index) const {
    switch (index) {
        case 0:
            return 0x1F;
        case 1:
            return 0x3E0;
        case 2:
            return 0x7C00;
        case 3:
            return 0;
        case 4:
            return colourCapability_ == 2 ? 0x3FF : colourCapability_ == 3 ? 0x7FFF : 0x1F;
        default:
            return 0x1F;
    }
}

void CDisplay::SendTestBrightness(uint32_t level) {
    if (currentDriver_ != nullptr) {
        currentDriver_->SetBrightness(level);
    }
}

void CDisplay::UpdateTestBrightness() {
    UpdateBrightness(false);
}

void CDisplay::SetTestTiming(uint8_t p) {
    const uint32_t r = g_Render.frame_rate;
    auto set = [this](uint32_t calls, uint32_t limit) {
        test_.callsPerStep = calls;
        test_.stepLimit = limit;
    };
    if (p == 25 || p == 35) {
        test_.callsPerStep = 2;
        return;
    }
    if (p == 10) {
        const uint8_t s = test_.subState;
        if (s == 5 || s == 6) {
            set(r, 2);
        } else if (s == 7 || s == 8 || s == 24) {
            set(3 * r, 1);
        } else {
            set(r, 8);
        }
        return;
    }
    if (OneOf(p, {2, 7, 8, 9, 26, 27, 28, 32, 34, 36}) || Between(p, 11, 24)) {
        set(3 * r, 1);
    } else if (OneOf(p, {5, 6, 30, 31})) {
        set(r, 3);
    } else {
        set(r, 8);
    }
}

void CDisplay::AdvanceTestStep(uint8_t p) {
    TestPatternState& t = test_;
    if (p == 2) {
        ++t.colour;
        if (t.colour == colourCapability_) {
            t.colour = kOffColourIndex;
        } else if (t.colour > colourCapability_) {
            t.colour = 0;
        }
    } else if (OneOf(p, {5, 6, 24, 31, 36})) {
        ++t.step;
        t.colour = kFullColourIndex;
    } else if (p == 12 || p == 15) {
        t.step = 0;
        t.colour = 0;
    } else if (p == 13 || p == 16) {
        t.colour = 1;
    } else if (p == 14 || p == 17) {
        t.colour = 2;
    } else if (OneOf(p, {25, 30, 35})) {
        if (t.colour == kFullColourIndex) {
            ++t.step;
            t.colour = kOffColourIndex;
        } else {
            t.colour = kFullColourIndex;
        }
    } else {
        ++t.colour;
        if (t.colour >= colourCapability_) {
            ++t.step;
            t.colour = 0;
        }
    }
}

void CDisplay::SaveIllumination(uint32_t level, uint32_t sent) {
    if (test_.savedControl == 0) {
        test_.savedControl = uint8_t(g_DataBase.Get(dbo::dmsIllumControl));
        test_.savedLevel = uint8_t(g_DataBase.Get(dbo::dmsIllumManLevel));
    }
    g_DataBase.Set(dbo::dmsIllumControl, 4, kDbNotify);
    g_DataBase.Set(dbo::dmsIllumManLevel, level, kDbNotify);
    SendTestBrightness(sent);
}

void CDisplay::RestoreIllumination() {
    if (test_.savedControl == 0) {
        return;
    }
    g_DataBase.Set(dbo::dmsIllumControl, test_.savedControl, kDbNotify);
    g_DataBase.Set(dbo::dmsIllumManLevel, test_.savedLevel, kDbNotify);
    test_.savedControl = 0;
    test_.savedLevel = 0;
}

void CDisplay::StartTestPattern(uint8_t p) {
    TestPatternState& t = test_;
    if (SavesIllumination(t.previous)) {
        RestoreIllumination();
    }
    if (t.previous == 10 && t.subState == 24) {
        t.subState = 7;
    }
    const uint32_t levels = g_DataBase.Get(dbo::dmsIllumNumBrightLevels);
    const uint32_t scaler = g_DataBase.Get(dbo::brenIllumBrightnessScaler);
    if (OneOf(p, {2, 8, 15, 16, 17, 25, 30, 31, 32, 35})) {
        SaveIllumination(levels, levels * scaler / 100);
    } else if (Between(p, 12, 14)) {
        SaveIllumination(levels / 10, levels / 10 * scaler / 100);
    }
    t.previous = p;
    t.calls = 0;
    if (OneOf(p, {5, 6, 25, 30, 31, 35})) {
        t.colour = kFullColourIndex;
    } else if (p == 13 || p == 16) {
        t.colour = 1;
    } else if (p == 14 || p == 17) {
        t.colour = 2;
    } else {
        t.colour = 0;
    }
}

void CDisplay::DrawTestPattern(uint8_t p) {
    TestPatternState& t = test_;
    CSurface& surface = g_Render.Surface();
    signMessage_.page_counter = 1;
    g_Render.page_number = 1;
    SetTestTiming(p);
    if (p == t.previous) {
        if (++t.calls >= t.callsPerStep) {
            t.calls = 0;
            AdvanceTestStep(p);
        }
    } else {
        StartTestPattern(p);
    }
    const uint32_t levels = g_DataBase.Get(dbo::dmsIllumNumBrightLevels);
    const uint32_t scaled = levels * g_DataBase.Get(dbo::brenIllumBrightnessScaler);
    const uint32_t c = TestColour(t.colour);
    if (p != 1 && t.beaconTest == 0) {
        beaconFlag = 1;
        t.beaconTest = 1;
    }
    switch (p) {
        case 1:
            t.step = 0;
            frameState_ = kNewMessage;
            surface.Fill(0);
            beaconFlag = g_DataBase.Get(dbo::currentBufferBeacon) != 0 ? 1 : 0;
            t.beaconTest = 0;
            UpdateTestBrightness();
            return;
        case 3:
        case 4:
            if (t.step > 7) {
                t.step = 0;
            }
            if (p == 3) {
                DrawColumnBars(c, t.step);
            } else {
                DrawRowBars(c, t.step);
            }
            UpdateTestBrightness();
            return;
        case 5:
            DrawLetterRows(c);
            UpdateTestBrightness();
            return;
        case 6:
            DrawDigitRows(c);
            UpdateTestBrightness();
            return;
        case 7:
            surface.Fill(c);
            SendTestBrightness(scaled / 1000);
            return;
        case 9:
            if (t.step > 20) {
                t.step = 0;
            }
            surface.Fill(c);
            SendTestBrightness(scaled / 1000 * (t.step / 2));
            return;
        case 10:
            DrawPatternTen(c, scaled);
            return;
        case 11:
            DrawGlyphCells(c);
            UpdateTestBrightness();
            return;
        case 18:
            FillOddRows(c);
            UpdateTestBrightness();
            return;
        case 19:
            FillEvenRows(c);
            UpdateTestBrightness();
            return;
        case 20:
            FillOddColumns(c);
            UpdateTestBrightness();
            return;
        case 21:
            FillEvenColumns(c);
            UpdateTestBrightness();
            return;
        case 22:
            FillCheckerOdd(c);
            UpdateTestBrightness();
            return;
        case 23:
            FillCheckerEven(c);
            UpdateTestBrightness();
            return;
        case 24:
        case 33:
        case 34:
        case 36:
            return;
        case 25:
        case 35:
            if (t.step > scaled / 100) {
                t.step = 0;
            }
            surface.Fill(c);
            SendTestBrightness(t.step);
            return;
        case 32:
            surface.Fill((testColour[0] >> 3) + ((testColour[2] >> 3) << 5) +
                         ((testColour[1] >> 3) << 10));
            UpdateTestBrightness();
            return;
        default:
            if (p == 2 || p == 8 || Between(p, 12, 17) || p == 30 || p == 31) {
                if (p != 8 && !Between(p, 12, 17)) {
                    t.step = 0;
                }
                surface.Fill(c);
                UpdateTestBrightness();
                return;
            }
            t.step = 0;
            return;
    }
}

// The cycle of pattern 10: dim colour fills, bright colour fills, letter rows, column bars, row
// bars, digit rows, and again.
void CDisplay::DrawPatternTen(uint32_t c, uint32_t scaled) {
    TestPatternState& t = test_;
    if (t.step >= t.stepLimit) {
        t.colour = 0;
        t.step = 0;
        switch (t.subState) {
            case 3:
                t.subState = 4;
                break;
            case 4:
                t.subState = 6;
                break;
            case 5:
                t.subState = 3;
                break;
            case 6:
                t.subState = 7;
                break;
            case 7:
                t.subState = 8;
                break;
            case 8:
                t.subState = 5;
                break;
            case 24:
                t.subState = 7;
                break;
            default:
                break;
        }
    }
    switch (t.subState) {
        case 3:
            DrawColumnBars(c, t.step);
            UpdateTestBrightness();
            break;
        case 4:
            DrawRowBars(c, t.step);
            UpdateTestBrightness();
            break;
        case 5:
            DrawLetterRows(TestColour(kFullColourIndex));
            UpdateTestBrightness();
            break;
        case 6:
            DrawDigitRows(TestColour(kFullColourIndex));
            UpdateTestBrightness();
            break;
        case 7:
            g_Render.Surface().Fill(c);
            SendTestBrightness(scaled / 1000);
            t.oneShot = 0;
            break;
        case 8:
            g_Render.Surface().Fill(c);
            if (t.oneShot != 0) {
                SendTestBrightness(scaled / 100);
            }
            t.oneShot = 1;
            break;
        case 24:
            UpdateTestBrightness();
            break;
        default:
            t.subState = 7;
            break;
    }
}

void CDisplay::FillOddRows(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t y = 1; y < s.Height(); y += 2) {
        s.FillRow(y, colour);
    }
}

void CDisplay::FillEvenRows(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t y = 0; y < s.Height(); y += 2) {
        s.FillRow(y, colour);
    }
}

void CDisplay::FillOddColumns(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t x = 1; x < s.Width(); x += 2) {
        s.FillColumn(x, colour);
    }
}

void CDisplay::FillEvenColumns(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t x = 0; x < s.Width(); x += 2) {
        s.FillColumn(x, colour);
    }
}

void CDisplay::FillCheckerEven(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t y = 0; y < s.Height(); ++y) {
        for (int32_t x = y % 2; x < s.Width(); x += 2) {
            s.SetPixel(x, y, colour);
        }
    }
}

void CDisplay::FillCheckerOdd(uint32_t colour) {
    CSurface& s = g_Render.Surface();
    for (int32_t y = 0; y < s.Height(); ++y) {
        for (int32_t x = 1 - y % 2; x < s.Width(); x += 2) {
            s.SetPixel(x, y, colour);
        }
    }
}

void CDisplay::DrawRowBars(uint32_t colour, uint32_t start) {
    CSurface& s = g_Render.Surface();
    for (int32_t y = int32_t(start); y < s.Height(); y += 8) {
        s.FillRow(y, colour);
    }
}

void CDisplay::DrawColumnBars(uint32_t colour, uint32_t start) {
    CSurface& s = g_Render.Surface();
    for (int32_t x = int32_t(start); x < s.Width(); x += 8) {
        s.FillColumn(x, colour);
    }
}

void CDisplay::DrawGlyphCells(uint32_t colour) {
    static constexpr int8_t kPixels[][2] = {{1, 1}, {1, 2}, {1, 4}, {1, 5}, {3, 1}, {3, 2}, {3, 4},
                                            {3, 5}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {4, 1},
                                            {4, 2}, {4, 3}, {4, 4}, {4, 5}, {5, 2}, {5, 3}, {5, 4}};
    CSurface& s = g_Render.Surface();
    for (int32_t cy = 0; cy < s.Height(); cy += 8) {
        for (int32_t cx = 0; cx < s.Width(); cx += 6) {
            for (const auto& p : kPixels) {
                if (p[0] < 6 && p[1] < 8) {
                    s.SetPixel(cx + p[0], cy + p[1], colour);
                }
            }
        }
    }
}

void CDisplay::DrawLetterRows(uint32_t colour) {
    DrawCharacterRows(colour, false);
}

void CDisplay::DrawDigitRows(uint32_t colour) {
    DrawCharacterRows(colour, true);
}

// Letter rows run 'A'.. 'Z', 'a'.. on across the lines; digit rows repeat one character per line,
// '1'.. '9', 'A'..
void CDisplay::DrawCharacterRows(uint32_t colour, bool digits) {
    CSurface& s = g_Render.Surface();
    const uint32_t foreground = colour == 0 && !digits ? 0x7FFF : colour;
    signMessage_.page_background_colour = 0;
    signMessage_.foreground_colour = foreground;
    signMessage_.character_background_colour = CSurface::kNoColour;
    s.SetForeground(foreground);
    s.SetBackground(CSurface::kNoColour);
    const uint32_t number = signMessage_.current_font != 0 ? signMessage_.current_font
                                                           : g_DataBase.Get(dbo::defaultFont);
    CNTCIPFont font(CNTCIPFont::FindSlot(number));
    const int32_t height = font.Height();
    const uint32_t type = g_DataBase.Get(dbo::dmsSignType);
    const bool matrix = type == 4 || type == 5 || type == 132 || type == 133;
    const int32_t advance = digits && matrix
                                ? int32_t(g_DataBase.Get(dbo::vmsCharacterHeightPixels))
                                : height + font.LineSpacing();
    if (height <= 0 || advance <= 0) {
        return;
    }
    const SurfaceRect clip{0, 0, s.Width(), s.Height()};
    char letter = 'A';
    char line = '1';
    for (int32_t y = 0; y < s.Height(); y += advance) {
        int32_t x = 0;
        bool first = true;
        while (x < s.Width()) {
            char c = digits ? line : letter;
            const int32_t before = x;
            s.DrawText(font, &c, 1, x, y, clip, false, -1, first, false, nullptr);
            first = false;
            if (!digits) {
                letter = letter == 'Z' ? 'a' : letter == 'z' ? 'A' : char(letter + 1);
            }
            if (x <= before) {
                break;  // the font has no such character
            }
        }
        if (digits) {
            line = line == '9' ? 'A' : line == 'Z' ? '1' : char(line + 1);
        }
    }
}
