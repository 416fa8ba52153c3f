// The display configuration on the stepped clock: face 0 from the geometry, module type and
// line lengths with the write-backs, the refusal of a layout the sign cannot hold, the EPLD
// programming and its error bits, the reload after a geometry change, the sign description
// (rate, model and serial texts, sign size) and brightness control.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/rtos_notify_sink.h"
#include "database/time_registers.h"
#include "display/display.h"
#include "display/display_driver.h"
#include "display/module_type.h"
#include "display/tests/factory_database.h"
#include "render/render.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

class FakeDriver : public display_driver {
public:
    void SetBrightness(uint32_t level) override { levels.push_back(level); }
    uint32_t GetBrightness() override { return levels.empty() ? 0 : levels.back(); }
    uint32_t GetMaxFrameRate() override { return maxRate; }
    void SetMode(uint32_t m) override { mode = m; }
    bool Init(uint32_t height, uint32_t width, uint32_t id) override {
        inits.push_back({height, width, id});
        return initWorks;
    }
    int32_t WriteFrame(CSurface*, uint32_t, uint32_t) override {
        ++frames;
        return 0;
    }
    struct InitCall {
        uint32_t height, width, id;
        bool operator==(const InitCall&) const = default;
    };
    std::vector<InitCall> inits;
    std::vector<uint32_t> levels;
    uint32_t maxRate = 10;
    uint32_t mode = 99;
    bool initWorks = true;
    uint32_t frames = 0;
};

uint8_t g_overheat = 100;

class DisplayConfigurationTest : public testing_support::KernelTest {
protected:
    DisplayConfigurationTest() {
        g_DataBase.Set(dbo::brenModuleID, 116, 0);
        g_DataBase.Set(dbo::vmsSignHeightPixels, 16, 0);
        g_DataBase.Set(dbo::vmsSignWidthPixels, 48, 0);
        g_DataBase.SetNotifySink(&sink_);
        g_DataBase.SetNotificationEnabled(true);
        g_Render.frame_rate = 10;
        g_overheat = 100;
        InstallModuleTypeTable();
        display_ = std::make_unique<CDisplay>(g_PostOffice, &events_);
        display_->overheatPercent = [] { return g_overheat; };
        display_->Start();
        Boot([this](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(display_->Create(&stacks_));
            display_->SetSignDriver(&driver_);
            display_->BuildDisplayConfiguration(16, 48, 15);
        });
        Advance(150);
    }
    ~DisplayConfigurationTest() override {
        Shutdown();
        display_.reset();
        g_Render.frame_rate = 10;
    }

    void Build(uint32_t height, uint32_t width) {
        InThread(
            [&] { display_->BuildDisplayConfiguration(uint16_t(height), uint16_t(width), 15); });
    }
    void SetLines(const std::vector<uint32_t>& lines) {
        for (uint32_t i = 0; i < 9; ++i) {
            g_DataBase.Set(dbo::brenLineLength, i < lines.size() ? lines[i] : 0, 0, i);
        }
    }
    std::vector<uint32_t> StoredLines() {
        std::vector<uint32_t> out;
        for (uint32_t i = 0; i < 9; ++i) {
            out.push_back(g_DataBase.Get(dbo::brenLineLength, i));
        }
        return out;
    }
    const disp::face_config& Face() { return display_->FaceConfig(0); }
    std::vector<uint32_t> FaceLines() {
        return std::vector<uint32_t>(Face().line_lengths, Face().line_lengths + 9);
    }
    std::string Text(const DbObject& column, uint32_t row) {
        char text[128] = {};
        const uint32_t n = g_DataBase.ReadString(column.Row(row), column.image,
                                                 reinterpret_cast<uint8_t*>(text), sizeof text);
        return std::string(text, n);
    }
    bool ErrorBits() {
        return (g_DataBase.Get(dbo::controllerErrorStatus) & 0x10) != 0 &&
               (g_DataBase.Get(dbo::shortErrorStatus) & 0x100) != 0;
    }
    // Writes the object as a central system would: notified, the display reacts next cycle.
    void Write(const DbObject& object, uint32_t value, uint32_t row = 0) {
        InThread([&] { g_DataBase.Set(object, value, kDbNotify, row); });
        Advance(10);
    }

    display_test::FactoryDatabase database_;
    TX_EVENT_FLAGS_GROUP events_{};
    RtosNotifySink sink_{&g_PostOffice, &events_};
    FakeDriver driver_;
    std::unique_ptr<CDisplay> display_;
};

TEST_F(DisplayConfigurationTest, FaceFromGeometryAndLineLengthsWithWriteBacks) {
    struct Case {
        uint32_t id, height, width;
        std::vector<uint32_t> stored;
        uint32_t faceHeight, faceWidth;
        std::vector<uint32_t> lines;  // nine entries
        uint32_t total;
        std::vector<uint32_t> storedAfter;
    };
    const Case cases[] = {
        {116,
         20,
         96,
         {0, 5, 0},
         24,
         96,
         {12, 5, 12, 0, 0, 0, 0, 0, 0},
         29,
         {0, 5, 0, 0, 0, 0, 0, 0, 0}},
        {116,
         16,
         96,
         {15, 3},
         16,
         96,
         {12, 3, 0, 0, 0, 0, 0, 0, 0},
         15,
         {12, 3, 0, 0, 0, 0, 0, 0, 0}},
        {116, 17, 90, {}, 24, 96, {12, 12, 12, 0, 0, 0, 0, 0, 0}, 36, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {116, 0, 0, {}, 8, 8, {1, 0, 0, 0, 0, 0, 0, 0, 0}, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // A type the table lacks: 7 x 5 modules.
        {999, 14, 100, {}, 14, 100, {20, 20, 0, 0, 0, 0, 0, 0, 0}, 40, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::brenModuleID, c.id, 0);
        SetLines(c.stored);
        Build(c.height, c.width);
        const std::string what = std::to_string(c.height) + "x" + std::to_string(c.width);
        EXPECT_EQ(display_->FaceCount(), 1u) << what;
        EXPECT_EQ(Face().pixel_height, c.faceHeight) << what;
        EXPECT_EQ(Face().pixel_width, c.faceWidth) << what;
        EXPECT_EQ(Face().module_lines, c.faceHeight / Face().module_height) << what;
        EXPECT_EQ(FaceLines(), c.lines) << what;
        EXPECT_EQ(Face().total_modules, c.total) << what;
        EXPECT_EQ(StoredLines(), c.storedAfter) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::vmsSignHeightPixels), c.faceHeight) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::vmsSignWidthPixels), c.faceWidth) << what;
        EXPECT_EQ(g_Render.Surface().Height(), int32_t(c.faceHeight)) << what;
        EXPECT_EQ(g_Render.Surface().Width(), int32_t(c.faceWidth)) << what;
        EXPECT_EQ(display_->FrameBytes(), (c.faceHeight * c.faceWidth + 7) / 8) << what;
        EXPECT_EQ(driver_.inits.back(), (FakeDriver::InitCall{c.faceHeight, c.faceWidth, c.id}))
            << what;
        EXPECT_FALSE(ErrorBits()) << what;
    }
}

TEST_F(DisplayConfigurationTest, LayoutTheSignCannotHoldIsRefusedAndTheFaceKept) {
    struct Case {
        const char* what;
        uint32_t height, width;
        std::vector<uint32_t> stored;
        bool accepted;
    };
    const Case cases[] = {
        {"9 lines of 64 modules: 576", 72, 512, {}, true},
        {"9 lines of 65 modules: 585", 72, 520, {}, false},
        {"10 lines", 80, 48, {}, false},
        {"frame beyond the DMA buffer", 72, 2040, {1, 1, 1, 1, 1, 1, 1, 1, 1}, false},
        {"256 modules in a line", 8, 2048, {}, false},
        {"huge", 65535, 65535, {}, false},
    };
    for (const Case& c : cases) {
        SetLines({});
        Build(16, 48);
        ASSERT_FALSE(ErrorBits());
        const size_t inits = driver_.inits.size();
        SetLines(c.stored);
        Build(c.height, c.width);
        EXPECT_EQ(ErrorBits(), !c.accepted) << c.what;
        EXPECT_EQ(display_->FaceCount(), 1u) << c.what;
        EXPECT_EQ(display_->CurrentDriver(), &driver_) << c.what;
        if (c.accepted) {
            EXPECT_EQ(Face().pixel_height, c.height) << c.what;
            continue;
        }
        // The previous face, surface and sign stay as they were.
        EXPECT_EQ(Face().pixel_height, 16) << c.what;
        EXPECT_EQ(Face().pixel_width, 48) << c.what;
        EXPECT_EQ(g_Render.Surface().Width(), 48) << c.what;
        EXPECT_EQ(driver_.inits.size(), inits) << c.what;
        std::vector<uint32_t> stored = c.stored;
        stored.resize(9);
        EXPECT_EQ(StoredLines(), stored) << c.what;
    }
    // A good layout clears the bits again.
    SetLines({});
    Build(16, 48);
    EXPECT_FALSE(ErrorBits());
}

TEST_F(DisplayConfigurationTest, EpldProgrammingAndItsErrorBits) {
    // Module type 106 programs the EPLD with height + height / 8 and width + width / 5.
    g_DataBase.Set(dbo::brenModuleID, 106, 0);
    Build(35, 100);
    EXPECT_EQ(driver_.inits.back(), (FakeDriver::InitCall{39, 120, 106}));

    struct Case {
        bool works;
        uint32_t otherControllerBits;
        bool driverInUse;
        uint32_t controller, shortBit;
    };
    const Case cases[] = {
        {false, 0, false, 0x10, 0x100},
        {true, 0, true, 0, 0},
        {false, 0x01, false, 0x11, 0x100},
        // Another controller error keeps the summary bit.
        {true, 0x01, true, 0x01, 0x100},
    };
    g_DataBase.Set(dbo::brenModuleID, 116, 0);
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::controllerErrorStatus,
                       (g_DataBase.Get(dbo::controllerErrorStatus) & 0x10) | c.otherControllerBits,
                       0);
        driver_.initWorks = c.works;
        Build(16, 48);
        EXPECT_EQ(display_->CurrentDriver() != nullptr, c.driverInUse);
        EXPECT_EQ(g_DataBase.Get(dbo::controllerErrorStatus), c.controller);
        EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x100, c.shortBit);
    }
    // Without a driver no frame goes out.
    driver_.initWorks = false;
    Build(16, 48);
    const uint32_t frames = driver_.frames;
    Advance(100);
    EXPECT_EQ(driver_.frames, frames);
}

TEST_F(DisplayConfigurationTest, DriverRateAndDiagnosticsMode) {
    struct Case {
        uint32_t maxRate, diagnostics;
        uint32_t rate, period, mode;
    };
    const Case cases[] = {{10, 0, 10, 10, 0}, {5, 1, 5, 20, 1}, {0, 0, 10, 10, 0}};
    for (const Case& c : cases) {
        g_Render.frame_rate = 10;
        g_DataBase.Set(dbo::brenDisplayRate, 0, 0);
        g_DataBase.Set(dbo::brenEnableRealTimePixelDiagnostics, c.diagnostics, 0);
        driver_.maxRate = c.maxRate;
        Build(16, 48);
        EXPECT_EQ(g_Render.frame_rate, c.rate) << c.maxRate;
        EXPECT_EQ(display_->period, c.period) << c.maxRate;
        EXPECT_EQ(g_DataBase.Get(dbo::brenDisplayRate), c.rate) << c.maxRate;
        EXPECT_EQ(driver_.mode, c.mode) << c.maxRate;
    }
}

TEST_F(DisplayConfigurationTest, GeometryChangeReloadsOnTheNextCycle) {
    Captured().clear();
    Write(dbo::vmsSignHeightPixels, 32);
    Advance(200);
    EXPECT_NE(Captured().find("load new display configuration\n"), std::string::npos);
    EXPECT_EQ(Face().pixel_height, 32);
    EXPECT_EQ(driver_.inits.back(), (FakeDriver::InitCall{32, 48, 116}));
    EXPECT_EQ(g_Render.Surface().Height(), 32);

    // Lines beyond the new count lose their stored lengths.
    for (uint32_t i = 0; i < 9; ++i) {
        g_DataBase.Set(dbo::brenLineLength, 3, 0, i);
    }
    Write(dbo::vmsSignHeightPixels, 16);
    Advance(200);
    EXPECT_EQ(Face().module_lines, 2);
    EXPECT_EQ(StoredLines(), (std::vector<uint32_t>{3, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(FaceLines(), (std::vector<uint32_t>{3, 3, 0, 0, 0, 0, 0, 0, 0}));

    // A refused geometry keeps the sign running on the old face.
    const uint32_t frames = driver_.frames;
    Write(dbo::vmsSignHeightPixels, 800);
    Advance(200);
    EXPECT_TRUE(ErrorBits());
    EXPECT_EQ(Face().pixel_height, 16);
    EXPECT_GT(driver_.frames, frames);
}

TEST_F(DisplayConfigurationTest, SignModelAndSerialTexts) {
    struct Case {
        uint32_t id, type, access, height, width, pitch, cellHeight, cellWidth;
        std::string model;
    };
    const Case cases[] = {
        {80, 6, 8, 48, 192, 20, 0, 0, "RC-3XXX-48x192-20-RGB"},
        {116, 6, 8, 16, 48, 34, 0, 0, "RD-5XXX-X-18-W"},
        {1, 4, 8, 14, 100, 34, 7, 5, "RA-1000-2-20-34-A"},
        {9, 5, 8, 14, 96, 34, 7, 0, "RA-1000-2-7x96-34-RA"},
        {21, 6, 8, 16, 48, 20, 0, 0, "RA-24X0-16x48-20-A"},
        {21, 6, 8, 16, 48, 34, 0, 0, "RA-23X0-16x48-34-A"},
        {119, 6, 2, 16, 48, 34, 0, 0, "RA-20X0-16x48-34-RGB"},
        {119, 6, 3, 16, 48, 34, 0, 0, "RA-2XX0-16x48-34-RGB"},
        {109, 5, 8, 14, 96, 44, 7, 0, "RB-4100-2-12x7-96-A"},
        {200, 6, 8, 16, 48, 34, 0, 0, "RA-1000-16x48-34- "},
        // No cell sizes on a character sign of family 3: quotients of 0, no fault.
        {120, 4, 8, 14, 100, 18, 0, 0, "RB-4000-0-0-18-A"},
        // Family 1 takes a character height of 7 when none is set.
        {1, 4, 8, 14, 100, 34, 0, 5, "RA-1000-2-20-34-A"},
    };
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::brenModuleID, c.id, 0);
        g_DataBase.Set(dbo::dmsSignType, c.type, 0);
        g_DataBase.Set(dbo::dmsSignAccess, c.access, 0);
        g_DataBase.Set(dbo::vmsSignHeightPixels, c.height, 0);
        g_DataBase.Set(dbo::vmsSignWidthPixels, c.width, 0);
        g_DataBase.Set(dbo::vmsHorizontalPitch, c.pitch, 0);
        g_DataBase.Set(dbo::vmsCharacterHeightPixels, c.cellHeight, 0);
        g_DataBase.Set(dbo::vmsCharacterWidthPixels, c.cellWidth, 0);
        InThread([] { CDisplay::FormatSignModel(); });
        EXPECT_EQ(Text(dbo::moduleModel, 6), c.model) << c.id;
    }
    EXPECT_EQ(g_DataBase.Get(dbo::vmsCharacterHeightPixels), 7u);

    struct Serial {
        uint32_t controller, sign;
        std::string controllerText, signText;
    };
    const Serial serials[] = {{0, 0, "SN: ----", "SN: ----"}, {1234, 7, "SN: 1234", "SN: 7"}};
    for (const Serial& s : serials) {
        g_DataBase.Set(dbo::brenControllerSerialNum, s.controller, 0);
        g_DataBase.Set(dbo::brenSignSerialNum, s.sign, 0);
        InThread([] { CDisplay::FormatSignModel(); });
        EXPECT_EQ(Text(dbo::moduleVersion, 1), s.controllerText);
        EXPECT_EQ(Text(dbo::moduleVersion, 6), s.signText);
    }
}

TEST_F(DisplayConfigurationTest, DisplayRateFromTheStoredObject) {
    struct Case {
        uint32_t stored, rate, period;
    };
    const Case cases[] = {{0, 10, 10}, {5, 5, 20}, {1, 1, 100}, {100, 100, 1}, {250, 100, 1}};
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::brenDisplayRate, c.stored, 0);
        InThread([&] { display_->DescribeSign(); });
        EXPECT_EQ(g_Render.frame_rate, c.rate) << c.stored;
        EXPECT_EQ(display_->period, c.period) << c.stored;
        EXPECT_EQ(Face().frame_rate, c.rate) << c.stored;
        EXPECT_EQ(g_DataBase.Get(dbo::brenDisplayRate), c.rate) << c.stored;
    }
    // The task runs at the new rate.
    g_DataBase.Set(dbo::brenDisplayRate, 5, 0);
    InThread([&] { display_->DescribeSign(); });
    Advance(150);
    const uint32_t runs = display_->runs;
    Advance(200);
    EXPECT_EQ(display_->runs - runs, 10u);
}

TEST_F(DisplayConfigurationTest, SignGeometryAndDimensions) {
    struct Geometry {
        uint32_t type, height, width, cellHeight, cellWidth;
        uint32_t storedHeight, storedWidth, characterHeight, characterWidth;
    };
    const Geometry geometries[] = {
        {6, 50, 100, 7, 5, 56, 100, 0, 0},
        {4, 50, 101, 7, 5, 56, 105, 7, 5},
        {5, 50, 101, 7, 5, 56, 105, 7, 0},
    };
    for (const Geometry& g : geometries) {
        g_DataBase.Set(dbo::dmsSignType, g.type, 0);
        InThread(
            [&] { CDisplay::SetSignGeometry(80, g.height, g.width, g.cellHeight, g.cellWidth); });
        EXPECT_EQ(g_DataBase.Get(dbo::vmsSignHeightPixels), g.storedHeight) << g.type;
        EXPECT_EQ(g_DataBase.Get(dbo::vmsSignWidthPixels), g.storedWidth) << g.type;
        EXPECT_EQ(g_DataBase.Get(dbo::vmsCharacterHeightPixels), g.characterHeight) << g.type;
        EXPECT_EQ(g_DataBase.Get(dbo::vmsCharacterWidthPixels), g.characterWidth) << g.type;
        EXPECT_EQ(g_DataBase.Get(dbo::brenModuleID), 80u);
    }

    struct Dimensions {
        uint32_t type, height, width, cellHeight, cellWidth, pitchH, pitchV;
        uint32_t vertical, horizontal, signWidth, signHeight;
    };
    const Dimensions dimensions[] = {
        {4, 14, 100, 7, 5, 34, 34, 305, 610, 5912, 1391},
        {5, 14, 100, 7, 0, 34, 44, 229, 610, 4620, 1303},
        {6, 16, 48, 0, 0, 34, 34, 305, 305, 2242, 1154},
        // No cell width: the gap count stays 2.
        {4, 14, 100, 7, 0, 34, 34, 305, 610, 4688, 1391},
        // Narrower than one character.
        {4, 14, 3, 7, 5, 34, 34, 305, 610, 1254, 1391},
    };
    for (const Dimensions& d : dimensions) {
        g_DataBase.Set(dbo::dmsSignType, d.type, 0);
        g_DataBase.Set(dbo::vmsSignHeightPixels, d.height, 0);
        g_DataBase.Set(dbo::vmsSignWidthPixels, d.width, 0);
        g_DataBase.Set(dbo::vmsCharacterHeightPixels, d.cellHeight, 0);
        g_DataBase.Set(dbo::vmsCharacterWidthPixels, d.cellWidth, 0);
        g_DataBase.Set(dbo::vmsHorizontalPitch, d.pitchH, 0);
        g_DataBase.Set(dbo::vmsVerticalPitch, d.pitchV, 0);
        InThread([] { CDisplay::ComputeSignDimensions(); });
        EXPECT_EQ(g_DataBase.Get(dbo::dmsVerticalBorder), d.vertical) << d.type;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsHorizontalBorder), d.horizontal) << d.type;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsSignWidth), d.signWidth) << d.type;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsSignHeight), d.signHeight) << d.type;
    }

    EXPECT_EQ(CDisplay::GetColourScheme(116), 3);
    EXPECT_EQ(CDisplay::GetColourScheme(21), 4);
    EXPECT_EQ(CDisplay::GetColourScheme(172), 4);
    EXPECT_EQ(CDisplay::GetColourScheme(999), 3);
}

// Levels of 0, 257 and 65535 over overlapping photocell ranges (hysteresis).
const uint8_t kThreeLevels[] = {3,  0x00, 0x00, 0x00, 1,    0x00, 100, 0x01, 0x01, 0x00,
                                90, 0x00, 200,  0xFF, 0xFF, 0x00, 190, 0xFF, 0xFF};

TEST_F(DisplayConfigurationTest, BrightnessByModeWithOverheatAndFloor) {
    InThread([] {
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, kThreeLevels, sizeof kThreeLevels,
                           kDbNotify);
    });
    Advance(10);
    ASSERT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), 2u);
    ASSERT_EQ(display_->BrightnessTable().Count(), 3u);
    struct Case {
        uint32_t mode, manual, overheat;
        uint32_t level, limitStatus, requested, lightOutput;
    };
    const Case cases[] = {
        {6, 3, 100, 255, 1, 255, 65535},  // table brightness 65535
        {6, 2, 100, 1, 1, 1, 257},        // 257
        {6, 1, 100, 1, 1, 0, 0},          // 0, sent as 1
        {6, 9, 100, 255, 1, 255, 65535},  // past the table: its last level
        {6, 0, 100, 1, 1, 0, 0},
        {6, 3, 50, 128, 2, 255, 32767},
        {4, 200, 50, 100, 2, 200, 25700},
        {5, 200, 100, 200, 1, 200, 51400},
        {4, 0, 100, 1, 1, 0, 257},
        {4, 200, 0, 1, 2, 200, 257},  // shut off by heat: the floor of 1
    };
    for (const Case& c : cases) {
        g_overheat = uint8_t(c.overheat);
        InThread([&] {
            g_DataBase.Set(dbo::dmsIllumControl, c.mode, kDbNotify);
            g_DataBase.Set(dbo::dmsIllumManLevel, c.manual, kDbNotify);
            display_->RequestBrightnessUpdate();
        });
        Advance(10);
        const std::string what = std::to_string(c.mode) + "/" + std::to_string(c.manual) + "/" +
                                 std::to_string(c.overheat);
        ASSERT_FALSE(driver_.levels.empty());
        EXPECT_EQ(driver_.levels.back(), c.level) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightLevelStatus), c.level) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::illumLimitStatus), c.limitStatus) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::illumRequestedLevel), c.requested) << what;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumLightOutputStatus), c.lightOutput) << what;
    }
    // The timer mode always sends 5.
    Write(dbo::dmsIllumControl, 3);
    EXPECT_EQ(driver_.levels.back(), 5u);
}

TEST_F(DisplayConfigurationTest, PhotocellLevelWithHysteresis) {
    InThread([] {
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, kThreeLevels, sizeof kThreeLevels,
                           kDbNotify);
        g_DataBase.Set(dbo::dmsIllumControl, 2, kDbNotify);
    });
    Advance(10);
    struct Step {
        uint32_t p, features;
        int level;  // -1: nothing sent
    };
    const Step steps[] = {
        {50, 0, 1},     {95, 0, -1},  {150, 0, 1}, {95, 0, -1},   {80, 0, 1},
        {5000, 0, 255}, {195, 0, -1}, {0, 0, 1},   {0, 0x1, 128}, {189, 0, 1},
    };
    for (const Step& s : steps) {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, s.features, 0);
        const size_t sent = driver_.levels.size();
        Write(dbo::dmsIllumPhotocellLevelStatus, s.p);
        if (s.level < 0) {
            EXPECT_EQ(driver_.levels.size(), sent) << s.p;
            continue;
        }
        ASSERT_EQ(driver_.levels.size(), sent + 1) << s.p;
        EXPECT_EQ(driver_.levels.back(), uint32_t(s.level)) << s.p;
        // The level in force is reported in the manual level object.
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumManLevel), uint32_t(s.level)) << s.p;
    }
}

TEST_F(DisplayConfigurationTest, InvalidStoredTableIsReplacedByTheDefault) {
    struct Case {
        std::vector<uint8_t> text;
        uint32_t features;
        uint32_t error, storedLength, levels;
    };
    const Case cases[] = {
        // up(0) = 248, down(1) = 250: photocellGap.
        {{2, 0x01, 0x01, 0x00, 1, 0x00, 248, 0x19, 0x64, 0x00, 250, 0x02, 0xC4}, 0, 3, 1489, 248},
        {{0}, 0x8, 6, 49, 253},
        {{3, 1, 2}, 0, 6, 1489, 248},
    };
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, c.features, 0);
        // Stored past the store's own check, as a restored image may hold it.
        InThread([&] {
            g_DataBase.SetText(dbo::dmsIllumBrightnessValues, c.text.data(),
                               uint32_t(c.text.size()), kDbNotify | kDbSkipValidation);
        });
        Advance(30);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), c.error);
        uint8_t stored[2000];
        EXPECT_EQ(g_DataBase.ReadString(dbo::dmsIllumBrightnessValues.id,
                                        dbo::dmsIllumBrightnessValues.image, stored, sizeof stored),
                  c.storedLength);
        EXPECT_EQ(display_->BrightnessTable().Count(), c.levels);
    }
    // Switching the default table's size writes the other default.
    Write(dbo::brenSpecialFeatureSet, 0x8);
    Advance(20);
    EXPECT_EQ(display_->BrightnessTable().Count(), 253u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), 2u);
}

TEST_F(DisplayConfigurationTest, ARefusedTableKeepsItsErrorThroughTheRecheck) {
    // Levels (0, 100) then (101, 200): valid, stored; the display's check of it runs later.
    const std::vector<uint8_t> valid = {2,    0x00, 0x10, 0x00, 0,    0x00, 100,
                                        0x00, 0x20, 0x00, 101,  0x00, 200};
    struct Case {
        std::vector<uint8_t> refused;
        uint32_t error;
    };
    const Case cases[] = {
        {{2, 0x00, 0x10, 0x00, 0, 0x00, 100, 0x00, 0x20, 0x00, 101, 0x00}, 6},       // 12 octets
        {{2, 0x00, 0x10, 0x00, 0, 0x00, 100, 0x00, 0x20, 0x00, 102, 0x00, 200}, 3},  // a gap
    };
    for (const Case& c : cases) {
        DbResult stored = kDbGenError;
        DbResult refused = kDbOk;
        InThread([&] {
            stored = g_DataBase.SetText(dbo::dmsIllumBrightnessValues, valid.data(),
                                        uint32_t(valid.size()), kDbNotify);
            refused = g_DataBase.SetText(dbo::dmsIllumBrightnessValues, c.refused.data(),
                                         uint32_t(c.refused.size()), kDbNotify);
        });
        ASSERT_EQ(stored, kDbOk);
        ASSERT_EQ(refused, kDbGenError);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), c.error);
        Advance(30);
        EXPECT_EQ(display_->BrightnessTable().Count(), 2u) << "the stored table is in force";
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), c.error)
            << "the recheck of the stored table hid the refusal";
        uint8_t text[2000];
        EXPECT_EQ(g_DataBase.ReadString(dbo::dmsIllumBrightnessValues.id,
                                        dbo::dmsIllumBrightnessValues.image, text, sizeof text),
                  valid.size());
    }
    // The next accepted write reports none again.
    const std::vector<uint8_t> other = {1, 0x00, 0x10, 0x00, 0, 0x00, 100};
    InThread([&] {
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, other.data(), uint32_t(other.size()),
                           kDbNotify);
    });
    Advance(30);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), 2u);
    EXPECT_EQ(display_->BrightnessTable().Count(), 1u);
}

bool g_litPixelPeripheral = false;

TEST_F(DisplayConfigurationTest, LitPixelLimit) {
    display_->litPixelPeripheralFlag = [] { return g_litPixelPeripheral; };
    struct Case {
        const char* what;
        uint32_t features, powerSource;
        bool peripheral;
        uint32_t rows;
        std::vector<uint32_t> thresholds, percents;
        uint32_t lit;  // of 768 pixels
        uint32_t cap;
    };
    const Case cases[] = {
        {"all lit, threshold 40", 0, 1, false, 1, {40}, {0}, 768, 102},
        {"half lit", 0, 1, false, 1, {40}, {0}, 384, 204},
        {"dark", 0, 1, false, 1, {40}, {0}, 0, 255},
        {"threshold 0", 0, 1, false, 1, {0}, {0}, 768, 2},
        {"table off mains", 0x200, 1, false, 3, {90, 60, 30}, {20, 50, 80}, 384, 255},
        {"table on battery", 0x200, 7, false, 3, {90, 60, 30}, {20, 50, 80}, 384, 127},
        {"table, peripheral flag", 0x200, 1, true, 3, {90, 60, 30}, {20, 50, 80}, 384, 127},
        {"no row above the lit share", 0x200, 7, false, 3, {90, 60, 30}, {20, 50, 80}, 768, 2},
        {"row count past the table",
         0x200,
         7,
         false,
         9,
         {90, 60, 30, 0, 0},
         {20, 50, 80, 0, 0},
         384,
         127},
    };
    for (const Case& c : cases) {
        g_DataBase.Set(dbo::brenSpecialFeatureSet, c.features, 0);
        g_DataBase.Set(dbo::powerSource, c.powerSource, kDbSkipValidation);
        g_DataBase.Set(dbo::litPixelRowCount, c.rows, kDbSkipValidation);
        for (uint32_t i = 0; i < c.thresholds.size(); ++i) {
            g_DataBase.Set(dbo::litPixelThreshold, c.thresholds[i], kDbSkipValidation, i);
            g_DataBase.Set(dbo::litPixelBrightness, c.percents[i], kDbSkipValidation, i);
        }
        g_litPixelPeripheral = c.peripheral;
        uint32_t cap = 0;
        InThread([&] {
            CSurface& surface = g_Render.Surface();
            surface.Fill(0);
            for (uint32_t i = 0; i < c.lit; ++i) {
                surface.SetPixel(int32_t(i % 48), int32_t(i / 48), 0xFFFFFFFFu);
            }
            cap = display_->ComputePixelPowerLimit(0);
        });
        EXPECT_EQ(cap, c.cap) << c.what;
    }
    g_litPixelPeripheral = false;
}

uint32_t g_stationAddress = 0;

TEST_F(DisplayConfigurationTest, SpecialFeatureAndStationAddressHandlers) {
    display_->setPmppAddressAll = [](uint32_t address) { g_stationAddress = address; };
    struct Case {
        uint32_t features;
        uint32_t permanentPriority;
        std::string community;
        uint32_t mask;
    };
    const Case cases[] = {
        {0x2, 50, "", 0},
        {0x20, 255, "tamsol", 0xFFFFFFFFu},
        {0x22, 50, "tamsol", 0xFFFFFFFFu},
        {0x0, 255, "tamsol", 0},
    };
    g_DataBase.SetText(dbo::communityNameUser, "", 0, kDbSkipValidation, 0);
    g_DataBase.Set(dbo::communityNameAccessMask, 0, kDbSkipValidation, 0);
    for (const Case& c : cases) {
        Write(dbo::brenSpecialFeatureSet, c.features);
        EXPECT_EQ(g_DataBase.GetInt(108, 1, DbImage::kVolatile), c.permanentPriority) << c.features;
        EXPECT_EQ(Text(dbo::communityNameUser, 0), c.community) << c.features;
        EXPECT_EQ(g_DataBase.Get(dbo::communityNameAccessMask, 0), c.mask) << c.features;
    }

    Write(dbo::brenhdlcAddress, 0x1234);
    EXPECT_EQ(g_stationAddress, 0x34u);
}

// Other tasks only ask: the level and the table change on the display task's next cycle.
TEST_F(DisplayConfigurationTest, RequestsFromOtherTasksAreServedByTheDisplayTask) {
    g_DataBase.Set(dbo::dmsIllumControl, 4, 0);
    g_DataBase.Set(dbo::dmsIllumManLevel, 200, 0);
    Write(dbo::dmsIllumManLevel, 200);
    ASSERT_EQ(driver_.levels.back(), 200u);
    const size_t sent = driver_.levels.size();
    g_overheat = 50;
    InThread([this] { display_->RequestBrightnessUpdate(); });
    EXPECT_EQ(driver_.levels.size(), sent);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightLevelStatus), 200u);
    Advance(10);
    EXPECT_EQ(driver_.levels.back(), 100u);
    EXPECT_EQ(g_DataBase.Get(dbo::illumLimitStatus), 2u);

    // A table replaced behind the display's back (as the factory defaults do) is checked again.
    const uint8_t invalid[] = {0x30};
    InThread([&] {
        g_DataBase.SetText(dbo::dmsIllumBrightnessValues, invalid, 1, kDbSkipValidation);
        display_->RequestBrightnessTableReload();
    });
    EXPECT_EQ(display_->BrightnessTable().Count(), 248u);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightnessValuesError), 6u);
    uint8_t stored[2000];
    EXPECT_EQ(g_DataBase.ReadString(dbo::dmsIllumBrightnessValues.id,
                                    dbo::dmsIllumBrightnessValues.image, stored, sizeof stored),
              1489u);
}

}  // namespace
