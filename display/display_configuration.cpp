// CDisplay: the display configuration: face 0 built from the stored geometry, module type and
// line lengths, the EPLD programmed through the sign driver, the sign size in millimetres and
// the configuration-change handlers.
#include <cstring>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/core.h"
#include "display/diag_5520.h"
#include "display/diag_index_registrar.h"
#include "display/display.h"
#include "display/module_type.h"
#include "display/q2_display_driver.h"
#include "display/render_adapter.h"
#include "display/stream.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/os_wrappers.h"

namespace {

// Module type whose EPLD is programmed with an enlarged geometry.
constexpr uint32_t kEnlargedEpldType = 106;
// Run-time priority of permanent message 1 (volatile).
constexpr uint32_t kPermanentMessage1Priority = 108;

uint32_t RoundUp(uint32_t value, uint32_t step) {
    while (value % step != 0) {
        ++value;
    }
    return value;
}

}  // namespace

bool CDisplay::RoundFaceGeometry(disp::face_config& c) {
    if (c.module_height == 0 || c.module_width == 0) {
        return false;
    }
    const uint32_t height =
        RoundUp(c.pixel_height == 0 ? c.module_height : c.pixel_height, c.module_height);
    const uint32_t width =
        RoundUp(c.pixel_width == 0 ? c.module_width : c.pixel_width, c.module_width);
    if (height > 0xFFFF || width > 0xFFFF || height / c.module_height > 0xFF) {
        return false;
    }
    c.pixel_height = uint16_t(height);
    c.pixel_width = uint16_t(width);
    c.module_lines = uint8_t(height / c.module_height);
    return true;
}

void CDisplay::FillLineLengths(disp::face_config& c) {
    const uint32_t lines = c.module_height != 0 ? c.pixel_height / c.module_height : 0;
    const uint32_t full = c.module_width != 0 ? c.pixel_width / c.module_width : 0;
    for (uint32_t i = 0; i < disp::face_config::kMaxLines; ++i) {
        if (i >= lines) {
            c.line_lengths[i] = 0;
            continue;
        }
        uint32_t modules = g_DataBase.Get(dbo::brenLineLength, i);
        if (modules == 0) {
            modules = full;
        } else if (modules > full) {
            modules = full;
            g_DataBase.Set(dbo::brenLineLength, full, kDbNotify, i);
        }
        c.line_lengths[i] = uint8_t(modules);
    }
}

void CDisplay::SumModules(disp::face_config& c) {
    uint32_t total = 0;
    for (uint8_t modules : c.line_lengths) {
        total += modules;
    }
    c.total_modules = uint16_t(total);
}

bool CDisplay::FitsSign(const disp::face_config& c, uint32_t epldHeight, uint32_t epldWidth) const {
    if (c.module_lines > disp::face_config::kMaxLines ||
        uint64_t(epldHeight) * epldWidth * 3 > CQ2DisplayDriver::kDmaBufferSize ||
        c.pixel_width / c.module_width > 0xFF) {
        return false;
    }
    // Every line given its stored length (a full line where it is 0 or too long).
    const uint32_t full = c.pixel_width / c.module_width;
    uint32_t total = 0;
    for (uint32_t i = 0; i < c.module_lines; ++i) {
        const uint32_t stored = g_DataBase.Get(dbo::brenLineLength, i);
        total += stored == 0 || stored > full ? full : stored;
    }
    return total <= disp::face_config::kMaxModules;
}

void CDisplay::SetDisplayError(bool failed) {
    const uint32_t controller = g_DataBase.Get(dbo::controllerErrorStatus);
    if (failed) {
        g_DataBase.Set(dbo::controllerErrorStatus, controller | kControllerDisplayError, kDbNotify);
        g_DataBase.Set(dbo::shortErrorStatus,
                       g_DataBase.Get(dbo::shortErrorStatus) | kShortControllerError, kDbNotify);
        return;
    }
    const uint32_t cleared = controller & ~kControllerDisplayError;
    g_DataBase.Set(dbo::controllerErrorStatus, cleared, kDbNotify);
    if (cleared == 0) {
        g_DataBase.Set(dbo::shortErrorStatus,
                       g_DataBase.Get(dbo::shortErrorStatus) & ~kShortControllerError, kDbNotify);
    }
}

uint8_t CDisplay::BuildDisplayConfiguration(uint16_t height, uint16_t width, uint8_t bitsPerPixel) {
    const uint32_t id = g_DataBase.Get(dbo::brenModuleID);
    const ModuleTypeDescriptor& type = FindModuleType(id);

    // The new face is worked out first: a layout the sign cannot hold keeps the face in use.
    disp::face_config next{};
    next.face_index = 0;
    disp::SetConfigName(next.face_name, "primary");
    disp::SetConfigName(next.bus_name, "null");
    next.pixel_height = height;
    next.pixel_width = width;
    next.frame_rate = g_Render.frame_rate;
    next.module_type_id = uint16_t(id);
    next.colour_scheme = GetColourScheme(id);
    next.module_height = type.module_height;
    next.module_width = type.module_width;
    next.bits_per_pixel = bitsPerPixel;
    next.colour_planes = type.colour_planes;
    next.colour_flag = uint8_t(1 + (type.flags >> 1 & 1));
    next.diag = &g_Diag5520;
    next.engine = &disp::g_RenderAdapter;
    uint32_t epldHeight = 0;
    uint32_t epldWidth = 0;
    bool fits = RoundFaceGeometry(next);
    if (fits) {
        epldHeight = next.pixel_height;
        epldWidth = next.pixel_width;
        if (id == kEnlargedEpldType) {
            epldHeight += epldHeight / 8;
            epldWidth += epldWidth / 5;
        }
        fits = FitsSign(next, epldHeight, epldWidth);
    }
    if (!fits) {
        DebugPrint("display configuration %ux%u refused\n", unsigned(height), unsigned(width));
        SetDisplayError(true);
        return g_Render.frame_rate;
    }
    FillLineLengths(next);
    SumModules(next);

    for (uint32_t i = 0; i < faceCount_ && i < 2; ++i) {
        disp::g_DisplayCore.RemoveFace(&faces_[i]);
        faces_[i].Close();
    }
    faceCount_ = 0;
    disp::g_DisplayCore.RemoveBus(&displayBus_);
    displayBus_.Close();

    faceConfigs_[0] = next;
    const uint32_t h = next.pixel_height;
    const uint32_t w = next.pixel_width;
    // The surfaces take the rounded size, so that every reader of the face sees whole modules.
    const bool surfaces = g_Render.AllocateSurface(int32_t(h), int32_t(w), bitsPerPixel) &&
                          trialRender_.AllocateSurface(int32_t(h), int32_t(w), bitsPerPixel) &&
                          validationRender_.AllocateSurface(int32_t(h), int32_t(w), bitsPerPixel);
    if (surfaces) {
        g_Render.Surface().Fill(0);
        signMessage_.target_surface = &g_Render.Surface();
        trialMessage_.target_surface = &trialRender_.Surface();
        faceCount_ = 1;
    }

    displayBus_.Open("null", &disp::g_DisplayStream);
    disp::g_DisplayCore.AddBus(&displayBus_);
    g_DiagIndexRegistrar.Clear();
    for (uint32_t i = 0; i < faceCount_; ++i) {
        if (faces_[i].Open(&faceConfigs_[i])) {
            disp::g_DisplayCore.AddFace(&faces_[i]);
            RegisterPixelTestResults(i);
        }
    }

    g_DataBase.Set(dbo::vmsSignHeightPixels, h, kDbNotify);
    g_DataBase.Set(dbo::vmsSignWidthPixels, w, kDbNotify);

    // Created once: a rebuild must never replace a mutex another pass may hold.
    if (!mutexCreated_) {
        mutexCreated_ = os_mutex_create(&activateMutex_, "Activate Msg", TX_INHERIT) == OS_SUCCESS;
    }
    if (!tableMutexCreated_) {
        tableMutexCreated_ =
            os_mutex_create(&tableMutex_, "Message Table", TX_INHERIT) == OS_SUCCESS;
    }
    validationRender_.frame_rate = g_Render.frame_rate;
    previewRender_.frame_rate = g_Render.frame_rate;

    currentDriver_ = signDriver_;
    bool programmed = false;
    if (signDriver_ != nullptr && surfaces) {
        signDriver_->busy = 1;
        programmed = signDriver_->Init(epldHeight, epldWidth, id);
    }
    if (!programmed) {
        SetDisplayError(true);
        currentDriver_ = nullptr;
    } else {
        SetDisplayError(false);
        signDriver_->SetMode(g_DataBase.Get(dbo::brenEnableRealTimePixelDiagnostics) != 0 ? 1 : 0);
        const uint32_t maxRate = signDriver_->GetMaxFrameRate();
        if (maxRate != 0 && maxRate < g_Render.frame_rate) {
            SetDisplayRate(maxRate);
        }
    }
    if (signDriver_ != nullptr) {
        signDriver_->busy = 0;
    }

    if (surfaces) {
        signMessage_.SetWholeSignRectangles(g_Render.Surface().Width(),
                                            g_Render.Surface().Height());
    }
    frameBytes_ = (h * w + 7) / 8;
    UpdateBrightness(false);
    frameState_ = g_DataBase.Get(dbo::displayTestMode) == 1 ? kBlankState : kTestPattern;
    colourCapability_ = type.colour_planes;
    DescribeSign();
    return g_Render.frame_rate;
}

void CDisplay::LoadDisplayConfiguration() {
    const uint32_t h = g_DataBase.Get(dbo::vmsSignHeightPixels);
    const uint32_t w = g_DataBase.Get(dbo::vmsSignWidthPixels);
    const uint32_t id = g_DataBase.Get(dbo::brenModuleID);
    BuildDisplayConfiguration(uint16_t(h), uint16_t(w), FindModuleType(id).bits_per_pixel);
    frameState_ = g_DataBase.Get(dbo::displayTestMode) == 1 ? kNewMessage : kTestPattern;
    DescribeSign();
    ClearUnusedLineLengths();
}

void CDisplay::ClearUnusedLineLengths() {
    for (uint32_t i = 0; i < disp::face_config::kMaxLines; ++i) {
        if (i + 1 > faceConfigs_[0].module_lines) {
            g_DataBase.Set(dbo::brenLineLength, 0, kDbNotify, i);
        }
    }
}

uint8_t CDisplay::GetColourScheme(uint32_t moduleTypeId) {
    static constexpr uint16_t kColourTypes[] = {21,  22,  23,  24,  118, 154, 98,  99,
                                                100, 101, 169, 102, 103, 104, 105, 94,
                                                95,  96,  97,  172, 119, 155};
    for (uint16_t colour : kColourTypes) {
        if (colour == moduleTypeId) {
            return 4;
        }
    }
    return (FindModuleType(moduleTypeId).flags & 1) != 0 ? 2 : 3;
}

void CDisplay::ComputeSignDimensions() {
    const uint32_t type = g_DataBase.Get(dbo::dmsSignType);
    const int64_t h = g_DataBase.Get(dbo::vmsSignHeightPixels);
    const int64_t w = g_DataBase.Get(dbo::vmsSignWidthPixels);
    const int64_t ph = g_DataBase.Get(dbo::vmsHorizontalPitch);
    const int64_t pv = g_DataBase.Get(dbo::vmsVerticalPitch);
    const int64_t ch = g_DataBase.Get(dbo::vmsCharacterHeightPixels);
    const int64_t cw = g_DataBase.Get(dbo::vmsCharacterWidthPixels);
    const bool characterTypes = type == 4 || type == 5;
    const int64_t vertical = characterTypes ? (pv == 44 ? 229 : 305) : 305;
    const int64_t horizontal = characterTypes ? 610 : 305;
    g_DataBase.Set(dbo::dmsVerticalBorder, uint32_t(vertical), kDbNotify);
    g_DataBase.Set(dbo::dmsHorizontalBorder, uint32_t(horizontal), kDbNotify);
    int64_t gv = 2;
    int64_t gh = 2;
    if (characterTypes && ch != 0) {
        gv = h / ch + 1;
    }
    if (type == 4 && cw != 0) {
        gh = (w / cw) * 2 - 2;
    }
    const int64_t signWidth = type == 4 ? ph * (w + gh) + 2 * horizontal : ph * w + 2 * horizontal;
    const int64_t signHeight = pv * h + gv * vertical;
    // The objects hold 16 bits.
    auto clamp = [](int64_t v) { return uint32_t(v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : v); };
    g_DataBase.Set(dbo::dmsSignWidth, clamp(signWidth), kDbNotify);
    g_DataBase.Set(dbo::dmsSignHeight, clamp(signHeight), kDbNotify);
}

void CDisplay::OnSpecialFeatureChange() {
    const uint32_t features = g_DataBase.Get(dbo::brenSpecialFeatureSet);
    g_DataBase.SetInt(kPermanentMessage1Priority, 1, (features & 0x2) != 0 ? 50 : 255,
                      DbImage::kVolatile, kDbNotify);
    ApplyCompatibilityMode();
}

void CDisplay::ApplyCompatibilityMode() {
    const uint32_t bit = g_DataBase.Get(dbo::brenSpecialFeatureSet) & 0x20;
    if (bit == compatibilityBit_) {
        return;
    }
    Post(kLetterDisplaySupervisionStop);
    if (db_default_hooks().defaultFonts != nullptr) {
        db_default_hooks().defaultFonts(g_DataBase);
    }
    static const char kCommunity[] = "tamsol";
    g_DataBase.SetText(dbo::communityNameUser, kCommunity, sizeof kCommunity - 1, kDbNotify, 0);
    g_DataBase.Set(dbo::communityNameAccessMask, bit != 0 ? 0xFFFFFFFFu : 0, kDbNotify, 0);
    Post(kLetterDisplaySupervisionStart);
    compatibilityBit_ = bit;
}

void CDisplay::OnStationAddressChange() {
    if (setPmppAddressAll != nullptr) {
        setPmppAddressAll(g_DataBase.Get(dbo::brenhdlcAddress) & 0xFF);
    }
}
