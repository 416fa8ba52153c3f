// CDisplay: the pixel test, the pixel failure tables, the result registry's frames and the
// blanks for pixel errors.

#include <cstring>
#include <memory>
#include <new>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/diag_index_registrar.h"
#include "display/display.h"
#include "display/frame.h"
#include "display/frame_engine.h"
#include "display/memory_clear.h"
#include "display/module.h"
#include "display/pixel_error_iterator.h"
#include "ntcip/send_trap.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"

namespace {

constexpr uint32_t kPixelErrorBit = 0x20;
constexpr uint32_t kPageBytes = 400;
constexpr uint32_t kPages = 11;
constexpr uint32_t kNoLimit = 0xFFFFFFFF;
constexpr uint32_t kSourceOther = 1;
constexpr uint32_t kPixelErrorTrap = 16;
constexpr uint32_t kActivationIdle = 2;
constexpr uint32_t kPagesPerFace = 6;

void SetNotified(const DbObject& object, uint32_t value, uint32_t row = 0) {
    g_DataBase.Set(object, value, kDbNotify, row);
}

disp::diagnostics* DiagOf(const disp::face& f) {
    return f.Config() != nullptr ? f.Config()->diag : nullptr;
}

void SetPixelErrorBit(bool on) {
    const uint32_t status = g_DataBase.Get(dbo::shortErrorStatus);
    SetNotified(dbo::shortErrorStatus, on ? status | kPixelErrorBit : status & ~kPixelErrorBit);
}

void ClearFailureRows(uint32_t detection) {
    const uint32_t first = CDisplay::kFailureRows * (detection - 1);
    for (uint32_t n = 0; n < CDisplay::kFailureRows; ++n) {
        SetNotified(dbo::pixelFailureXLocation, 1, first + n);
        SetNotified(dbo::pixelFailureYLocation, 1, first + n);
        SetNotified(dbo::pixelFailureStatus, 0, first + n);
        SetNotified(dbo::pixelFailureColorBits, 0, first + n);
    }
}

}  // namespace

void CDisplay::WritePixelFailureRow(uint32_t detection, uint32_t row, uint32_t capability,
                                    const disp::pixel& p) {
    if (detection < 1 || detection > 3 || row >= kFailureRows) {
        return;
    }
    const uint32_t s = kFailureRows * (detection - 1) + row;
    const bool colour = capability == 2 || capability == 3;
    uint32_t bits = p.value;
    if (colour) {
        bits = ((p.value & 1u) != 0 ? 0x01u : 0u) | ((p.value & 2u) != 0 ? 0x04u : 0u) |
               ((p.value & 4u) != 0 ? 0x10u : 0u);
    }
    SetNotified(dbo::pixelFailureXLocation, p.x + 1u, s);
    SetNotified(dbo::pixelFailureYLocation, p.y + 1u, s);
    SetNotified(dbo::pixelFailureStatus, colour ? 6 : 4, s);
    SetNotified(dbo::pixelFailureColorBits, bits & 0xFFFF, s);
}

void CDisplay::ClearTestFailureRows() {
    SetNotified(dbo::dmsPixelFailureTestRows, 0);
    SetNotified(dbo::brenPixelFailureCountType2, 0);
    g_DataBase.SetText(dbo::moduleErrorBitmap, "", 0, kDbNotify);
    if (g_DataBase.Get(dbo::dmsPixelFailureMessageRows) == 0) {
        SetPixelErrorBit(false);
    }
    ClearFailureRows(kTestDetection);
    failureSet_.Invalidate();
}

void CDisplay::ClearMessageFailureRows() {
    SetNotified(dbo::dmsPixelFailureMessageRows, 0);
    SetNotified(dbo::brenPixelFailureCountType3, 0);
    g_DataBase.SetText(dbo::moduleErrorBitmap, "", 0, kDbNotify);
    if (g_DataBase.Get(dbo::dmsPixelFailureTestRows) == 0) {
        SetPixelErrorBit(false);
    }
    ClearFailureRows(kMessageDetection);
    failureSet_.Invalidate();
}

uint32_t CDisplay::TotalPixels() const {
    uint32_t total = 0;
    for (uint32_t i = 0; i < faceCount_ && i < 2; ++i) {
        total += uint32_t(faceConfigs_[i].pixel_height) * faceConfigs_[i].pixel_width;
    }
    return total;
}

void CDisplay::StorePixelErrorPages() {
    const uint32_t total = (TotalPixels() + 7) / 8;
    // Only the octets the pages can hold are kept.
    const uint32_t kept = total < kPages * kPageBytes ? total : kPages * kPageBytes;
    std::unique_ptr<uint8_t[]> bitmap(new (std::nothrow) uint8_t[kept + 1]());
    if (bitmap == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < faceCount_ && i < 2; ++i) {
        const disp::diagnostics* d = DiagOf(faces_[i]);
        if (d == nullptr || d->TestErrorFrame() == nullptr) {
            continue;
        }
        const disp::face_config& c = faceConfigs_[i];
        disp::pixel_error_iterator it(d->TestErrorFrame(), c.x_offset, c.y_offset);
        for (it.First(); it.IsValid(); it.Next()) {
            const uint32_t bit = it.Current().x + uint32_t(it.Current().y) * c.pixel_width;
            if (bit / 8 < kept) {
                bitmap[bit / 8] = uint8_t(bitmap[bit / 8] | 1u << (bit % 8));
            }
        }
        it.Close();
    }
    const uint32_t last = total / kPageBytes < kPages - 1 ? total / kPageBytes : kPages - 1;
    for (uint32_t k = 0; k <= last; ++k) {
        const uint32_t start = k * kPageBytes;
        const uint32_t length =
            start >= kept ? 0 : (kept - start < kPageBytes ? kept - start : kPageBytes);
        g_DataBase.SetText(dbo::pixelErrorPage, bitmap.get() + (length != 0 ? start : 0), length,
                           kDbNotify, k);
    }
}

bool CDisplay::PixelFailuresOverThreshold() const {
    const uint32_t limit = g_DataBase.Get(dbo::fdotMaxNumPixelFailure);
    if (limit == kNoLimit || frameState_ == kTestPattern) {
        return false;
    }
    return g_DataBase.Get(dbo::dmsPixelFailureMessageRows) > limit ||
           g_DataBase.Get(dbo::dmsPixelFailureTestRows) > limit;
}

bool CDisplay::BlankForPixelErrors(uint32_t origin, bool& latched) {
    if (latched && (g_DataBase.Get(dbo::requestSourceMode, kEndDurationSlot) != kSourceOther ||
                    g_DataBase.Get(dbo::requestOrigin, kEndDurationSlot) != origin)) {
        latched = false;  // slot 6 was given another request since
    }
    const bool blanked = g_DataBase.Get(dbo::dmsMsgSourceMode) == kSourceOther &&
                         g_DataBase.Get(dbo::activationOrigin) == origin;
    if (latched || blanked) {
        return false;
    }
    uint32_t length = 0;
    const char* source = g_DataBase.GetText(dbo::dmsMsgTableSource, &length);
    if (source != nullptr && length != 0) {
        g_DataBase.SetText(dbo::pixelErrorBlankedMessage, source, length, kDbNotify);
    }
    RequestBlank(kSourceOther, origin);
    SendPixelErrorTrap();
    latched = true;
    return true;
}

void CDisplay::CheckPixelFailureThreshold() {
    if (!PixelFailuresOverThreshold()) {
        failureBlankLatched_ = false;
        return;
    }
    BlankForPixelErrors(kOriginPixelFailures, failureBlankLatched_);
}

void CDisplay::CheckLegibilityThreshold() {
    const uint32_t threshold = g_DataBase.Get(dbo::brenLegibilityRatioThreshold);
    if (threshold == 0 || frameState_ == kTestPattern ||
        g_DataBase.Get(dbo::brenLegibilityRatio) >= threshold) {
        legibilityBlankLatched_ = false;
        return;
    }
    BlankForPixelErrors(kOriginLegibility, legibilityBlankLatched_);
}

void CDisplay::SendPixelErrorTrap() {
    ntcip_send_location_trap(kPixelErrorTrap);
}

void CDisplay::RequestBlank(uint32_t sourceMode, uint32_t origin) {
    WriteBlankRequest(g_DataBase, sourceMode, origin);
}

void CDisplay::StartFaceDiagnostics() {
    for (uint32_t i = 0; i < faceCount_; ++i) {
        faces_[i].BeginTest();
    }
}

void CDisplay::OnPixelTestActivation() {
    switch (g_DataBase.Get(dbo::pixelTestActivation)) {
        case 1:
            SetNotified(dbo::pixelTestActivation, kActivationIdle);
            break;
        case 2:
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].EndTest(0);
            }
            frameState_ = kNewMessage;
            break;
        case 3:
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].ClearMessageErrorFrame();
                faces_[i].ClearTestErrorFrame();
            }
            ClearTestFailureRows();
            ClearMessageFailureRows();
            pixelTestRunning_ = 1;
            Post(kLetterListedPeripheralsDisable);
            pixelTestCountdown_ = 2;
            break;
        case 4:
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].ClearMessageErrorFrame();
                faces_[i].ClearTestErrorFrame();
            }
            ClearTestFailureRows();
            ClearMessageFailureRows();
            SetNotified(dbo::pixelTestActivation, kActivationIdle);
            break;
        default:
            break;
    }
}

// Counted down in every frame state: a test asked for again while the last one holds the
// sign (state 2) starts all the same.
void CDisplay::RunPixelTestStart() {
    if (pixelTestCountdown_ == 0) {
        return;
    }
    if (--pixelTestCountdown_ != 0) {
        return;
    }
    ClearTestFailureRows();
    StartFaceDiagnostics();
    for (uint32_t i = 0; i < faceCount_; ++i) {
        disp::diagnostics* d = DiagOf(faces_[i]);
        if (d != nullptr && d->SkipTestWait() == 0) {
            frameState_ = kPixelTestWait;
            break;
        }
    }
}

bool CDisplay::PixelTestComplete() {
    if (pixelTestCountdown_ != 0 || pixelTestRunning_ == 0) {
        return false;
    }
    DebugPrint(".");
    for (uint32_t i = 0; i < faceCount_; ++i) {
        disp::diagnostics* d = DiagOf(faces_[i]);
        if (d != nullptr && (d->TestErrorFrame() != nullptr || d->MessageErrorFrame() != nullptr) &&
            d->IsTestFinished() != 1) {
            return false;
        }
    }
    return true;
}

void CDisplay::StorePixelTestResults(uint32_t rows) {
    uint32_t failed = 0;
    for (uint32_t i = 0; i < faceCount_; ++i) {
        const disp::diagnostics* d = DiagOf(faces_[i]);
        if (d != nullptr && d->TestErrorFrame() != nullptr) {
            failed += d->TestErrorFrame()->LitCount();
        }
    }
    SetNotified(dbo::brenPixelFailureCountType2, failed > 0xFFFF ? 0xFFFF : failed);
    SetNotified(dbo::dmsPixelFailureTestRows, rows);
    SetPixelErrorBit(rows > 0);
    for (uint32_t i = 0; i < faceCount_; ++i) {
        const disp::diagnostics* d = DiagOf(faces_[i]);
        if (d != nullptr && d->TestErrorFrame() != nullptr) {
            g_DiagIndexRegistrar.StoreFrame(resultSlot_[i], d->TestErrorFrame(), 0, 0, frameState_);
        }
    }
    StorePixelErrorPages();
    g_DataBase.Set(dbo::pixelTestActivation, kActivationIdle, 0);
    Post(kLetterListedPeripheralsEnable);
    pixelTestRunning_ = 0;
    frameState_ = kNewMessage;
}

void CDisplay::UpdateFacesWithDiagnostics() {
    const bool complete = PixelTestComplete();
    disp::frame* frames[2] = {};
    uint32_t litBefore[2] = {};
    for (uint32_t i = 0; i < faceCount_; ++i) {
        if (faceConfigs_[i].engine != nullptr && faces_[i].IsOpen()) {
            frames[i] = faceConfigs_[i].engine->GetFrame();
        }
        if (frames[i] != nullptr) {
            litBefore[i] = frames[i]->LitCount();
        }
    }
    // The failures: scanned once per new failure set, switched off in every cycle's frames.
    const bool realTime = g_DataBase.Get(dbo::brenEnableRealTimePixelDiagnostics) != 0;
    const uint16_t height = frames[0] != nullptr ? frames[0]->Height() : 0;
    const uint16_t width = frames[0] != nullptr ? frames[0]->Width() : 0;
    const bool rescanned = failureSet_.Update(faces_, faceCount_, realTime, height, width);
    failureSet_.SwitchOff(frames, faceCount_);
    if (complete) {
        uint32_t rows = 0;
        for (const disp::pixel_failure_set::entry& e : failureSet_.Entries()) {
            if (e.test_value == 0) {
                continue;
            }
            if (rows == kFailureRows) {
                break;
            }
            WritePixelFailureRow(kTestDetection, rows++, faceConfigs_[0].colour_planes,
                                 disp::pixel(e.x, e.y, e.test_value));
        }
        StorePixelTestResults(rows);
    }
    if (rescanned || complete) {
        g_DataBase.SetText(dbo::moduleErrorBitmap, failureSet_.ModuleBitmap(),
                           failureSet_.ModuleBitmapBytes(), kDbNotify);
    }
    for (uint32_t i = 0; i < faceCount_; ++i) {
        disp::frame* f = frames[i];
        if (f != nullptr) {
            const uint32_t first = g_DataBase.Get(dbo::pixelTestFaceFirstSlot, i);
            const uint32_t page = f->attributes.page_number;
            // Pages beyond the six slots of a face would land on its pixel-test results.
            if (first != 0 && page < kPagesPerFace) {
                g_DiagIndexRegistrar.StoreFrame(first + page, f, 1, first - 1, frameState_);
            }
            const uint32_t lit = f->LitCount();
            SetNotified(dbo::brenLegibilityRatio,
                        litBefore[i] == 0 ? 100 : uint32_t(uint64_t(lit) * 100 / litBefore[i]));
            CheckLegibilityThreshold();
        }
        faces_[i].Update(0);
    }
}

void CDisplay::RegisterPixelTestResults(uint32_t faceIndex) {
    if (faceIndex >= 2) {
        return;
    }
    const disp::face_config& c = faceConfigs_[faceIndex];
    static const char* const kNames[7] = {
        "Current Display with Errors",  "Page 1 - Display with Errors",
        "Page 2 - Display with Errors", "Page 3 - Display with Errors",
        "Page 4 - Display with Errors", "Page 5 - Display with Errors",
        "Page 6 - Display with Errors"};
    static const uint32_t kKinds[7] = {8, 2, 3, 4, 5, 6, 7};
    const uint32_t depth = c.bits_per_pixel == 1 ? 1 : 2;
    uint32_t slot = 0;
    for (uint32_t k = 0; k < 7; ++k) {
        g_DiagIndexRegistrar.Register(faceIndex + 1, kNames[k], c.pixel_height, c.pixel_width,
                                      depth, kKinds[k], &slot);
    }
    uint32_t testDepth = 0;
    switch (c.colour_planes) {
        case 1:
            testDepth = 1;
            break;
        case 2:
            testDepth = 3;
            break;
        case 3:
            testDepth = 4;
            break;
        case 15:
            testDepth = 2;
            break;
        default:
            break;
    }
    if (g_DiagIndexRegistrar.Register(faceIndex + 1, "Pixel Test Errors", c.pixel_height,
                                      c.pixel_width, testDepth, 9, &slot)) {
        resultSlot_[faceIndex] = slot;
    }
}

void CDisplay::WalkModules(uint32_t faceIndex) {
    if (faceIndex >= faceCount_) {
        return;
    }
    disp::diagnostics* d = DiagOf(faces_[faceIndex]);
    if (d == nullptr) {
        return;
    }
    if (watchdogDisable_ != nullptr) {
        watchdogDisable_();
    }
    uint32_t position = 0;
    disp::module* record = nullptr;
    for (bool more = d->FirstModule(&position, &record); more;
         more = d->NextModule(&position, &record)) {
        uint32_t column = 0;
        uint32_t row = 0;
        record->GetPosition(&column, &row);
        tx_thread_sleep(10);
    }
    if (watchdogEnable_ != nullptr) {
        watchdogEnable_();
    }
}
