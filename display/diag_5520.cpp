#include "display/diag_5520.h"

#include <memory>
#include <new>

#include "display/face_config.h"
#include "display/module_register_access.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"

diag_5520 g_Diag5520(&g_PostOffice);

namespace {

constexpr uint32_t kAllFailed = 7;
constexpr uint8_t kSize8 = 4;   // 8-pixel modules
constexpr uint8_t kSize16 = 8;  // 16-pixel modules

// Module lines and modules a line the registers can describe.
constexpr uint32_t kMaxLinesProbed = 0xFFFF / 8;

}  // namespace

diag_5520::diag_5520(PostOffice* office) : office_(office) {
    test_error_frame_ = &test_frame_;
}

diag_5520::~diag_5520() {
    diag_5520::Close();
}

bool diag_5520::Open(disp::face* owner) {
    if (!diagnostics::Open(owner)) {
        return false;
    }
    if (!test_frame_.Create(config_->pixel_height, config_->pixel_width, 0, 3)) {
        diagnostics::Close();
        state_ = kClosed;
        return false;
    }
    return true;
}

bool diag_5520::Close() {
    const bool closed = diagnostics::Close();
    test_frame_.Destroy();
    run_ = 0;
    return closed;
}

bool diag_5520::BeginTest() {
    const bool begun = diagnostics::BeginTest();
    test_status_ = 0;
    test_finished_ = 0;
    run_ = 1;
    return begun;
}

bool diag_5520::EndTest(uint32_t argument) {
    const bool ended = diagnostics::EndTest(argument);
    test_status_ = 1;
    test_finished_ = 1;
    run_ = 0;
    return ended;
}

bool diag_5520::IsOpen(uint32_t) const {
    return false;
}

void diag_5520::Run() {
    if (run_ == 0) {
        return;
    }
    if (office_ != nullptr) {
        office_->PostLetter(kLetterDisplaySupervisionStop);
    }
    if (state_ >= kOpen) {
        RunPixelTest();
    }
    if (office_ != nullptr) {
        office_->PostLetter(kLetterDisplaySupervisionStart);
    }
    EndTest(0);
    ErrorsChanged();
    for (uint32_t k = 0; k < ModuleCount(); ++k) {
        Module(k)->CountFailures();
    }
}

void diag_5520::MarkPixel(uint32_t x, uint32_t y, uint32_t bits) {
    if (x > 0xFFFF || y > 0xFFFF) {
        return;
    }
    disp::pixel p{uint16_t(x), uint16_t(y)};
    if (test_frame_.GetPixel(p)) {
        p.value |= bits;
        test_frame_.SetPixel(p);
    }
}

void diag_5520::MarkArea(uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1) {
    const uint32_t width = test_frame_.Width();
    const uint32_t height = test_frame_.Height();
    for (uint32_t y = y0; y < y1 && y < height; ++y) {
        for (uint32_t x = x0; x < x1 && x < width; ++x) {
            MarkPixel(x, y, kAllFailed);
        }
    }
}

void diag_5520::RunPixelTest() {
    const uint32_t rows = DisplayRows();
    const uint32_t columns = DisplayColumns();
    ModuleQuery(1, 0);
    const uint8_t code = ModuleQuery(1, 0);
    if (code != kSize8 && code != kSize16) {
        DebugPrint("Mod Type not supported... Test not performed\n\r");
        MarkArea(0, columns, 0, rows);
        return;
    }
    const uint32_t s = code == kSize8 ? 8 : 16;
    size_ = s;
    const uint32_t m = columns / s;
    const uint32_t n = rows / s < kMaxLinesProbed ? rows / s : kMaxLinesProbed;
    for (uint32_t r = 0; r < n; ++r) {
        uint32_t i = 0;
        for (; i < m; ++i) {
            DebugPrintLevel1("i:%d\n", int(i));
            if (DisplayBusTest(m - i, r, code) == 0) {
                DebugPrintLevel1("breaking on successful mod found\n");
                break;
            }
            DebugPrintLevel1(
                code == kSize8 ? "Mod Not Connected Row: %d\n" : "Mod Not Connected Row: %d\n\r",
                int(r));
        }
        MarkArea((m - i) * s, m * s, r * s, r * s + s);
        if (i < m) {
            TestLedStrings(m - i, r);
        }
    }
}

uint32_t diag_5520::TestLedStrings(uint32_t count, uint32_t line) {
    const uint8_t code = ModuleQuery(1, 0);
    if (code != kSize8 && code != kSize16) {
        DebugPrint("Mod Type not supported... Test not performed\n\r");
        // Modules that stopped answering since they were probed were not tested: none of
        // their LEDs can be vouched for. The line's height is the module size of the test.
        MarkArea(0, count * size_, line * size_, line * size_ + size_);
        return 1;
    }
    const uint32_t wordsPerModule = code;  // 4 words of 64 bits, or 8 of 128
    const uint32_t capacity = count * wordsPerModule;
    std::unique_ptr<uint16_t[]> bitmap(new (std::nothrow) uint16_t[capacity]);
    if (bitmap == nullptr) {
        DebugPrint("diag_5520::TestLedStrings: no memory for %u words\n", unsigned(capacity));
        return 1;
    }
    if (code == kSize8) {
        for (uint32_t ch = 0; ch < 3; ++ch) {
            ModuleSelectChannel(line, count, 2 * ch);
            const uint32_t words = ModuleReadBitmap(count, code, bitmap.get(), capacity);
            for (uint32_t k = 0; k < 64 * count; ++k) {
                ModulePixel at{};
                if (ModuleBitToPixel64(k, bitmap.get(), words, &at, count) != 0) {
                    MarkPixel(at.x, at.y + 8u * line, 1u << ch);
                }
            }
        }
        return 0;
    }
    for (uint32_t ch = 0; ch < 6; ++ch) {
        ModuleSelectChannel(line, count, ch);
        const uint32_t words = ModuleReadBitmap(count, code, bitmap.get(), capacity);
        const uint32_t bit = 1u << (ch / 2);
        const uint32_t half = ch % 2 == 0 ? 0 : 8;
        for (uint32_t k = 0; k < 128 * count; ++k) {
            ModulePixel at{};
            if (ModuleBitToPixel128(k, bitmap.get(), words, &at, count) != 0) {
                MarkPixel(at.x, at.y + half + 16u * line, bit);
            }
        }
    }
    return 0;
}
