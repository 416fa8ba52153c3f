// Pixel diagnostics: module records and their numbering, the error iterator, the result
// registry, and the sign's pixel test over the simulated module bus with dead LEDs,
// disconnected modules and data-line faults.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/diag_5520.h"
#include "display/diag_index_registrar.h"
#include "display/face.h"
#include "display/face_config.h"
#include "display/frame.h"
#include "display/frame_engine.h"
#include "display/module.h"
#include "display/pixel_error_iterator.h"
#include "display/tests/sign_fixture.h"
#include "platform/sim/epld_bitstream.h"
#include "platform/sim/hw.h"

namespace {

using Marks = std::map<std::pair<int, int>, uint32_t>;

// Every nonzero pixel of the frame.
Marks MarksOf(const disp::frame& f) {
    Marks marks;
    for (uint16_t y = 0; y < f.Height(); ++y) {
        for (uint16_t x = 0; x < f.Width(); ++x) {
            disp::pixel p(x, y);
            if (f.GetPixel(p) && p.value != 0) {
                marks[{x, y}] = p.value;
            }
        }
    }
    return marks;
}

void MarkArea(Marks& marks, int x0, int x1, int y0, int y1, uint32_t value) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            marks[{x, y}] = value;
        }
    }
}

// A face of module lines with the lengths given, modules `size` pixels square.
disp::face_config Layout(disp::diagnostics* diag, disp::frame_engine* engine, uint8_t size,
                         std::vector<uint8_t> lines) {
    disp::face_config c;
    disp::SetConfigName(c.face_name, "primary");
    c.module_height = size;
    c.module_width = size;
    c.bits_per_pixel = 15;
    c.colour_planes = 3;
    c.module_lines = uint8_t(lines.size());
    c.pixel_height = uint16_t(size * lines.size());
    uint32_t widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        c.line_lengths[i] = lines[i];
        widest = std::max<uint32_t>(widest, lines[i]);
        c.total_modules = uint16_t(c.total_modules + lines[i]);
    }
    c.pixel_width = uint16_t(widest * size);
    c.diag = diag;
    c.engine = engine;
    return c;
}

TEST(PixelDiagnostics, ModuleRecordsFollowTheLinesInOrder) {
    disp::diagnostics diag;
    disp::frame_engine engine;
    disp::face_config config = Layout(&diag, &engine, 8, {12, 5, 12});
    disp::face f;
    ASSERT_TRUE(f.Open(&config));
    ASSERT_EQ(diag.ModuleCount(), 29u);

    std::vector<std::pair<uint32_t, uint32_t>> positions;
    uint32_t position = 99;
    disp::module* record = nullptr;
    for (bool more = diag.FirstModule(&position, &record); more;
         more = diag.NextModule(&position, &record)) {
        uint32_t column = 0, row = 0;
        ASSERT_TRUE(record->GetPosition(&column, &row));
        positions.emplace_back(column, row);
        EXPECT_EQ(record->status[1], 3);
        EXPECT_EQ(record->status[24], 0xAA);
    }
    EXPECT_EQ(position, 28u) << "NextModule stops after record 28";
    ASSERT_EQ(positions.size(), 29u);
    EXPECT_EQ(positions[0], std::make_pair(0u, 0u));
    EXPECT_EQ(positions[11], std::make_pair(11u, 0u));
    EXPECT_EQ(positions[12], std::make_pair(0u, 1u));
    EXPECT_EQ(positions[17], std::make_pair(0u, 2u));
    EXPECT_EQ(positions[28], std::make_pair(11u, 2u));
    EXPECT_FALSE(diag.FirstModule(nullptr, &record));
    f.Close();
    EXPECT_FALSE(diag.FirstModule(&position, &record)) << "closed: no records";
}

TEST(PixelDiagnostics, ModuleNumbersNeverLeaveTheLayout) {
    disp::diagnostics diag;
    disp::frame_engine engine;
    const disp::face_config three = Layout(&diag, &engine, 8, {12, 5, 12});
    std::vector<uint8_t> full(9, 64);
    disp::face_config nine = Layout(&diag, &engine, 8, full);
    nine.total_modules = 576;
    disp::face_config ten = nine;
    ten.module_lines = 10;  // never valid; the numbering must not read past line 9
    struct Case {
        const char* what;
        const disp::face_config* config;
        uint32_t x, y;
        bool found;
        uint32_t number;
    } const cases[] = {
        {"first module", &three, 0, 0, true, 0},
        {"end of line 1", &three, 95, 7, true, 11},
        {"line 2 starts after 12", &three, 0, 8, true, 12},
        {"line 3 after 12 + 5", &three, 8, 16, true, 18},
        {"below the last line", &three, 0, 24, false, 0},
        {"last of 576", &nine, 511, 71, true, 575},
        {"past module 576", &nine, 512, 71, false, 0},
        {"a tenth line", &ten, 0, 72, false, 0},
    };
    for (const Case& c : cases) {
        uint32_t number = 12345;
        EXPECT_EQ(disp::diagnostics::ModuleNumberAt(*c.config, c.x, c.y, &number), c.found)
            << c.what;
        if (c.found) {
            EXPECT_EQ(number, c.number) << c.what;
        }
    }
}

TEST(PixelDiagnostics, ModulesCountTestThenMessageFailures) {
    disp::frame test;
    disp::frame message;
    ASSERT_TRUE(test.Create(8, 16, 0, 3));
    ASSERT_TRUE(message.Create(8, 16, 0, 3));
    test.SetPixel(disp::pixel(9, 1, 2));
    message.SetPixel(disp::pixel(9, 1, 1));  // the same pixel counts once
    message.SetPixel(disp::pixel(15, 7, 4));
    message.SetPixel(disp::pixel(7, 7, 4));  // the module to the left
    disp::module m;
    EXPECT_FALSE(m.CountFailures()) << "not open";
    ASSERT_TRUE(m.Open(disp::pixel(8, 0), disp::pixel(15, 7), &test, &message));
    EXPECT_FALSE(m.Open(disp::pixel(8, 0), disp::pixel(15, 7), &test, &message));
    ASSERT_TRUE(m.CountFailures());
    EXPECT_EQ(m.FailedPixels(), 2);
    uint32_t column = 0, row = 0;
    ASSERT_TRUE(m.GetPosition(&column, &row));
    EXPECT_EQ(column, 1u);
    EXPECT_EQ(row, 0u);
    ASSERT_TRUE(m.Close());
    EXPECT_FALSE(m.GetPosition(&column, &row));
}

TEST(PixelDiagnostics, IteratorWalksFailedPixelsAtFaceCoordinates) {
    disp::frame errors;
    ASSERT_TRUE(errors.Create(4, 6, 0, 3));
    disp::pixel_error_iterator empty(&errors, 0, 0);
    EXPECT_FALSE(empty.First());
    EXPECT_FALSE(empty.IsValid());

    errors.SetPixel(disp::pixel(0, 0, 7));
    errors.SetPixel(disp::pixel(5, 0, 1));
    errors.SetPixel(disp::pixel(2, 1, 4));
    errors.SetPixel(disp::pixel(5, 3, 2));  // the last pixel
    std::vector<std::tuple<int, int, uint32_t>> seen;
    disp::pixel_error_iterator it(&errors, 10, 20);
    for (it.First(); it.IsValid(); it.Next()) {
        seen.emplace_back(it.Current().x, it.Current().y, it.Current().value);
    }
    EXPECT_EQ(seen, (std::vector<std::tuple<int, int, uint32_t>>{
                        {10, 20, 7}, {15, 20, 1}, {12, 21, 4}, {15, 23, 2}}));
    it.First();
    it.Close();
    EXPECT_FALSE(it.IsValid());
    disp::pixel_error_iterator none(nullptr, 0, 0);
    EXPECT_FALSE(none.First());
}

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        g_DataBase.SetValidationEnabled(false);
        g_DataBase.Set(dbo::pixelTestChunkSize, 100, 0);
        g_DiagIndexRegistrar.Clear();
    }
    ~RegistryTest() override {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
    }
    static std::string Text(const DbObject& o, uint32_t row) {
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(o, &length, row);
        return std::string(text, length);
    }
};

TEST_F(RegistryTest, FacesGetConsecutiveSlotRanges) {
    uint32_t slot = 99;
    EXPECT_FALSE(g_DiagIndexRegistrar.Register(1, nullptr, 16, 48, 2, 8, &slot));
    for (uint32_t k = 0; k < 8; ++k) {
        ASSERT_TRUE(g_DiagIndexRegistrar.Register(1, "Page", 16, 48, 2, 2 + k, &slot));
        EXPECT_EQ(slot, k);
    }
    ASSERT_TRUE(g_DiagIndexRegistrar.Register(2, "Pixel Test Errors", 8, 300, 4, 9, &slot));
    EXPECT_EQ(slot, 8u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestFaceCount), 2u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestSlotsInUse), 9u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestFaceFirstSlot, 0), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestFaceLastSlot, 0), 8u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestFaceFirstSlot, 1), 9u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestFaceLastSlot, 1), 9u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestSlotColumns, 8), 300u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestSlotRows, 8), 8u);
    EXPECT_EQ(Text(dbo::pixelTestSlotName, 8), "Pixel Test Errors");
    for (uint32_t k = 9; k < diag_index_registrar::kSlots; ++k) {
        ASSERT_TRUE(g_DiagIndexRegistrar.Register(2, "more", 1, 1, 1, 9, &slot));
    }
    EXPECT_FALSE(g_DiagIndexRegistrar.Register(2, "no room", 1, 1, 1, 9, &slot));
    g_DiagIndexRegistrar.Clear();
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestSlotsInUse), 0u);
    ASSERT_TRUE(g_DiagIndexRegistrar.Register(1, "again", 1, 1, 1, 9, &slot));
    EXPECT_EQ(slot, 0u);
}

TEST_F(RegistryTest, FramesGoInChunksToTheirSlots) {
    disp::frame f;
    ASSERT_TRUE(f.Create(16, 48, 0, 3));  // 288 bytes: chunks of 100, 100 and 88
    f.SetPixel(disp::pixel(0, 0, 7));
    f.attributes.page_on_time = 30;
    f.attributes.page_off_time = 5;
    struct Case {
        const char* what;
        uint32_t current, state;
        bool toSlot, toCurrent;
    } const cases[] = {
        {"a result", 0, 4, true, false},
        {"current, page shown", 1, 5, true, true},
        {"current, blank", 1, 3, true, true},
        {"current, new message", 1, 4, false, true},
    };
    for (const Case& c : cases) {
        for (uint32_t row = 0; row < 3 * diag_index_registrar::kChunkStride; ++row) {
            g_DataBase.SetText(dbo::pixelTestResultChunk, "", 0, 0, row);
        }
        for (uint32_t s = 0; s < 3; ++s) {
            g_DataBase.SetText(dbo::pixelTestSlotDimension, "", 0, 0, s);
        }
        g_DiagIndexRegistrar.StoreFrame(2, &f, c.current, 0, c.state);
        const uint32_t stride = diag_index_registrar::kChunkStride;
        EXPECT_EQ(Text(dbo::pixelTestResultChunk, 2 * stride).size(), c.toSlot ? 100u : 0u)
            << c.what;
        EXPECT_EQ(Text(dbo::pixelTestResultChunk, 2 * stride + 2).size(), c.toSlot ? 88u : 0u)
            << c.what;
        EXPECT_EQ(Text(dbo::pixelTestResultChunk, 2 * stride + 3).size(), 0u) << c.what;
        EXPECT_EQ(Text(dbo::pixelTestResultChunk, 0).size(), c.toCurrent ? 100u : 0u) << c.what;
        EXPECT_EQ(Text(dbo::pixelTestSlotDimension, 0), c.current ? "30,5" : "") << c.what;
        EXPECT_EQ(Text(dbo::pixelTestSlotDimension, 2), c.current ? "30,5" : "") << c.what;
    }
    EXPECT_EQ(uint8_t(Text(dbo::pixelTestResultChunk, 0)[0]), 7) << "pixel 0 in the low bits";
    g_DataBase.Set(dbo::pixelTestChunkSize, 0, 0);
    g_DataBase.SetText(dbo::pixelTestResultChunk, "", 0, 0, 5 * diag_index_registrar::kChunkStride);
    g_DiagIndexRegistrar.StoreFrame(5, &f, 0, 0, 4);
    EXPECT_EQ(Text(dbo::pixelTestResultChunk, 5 * diag_index_registrar::kChunkStride), "")
        << "no chunk buffer: nothing stored";
}

// The sign's pixel test on the simulated module bus, outside the kernel (commands do not wait).
class SignPixelTest : public ::testing::Test {
protected:
    void Start(sim::ModuleKind kind, std::vector<unsigned> lines, uint8_t faceModule) {
        sim::SignConfig config;
        config.modules = kind;
        config.lineLengths = lines;
        board_.reset();
        board_ = std::make_unique<sign_test::SignFixture>(config);
        const unsigned size = kind == sim::ModuleKind::k8x8 ? 8 : 16;
        rows_ = unsigned(lines.size()) * size;
        columns_ = lines[0] * size;
        const std::vector<uint8_t> bits = sim::MakeEpldBitstream(12, 64);
        ASSERT_TRUE(board_->Sign().GetEpld().Load(bits.data(), bits.size()));
        hw::Write16(0xF0400002, uint16_t(columns_));
        hw::Write16(0xF0400004, uint16_t(rows_));
        std::vector<uint8_t> faceLines(rows_ / faceModule, uint8_t(columns_ / faceModule));
        config_ = Layout(&diag_, &engine_, faceModule, faceLines);
        ASSERT_TRUE(face_.Open(&config_));
    }
    // The test as the display runs it: BeginTest, then the face's cycle.
    Marks RunTest() {
        face_.BeginTest();
        face_.Update(0);
        EXPECT_EQ(diag_.IsTestFinished(), 1);
        return MarksOf(*diag_.TestErrorFrame());
    }
    sim::ModuleBus& Modules() { return board_->Sign().Modules(); }

    std::unique_ptr<sign_test::SignFixture> board_;
    unsigned rows_ = 0, columns_ = 0;
    diag_5520 diag_{nullptr};
    disp::frame_engine engine_;
    disp::face_config config_;
    disp::face face_;
};

TEST_F(SignPixelTest, DeadLedsGiveTheirColourBits) {
    Start(sim::ModuleKind::k8x8, {6, 6}, 8);
    Modules().SetDeadLed(3, 2, 1);   // green
    Modules().SetDeadLed(10, 9, 0);  // red and blue
    Modules().SetDeadLed(10, 9, 2);
    Modules().SetDeadLed(47, 15, 2);  // far corner
    EXPECT_EQ(RunTest(), (Marks{{{3, 2}, 2}, {{10, 9}, 5}, {{47, 15}, 4}}));
    uint32_t failed = 0;
    for (uint32_t k = 0; k < diag_.ModuleCount(); ++k) {
        failed += diag_.Module(k)->FailedPixels();
    }
    EXPECT_EQ(failed, 3u);
    EXPECT_EQ(diag_.Module(6 + 1)->FailedPixels(), 1) << "(10, 9): line 2, column 2";
}

TEST_F(SignPixelTest, SilentModulesAtTheFarEndAreMarkedWhole) {
    Start(sim::ModuleKind::k8x8, {6, 6}, 8);
    DebugSetTraceLevel(1);
    Modules().Disconnect(1, 4);  // the last two modules of line 1 go silent
    Modules().SetDeadLed(5, 12, 1);
    Marks expected;
    MarkArea(expected, 32, 48, 8, 16, 7);
    expected[{5, 12}] = 2;
    EXPECT_EQ(RunTest(), expected);
    EXPECT_NE(sign_test::DebugText().find("Mod Not Connected Row: 1\n"), std::string::npos);
    EXPECT_EQ(diag_.Module(6 + 4)->FailedPixels(), 64);
    DebugSetTraceLevel(0);
}

TEST_F(SignPixelTest, SixteenPixelModulesReportBothHalves) {
    Start(sim::ModuleKind::k16x16, {3, 3}, 16);
    Modules().SetDeadLed(17, 3, 0);   // upper half, red
    Modules().SetDeadLed(17, 12, 1);  // lower half, green
    Modules().SetDeadLed(40, 31, 2);  // last line, blue
    Modules().Disconnect(0, 2);
    Marks expected{{{17, 3}, 1}, {{17, 12}, 2}, {{40, 31}, 4}};
    MarkArea(expected, 32, 48, 0, 16, 7);
    EXPECT_EQ(RunTest(), expected);
}

TEST_F(SignPixelTest, UntestableLinesAreReportedFailed) {
    struct Case {
        const char* what;
        void (*fault)(sim::ModuleBus&);
        int x0, x1, y0, y1;
    } const cases[] = {
        // Every module of line 0 echoes wrong words: none counts as answering.
        {"data-line fault", [](sim::ModuleBus& b) { b.SetDataLineFault(0, 0x0001); }, 0, 48, 0, 8},
        // Module 1 of line 0 answers no size: no test is possible anywhere.
        {"first module silent", [](sim::ModuleBus& b) { b.Disconnect(0, 0); }, 0, 48, 0, 16},
    };
    for (const Case& c : cases) {
        Start(sim::ModuleKind::k8x8, {6, 6}, 8);
        c.fault(Modules());
        Marks expected;
        MarkArea(expected, c.x0, c.x1, c.y0, c.y1, 7);
        EXPECT_EQ(RunTest(), expected) << c.what;
        face_.Close();
    }
    EXPECT_NE(sign_test::DebugText().find("Mod Type not supported... Test not performed\n\r"),
              std::string::npos);
}

TEST_F(SignPixelTest, ModulesThatStopAnsweringAreNotVouchedFor) {
    Start(sim::ModuleKind::k8x8, {6, 6}, 8);
    Modules().Disconnect(0, 0);
    EXPECT_EQ(diag_.TestLedStrings(4, 1), 1u) << "no size code: the strings were not tested";
    Marks expected;
    MarkArea(expected, 0, 32, 8, 16, 7);
    EXPECT_EQ(MarksOf(*diag_.TestErrorFrame()), expected);
}

}  // namespace
