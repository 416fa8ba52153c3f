// CDisplay: brightness control: the brightness table check, the level in force by mode
// (photocell with hysteresis, timer, manual level or table index), the overheat percentage,
// the lit-pixel cap and the floor of 1, sent to the current driver.
#include <cstring>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/frame.h"
#include "display/frame_engine.h"

namespace {

constexpr uint32_t kTimerLevel = 5;
constexpr uint32_t kBatteryPower = 7;
constexpr uint32_t kLitPixelRows = 5;

// The 8-bit level of a 16-bit brightness.
uint32_t LevelOf(uint32_t brightness) {
    return (brightness * 255 + 0xFD02) / 0xFFFF;
}

bool SetsOwnBrightness(uint32_t testMode) {
    return testMode == 9 || testMode == 10 || testMode == 25 || testMode == 35;
}

}  // namespace

void CDisplay::CheckBrightnessTable() {
    uint8_t text[1 + 6 * 255];
    const uint32_t length = g_DataBase.ReadString(
        dbo::dmsIllumBrightnessValues.id, dbo::dmsIllumBrightnessValues.image, text, sizeof text);
    const uint32_t maxPhotocell = g_DataBase.Get(dbo::dmsIllumMaxPhotocellLevel);
    const uint32_t error = brightness_.Load(text, length, maxPhotocell);
    // A valid table leaves the error as the store's check left it: none from the write that
    // stored the table, or the error of a later refused write, which this check (run after
    // both) must not hide. A default in store keeps the error of the table it replaced.
    if (error != CBrightnessTable::kErrorNone) {
        const bool eight = (g_DataBase.Get(dbo::brenSpecialFeatureSet) & 0x8) != 0;
        const std::vector<uint8_t> table = CBrightnessTable::DefaultText(eight);
        g_DataBase.Set(dbo::dmsIllumBrightnessValuesError, error, kDbNotify);
        // Valid as built; the store's own check would report it as the error.
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, table.data(), uint32_t(table.size()),
                           kDbNotify | kDbSkipValidation);
        // The default is loaded as built, whatever the store made of it.
        brightness_.Load(table.data(), uint32_t(table.size()), 0xFFFF);
    }
    brightness_.Refine();
}

void CDisplay::LoadDefaultBrightnessTable() {
    const uint32_t bit = g_DataBase.Get(dbo::brenSpecialFeatureSet) & 0x8;
    if (bit != tableDefaultBit_) {
        const std::vector<uint8_t> table = CBrightnessTable::DefaultText(bit != 0);
        // Valid as built; the store's own check would report it as the error.
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, table.data(), uint32_t(table.size()),
                           kDbNotify | kDbSkipValidation);
        g_DataBase.Set(dbo::dmsIllumBrightnessValuesError, CBrightnessTable::kErrorNone, kDbNotify);
    }
    tableDefaultBit_ = bit;
}

void CDisplay::UpdateBrightness(bool forced) {
    if (forced) {
        brightness_.Restart();
    }
    if (currentDriver_ == nullptr || SetsOwnBrightness(g_DataBase.Get(dbo::displayTestMode))) {
        return;
    }
    const uint32_t mode = g_DataBase.Get(dbo::dmsIllumControl);
    if (mode != modeCopy_) {
        brightness_.Restart();
        modeCopy_ = mode;
    }
    switch (mode) {
        case 2: {
            const uint32_t p = g_DataBase.Get(dbo::dmsIllumPhotocellLevelStatus);
            uint32_t b = 0;
            if (p == 0) {
                brightness_.SetIndex(0);
                ApplyTableBrightness(
                    (g_DataBase.Get(dbo::brenSpecialFeatureSet) & 0x1) != 0 ? 0x7FFF : 0x101);
            } else if (brightness_.SelectForPhotocell(p, &b)) {
                ApplyTableBrightness(b);
            }
            break;
        }
        case 3:
            SendBrightness(kTimerLevel);
            break;
        case 4:
        case 5:
            brightness_.Restart();
            ApplyManualLevel(g_DataBase.Get(dbo::dmsIllumManLevel));
            break;
        case 6: {
            brightness_.Restart();
            uint32_t k = g_DataBase.Get(dbo::dmsIllumManLevel);
            if (k > brightness_.Count()) {
                k = brightness_.Count();
            }
            ApplyTableBrightness(k == 0 ? 0 : brightness_.At(k - 1).brightness);
            break;
        }
        default:
            break;
    }
}

uint32_t CDisplay::OverheatPercent() const {
    const uint32_t q = overheatPercent != nullptr ? overheatPercent() : 100;
    return q > 100 ? 100 : q;
}

// The floor of 1, then the lit-pixel cap (status 3).
uint32_t CDisplay::LimitLevel(uint32_t level, uint32_t* status) const {
    if (level == 0) {
        level = 1;
    }
    if (level > brightnessCap_) {
        *status = 3;
        level = brightnessCap_ == 0 ? 1 : brightnessCap_;
    }
    return level;
}

void CDisplay::ApplyTableBrightness(uint32_t b) {
    const uint32_t q = OverheatPercent();
    uint32_t status = 1;
    g_DataBase.Set(dbo::illumRequestedLevel, LevelOf(b), kDbNotify);
    if (q != 100) {
        status = 2;
        b = b * q / 100;
    }
    g_DataBase.Set(dbo::dmsIllumLightOutputStatus, b, kDbNotify);
    const uint32_t level = LimitLevel(LevelOf(b), &status);
    g_DataBase.Set(dbo::dmsIllumBrightLevelStatus, level, kDbNotify);
    if (modeCopy_ == 2) {
        g_DataBase.Set(dbo::dmsIllumManLevel, level, kDbNotify);
    }
    SetLimitStatus(status);
    SendBrightness(level);
}

void CDisplay::ApplyManualLevel(uint32_t v) {
    const uint32_t q = OverheatPercent();
    uint32_t status = 1;
    g_DataBase.Set(dbo::illumRequestedLevel, v, kDbNotify);
    if (q != 100) {
        status = 2;
        v = v * q / 100;
    }
    v = LimitLevel(v, &status);
    g_DataBase.Set(dbo::dmsIllumBrightLevelStatus, v, kDbNotify);
    g_DataBase.Set(dbo::dmsIllumLightOutputStatus, v * 257, kDbNotify);
    SetLimitStatus(status);
    SendBrightness(v);
}

void CDisplay::SetLimitStatus(uint32_t status) {
    if (g_DataBase.Get(dbo::illumLimitStatus) != status) {
        g_DataBase.Set(dbo::illumLimitStatus, status, kDbNotify);
    }
}

void CDisplay::SendBrightness(uint32_t level) {
    if (currentDriver_ != nullptr) {
        currentDriver_->SetBrightness(level);
    }
}

uint8_t CDisplay::ComputePixelPowerLimit(uint32_t face) {
    if (face >= faceCount_ || face >= 2) {
        return 255;
    }
    const disp::face_config& c = faceConfigs_[face];
    const uint32_t t = uint32_t(c.pixel_height) * c.pixel_width;
    disp::frame* current = c.engine != nullptr ? c.engine->GetFrame() : nullptr;
    if (t == 0 || current == nullptr) {
        return 255;
    }
    uint32_t r = uint32_t(uint64_t(current->LitCount()) * 100 / t);
    if (r == 0) {
        r = 1;
    }
    uint32_t limit = 100;
    if ((g_DataBase.Get(dbo::brenSpecialFeatureSet) & 0x200) == 0) {
        limit = g_DataBase.Get(dbo::litPixelThreshold, 0) * 100 / r;
    } else if (g_DataBase.Get(dbo::powerSource) == kBatteryPower ||
               (litPixelPeripheralFlag != nullptr && litPixelPeripheralFlag())) {
        limit = 0;
        uint32_t rows = g_DataBase.Get(dbo::litPixelRowCount);
        rows = rows > kLitPixelRows ? kLitPixelRows : rows;
        for (uint32_t i = 0; i < rows; ++i) {
            const uint32_t percent = g_DataBase.Get(dbo::litPixelBrightness, i);
            if (g_DataBase.Get(dbo::litPixelThreshold, i) > r && percent > limit) {
                limit = percent;
            }
        }
    }
    limit = limit < 1 ? 1 : limit > 100 ? 100 : limit;
    return uint8_t(limit * 255 / 100);
}

// Run before the frame goes out: a changed cap (or another task's request) recomputes the level.
void CDisplay::ApplyPowerLimitCap() {
    bool forced = brightnessRequested_ != 0;
    brightnessRequested_ = 0;
    if ((powerLimitFlags & 0x80000000u) != 0) {
        if (capHold_ != 0) {
            --capHold_;
        } else if (brightnessCap_ != measuredCap_) {
            brightnessCap_ = measuredCap_;
            forced = true;
        }
    }
    if (forced) {
        UpdateBrightness(true);
    }
}

// After the face update: a new message may raise the cap one cycle later, otherwise it only
// falls.
void CDisplay::MeasurePowerLimit() {
    if ((powerLimitFlags & 0x80000000u) == 0 || faceCount_ == 0) {
        return;
    }
    const uint32_t v = ComputePixelPowerLimit(0);
    if ((powerLimitFlags & 0x40000000u) != 0 && v > measuredCap_) {
        measuredCap_ = v;
        capHold_ = 1;
    } else if (v <= measuredCap_) {
        measuredCap_ = v;
        capHold_ = 0;
    }
    powerLimitFlags &= ~0x40000000u;
}
