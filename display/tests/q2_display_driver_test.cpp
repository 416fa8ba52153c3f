// The sign driver: EPLD programming and its failures, frames byte-exact at the sign, brightness,
// DMA time-out, and the module-type table.
#include "display/q2_display_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/module_type.h"
#include "display/tests/sign_fixture.h"
#include "platform/monitor/mon.h"
#include "render/surface.h"

namespace {

using sign_test::DebugText;
using sign_test::SignFixture;

constexpr char kOk[] = " - Programming EPLD\t\t\t\t\t[ OK ]\n";
constexpr char kFail[] = " - Programming EPLD\t\t\t\t\t[FAIL]\n\terror programming epld\n";
constexpr char kInflateFail[] = " - Programming EPLD\t\t\t\t\t[FAIL]\n\tuncompress rbf failure\n";

std::string ModuleText(const DbObject& object) {
    uint32_t length = 0;
    const char* text = g_DataBase.GetText(object, &length, 2);
    return std::string(text, length);
}

TEST(Q2DisplayDriver, InitLoadsTheEpldOnceAndRecordsIt) {
    SignFixture board;
    board.Run([&] {
        CQ2DisplayDriver driver;
        EXPECT_EQ(driver.ModuleTypeId(), 0xFFFFFFFFu);
        const uint32_t syncs = board.Monitor().ServiceCalls(MON_SERVICE_SYNC);
        ASSERT_TRUE(driver.Init(16, 80, 116));
        EXPECT_EQ(DebugText(), kOk);
        EXPECT_EQ(g_EpldReady, 1);
        EXPECT_EQ(board.Sign().GetEpld().Loads(), 1u);
        EXPECT_EQ(board.Monitor().ServiceCalls(MON_SERVICE_SYNC), syncs + 1);
        EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kHeight), 16);
        EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kWidth), 80);
        EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kStatus), 0xFF);
        EXPECT_EQ(driver.ColourPlanes(), 3);
        const TFILE* file = mon_tfsstat("PX40689.RBF");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->filsize, 444027u);
        EXPECT_EQ(ModuleText(dbo::moduleModel), "PX40689 - EPLD");
        EXPECT_EQ(ModuleText(dbo::moduleMake), "Brennovask, Inc.");
        EXPECT_EQ(ModuleText(dbo::moduleVersion), "12");

        // The same type again: no reload, and a new geometry still reaches the EPLD.
        DebugText().clear();
        ASSERT_TRUE(driver.Init(24, 48, 116));
        EXPECT_EQ(DebugText(), kOk);
        EXPECT_EQ(board.Sign().GetEpld().Loads(), 1u);
        EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kHeight), 24);
        EXPECT_EQ(driver.GetHeight(), 24u);
        EXPECT_EQ(driver.GetWidth(), 48u);
        EXPECT_EQ(driver.GetMaxFrameRate(), 10u);
        EXPECT_STREQ(driver.GetName(), "DEFAULT");
    });
}

TEST(Q2DisplayDriver, FailedLoadsAndOtherTypes) {
    struct Case {
        const char* name;
        bool loadedBefore;  // a good load of 116 first
        uint32_t id;
        uint32_t height, width;
        bool monitorLoads;
        bool result;
        const char* line;
        uint8_t ready;
    };
    const Case cases[] = {
        {"unknown type, nothing loaded", false, 115, 16, 80, true, false, kFail, 0},
        {"unknown type keeps the old EPLD", true, 115, 16, 80, true, true, kOk, 1},
        {"monitor load fails", false, 116, 16, 80, false, false, kFail, 0},
        {"frame beyond the DMA buffer", false, 116, 256, 400, true, false, kFail, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignFixture board;
        board.Run([&] {
            CQ2DisplayDriver driver;
            if (c.loadedBefore) {
                ASSERT_TRUE(driver.Init(16, 80, 116));
                DebugText().clear();
            }
            board.loadWorks = c.monitorLoads;
            EXPECT_EQ(driver.Init(c.height, c.width, c.id), c.result);
            EXPECT_EQ(DebugText(), c.line);
            EXPECT_EQ(g_EpldReady, c.ready);
            EXPECT_EQ(driver.EpldLoaded(), c.ready);
            // Without a loaded EPLD no frame leaves.
            CSurface surface;
            surface.Allocate(16, 80, 15);
            driver.WriteFrame(&surface, 0, 0);
            EXPECT_EQ(board.Sign().Dma().Started(), c.ready);
        });
    }
}

TEST(Q2DisplayDriver, InflateFailureKeepsTheTypeForARetry) {
    SignFixture board;
    static const unsigned char kBroken[] = {0x78, 0x9C, 0x01, 0x02, 0x03};
    ModuleTypeDescriptor broken = FindModuleType(116);
    broken.epld_image = kBroken;
    broken.image_length = sizeof kBroken;
    board.Run([&] {
        CQ2DisplayDriver driver;
        g_ModuleTypeTable = &broken;
        g_ModuleTypeCount = 1;
        EXPECT_FALSE(driver.Init(16, 80, 116));
        EXPECT_EQ(DebugText(), kInflateFail);
        EXPECT_EQ(driver.ModuleTypeId(), 0xFFFFFFFFu);
        EXPECT_EQ(mon_tfsstat("PX40689.RBF"), nullptr);
        // With the built-in image the same type is loaded, not taken as done.
        InstallModuleTypeTable();
        DebugText().clear();
        EXPECT_TRUE(driver.Init(16, 80, 116));
        EXPECT_EQ(DebugText(), kOk);
        EXPECT_EQ(driver.ModuleTypeId(), 116u);
    });
}

TEST(Q2DisplayDriver, FramesReachTheSignByteExact) {
    SignFixture board;
    board.Run([&] {
        CQ2DisplayDriver driver;
        ASSERT_TRUE(driver.Init(16, 80, 116));
        CSurface surface;
        ASSERT_NE(surface.Allocate(16, 80, 15), nullptr);
        surface.SetPixel(0, 0, 0x7FFF);
        surface.SetPixel(1, 0, 0x0421);
        surface.SetPixel(2, 0, 0x001F);    // red
        surface.SetPixel(79, 15, 0x7C00);  // blue
        const uint32_t strobes = board.Sign().Strobes();
        const uint32_t dmaSyncs = board.Monitor().ServiceCalls(MON_SERVICE_DMA_SYNC);
        EXPECT_EQ(driver.WriteFrame(&surface, 0, 0), 0);
        EXPECT_EQ(board.Sign().Dma().Register(sim::DmaController::kCount), 960u);
        EXPECT_EQ(board.Sign().Dma().Register(sim::DmaController::kControl), 0x8B8827E0u);
        EXPECT_EQ(board.Sign().Strobes(), strobes + 1);
        EXPECT_EQ(board.Monitor().ServiceCalls(MON_SERVICE_DMA_SYNC), dmaSyncs + 1);
        const sim::SinkFrame frame = board.Sign().Sink().Latest();
        ASSERT_EQ(frame.pixels.size(), 3840u);
        const std::vector<uint8_t> first(frame.pixels.begin(), frame.pixels.begin() + 12);
        EXPECT_EQ(first, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x08, 0x08, 0x08, 0x00, 0x00, 0xFF,
                                               0x00, 0x00, 0x00}));
        const std::vector<uint8_t> last(frame.pixels.end() - 3, frame.pixels.end());
        EXPECT_EQ(last, (std::vector<uint8_t>{0xFF, 0x00, 0x00}));
        // A surface of another size is packed within its bounds; the rest is dark.
        CSurface small;
        ASSERT_NE(small.Allocate(8, 8, 15), nullptr);
        small.SetPixel(7, 7, 0x7FFF);
        driver.WriteFrame(&small, 0, 0);
        const sim::SinkFrame packed = board.Sign().Sink().Latest();
        EXPECT_EQ(packed.pixels[(7 * 80 + 7) * 3], 0xFF);
        EXPECT_EQ(packed.pixels[(7 * 80 + 8) * 3], 0x00);
        EXPECT_EQ(driver.WriteFrame(nullptr, 0, 0), 0);
        EXPECT_EQ(board.Sign().Dma().Started(), 2u);
    });
}

TEST(Q2DisplayDriver, BrightnessPercentages) {
    SignFixture board;
    board.Run([&] {
        CQ2DisplayDriver driver;
        ASSERT_TRUE(driver.Init(16, 80, 116));
        const struct {
            uint32_t level;
            uint16_t percent;
        } cases[] = {{0, 1}, {2, 1}, {3, 1}, {128, 50}, {255, 100}};
        for (const auto& c : cases) {
            driver.SetBrightness(c.level);
            EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kBrightness), c.percent)
                << c.level;
            EXPECT_EQ(driver.GetBrightness(), c.level);
        }
        driver.SetBrightnessCeiling([]() -> uint32_t { return 51; });
        driver.SetBrightness(255);
        EXPECT_EQ(driver.GetBrightness(), 51u);
        EXPECT_EQ(board.Sign().GetEpld().Register(sim::Epld::kBrightness), 20);
    });
}

TEST(Q2DisplayDriver, StalledDmaTimesOutAndTheNextFrameStillGoes) {
    SignFixture board;
    board.Run([&] {
        CQ2DisplayDriver driver;
        ASSERT_TRUE(driver.Init(16, 80, 116));
        CSurface surface;
        surface.Allocate(16, 80, 15);
        board.Sign().Dma().SetCompletion(sim::DmaCompletion::kNever);
        DebugText().clear();
        driver.WriteFrame(&surface, 0, 0);
        EXPECT_EQ(DebugText(), "");
        driver.WriteFrame(&surface, 0, 0);
        EXPECT_EQ(DebugText(), "DMA XFER TIMEOUT\n");
        EXPECT_EQ(board.Sign().Dma().Started(), 2u);
        // A transfer done after some polls is waited for without a complaint.
        board.Sign().Dma().SetCompletion(sim::DmaCompletion::kAfterPolls, 50);
        driver.WriteFrame(&surface, 0, 0);  // still behind the stalled one
        DebugText().clear();
        driver.WriteFrame(&surface, 0, 0);
        EXPECT_EQ(DebugText(), "");
        EXPECT_EQ(board.Sign().Dma().Completed(), 2u);
        board.Sign().GetEpld().SetMemoryMap(2);
        driver.WriteFrame(&surface, 0, 0);
        EXPECT_NE(DebugText().find("unsupported mem map, defaulting to zero\n"), std::string::npos);
    });
}

TEST(ModuleTypeTable, UnknownIdsGiveTheDefaultRow) {
    InstallModuleTypeTable();
    const ModuleTypeDescriptor& sign = FindModuleType(116);
    EXPECT_STREQ(sign.name, "RDLS-34MM RGB");
    EXPECT_EQ(sign.bits_per_pixel, 15);
    for (const ModuleTypeDescriptor* row : {&FindModuleType(115), &FindModuleType(nullptr, 5, 116),
                                            &FindModuleType(g_ModuleTypeTable, 0, 116)}) {
        EXPECT_STREQ(row->name, "UNKNOWN");
        EXPECT_EQ(row->module_height, 7);
        EXPECT_EQ(row->module_width, 5);
        EXPECT_EQ(row->bits_per_pixel, 1);
    }
}

}  // namespace
