// Display tests on the sign's frames: colour timing, bars, illumination save and restore, the
// brightness some patterns drive; and the front panel's preview beside the running sign.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/tests/display_test_fixture.h"

namespace {

using display_test::DisplayTest;
using display_test::kHeight;
using display_test::kWidth;

class TestPatternTest : public DisplayTest {
protected:
    // displayTestMode written with notification: the display task's handler runs.
    void Select(uint8_t pattern) {
        InThread([&] {
            g_DataBase.Set(dbo::displayTestMode, pattern, 0);
            display_->OnDisplayTestMode();
        });
    }
    // Runs of equal first-pixel colours of the frames sent from `from` on, e.g. "1F:30 3E0:30".
    std::string ColourRuns(size_t from, size_t runs) {
        std::string out;
        const auto& f = driver_.firstPixel;
        for (size_t i = from; i < f.size() && runs > 0; --runs) {
            size_t j = i;
            while (j < f.size() && f[j] == f[i]) {
                ++j;
            }
            char text[32];
            std::snprintf(text, sizeof text, "%s%X:%zu", out.empty() ? "" : " ", f[i], j - i);
            out += text;
            i = j;
        }
        return out;
    }
    static uint32_t At(const std::vector<uint32_t>& frame, uint32_t x, uint32_t y) {
        return frame.at(y * kWidth + x);
    }
};

TEST_F(TestPatternTest, ColourFillsStepEveryThreeSeconds) {
    g_DataBase.Set(dbo::dmsIllumControl, 3, 0);
    g_DataBase.Set(dbo::dmsIllumManLevel, 40, 0);
    driver_.brightness.clear();
    Select(2);
    const size_t from = driver_.frames.size();
    Advance(10 * 160);
    // The frame of the selecting cycle was drawn before; then red, green, blue and dark for 30
    // cycles each, then red again.
    EXPECT_EQ(ColourRuns(from, 6), "0:1 1F:30 3E0:30 7C00:30 0:30 1F:30");
    // The pattern lights the sign at full scale under manual control.
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumControl), 4u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumManLevel), 255u);
    ASSERT_FALSE(driver_.brightness.empty());
    EXPECT_EQ(driver_.brightness.front(),
              255u * g_DataBase.Get(dbo::brenIllumBrightnessScaler) / 100);
    // The end of the test gives the illumination back and shows the message again.
    Select(1);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumControl), 3u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumManLevel), 40u);
    EXPECT_EQ(display_->FrameState() >= CDisplay::kBlankState, true);
}

TEST_F(TestPatternTest, SwitchingPatternsRestoresTheIlluminationOnce) {
    struct Case {
        uint8_t first, second;
        uint32_t levelDuringFirst;
    };
    for (const Case& c : {Case{8, 18, 255}, Case{12, 18, 25}, Case{15, 2, 255}}) {
        g_DataBase.Set(dbo::dmsIllumControl, 3, 0);
        g_DataBase.Set(dbo::dmsIllumManLevel, 77, 0);
        Select(c.first);
        Advance(10);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumManLevel), c.levelDuringFirst) << int(c.first);
        Select(c.second);
        Advance(10);
        if (c.second == 2) {  // saves again, the values from before the first pattern
            Select(1);
            Advance(10);
        }
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumControl), 3u) << int(c.first);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumManLevel), 77u) << int(c.first);
        Select(1);
        Advance(10);
    }
}

TEST_F(TestPatternTest, ColumnBarsMoveAndChangeColour) {
    Select(3);
    const size_t from = driver_.frames.size() + 1;  // after the selecting cycle
    Advance(10 * 260);
    ASSERT_GE(driver_.frames.size(), from + 250);
    // Colours red, green, blue every 10 cycles at one place; the bars move every 30 cycles and
    // start again at column 0 after column 7.
    const uint32_t colours[] = {0x1F, 0x3E0, 0x7C00};
    for (size_t i = 0; i < 250; ++i) {
        const auto& frame = driver_.frames[from + i];
        const uint32_t column = uint32_t(i / 30 % 8);
        const uint32_t colour = colours[i / 10 % 3];
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t expected = x % 8 == column ? colour : 0;
            for (uint32_t y : {0u, kHeight - 1}) {
                ASSERT_EQ(At(frame, x, y), expected) << "cycle " << i << " x " << x;
            }
        }
    }
}

TEST_F(TestPatternTest, BrightnessRampAndDarkPatterns) {
    driver_.brightness.clear();
    Select(25);
    Advance(10);
    // The first call lit the sign at full scale, then sent step 0.
    EXPECT_EQ(driver_.brightness, (std::vector<uint32_t>{255, 0}));
    driver_.brightness.clear();
    Advance(10 * 40);
    // One step every four calls.
    ASSERT_EQ(driver_.brightness.size(), 40u);
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(driver_.brightness[i], (i + 3) / 4) << i;
    }
    for (uint8_t dark : {24, 29, 33}) {
        Select(dark);
        const size_t from = driver_.frames.size() + 1;  // after the selecting cycle
        Advance(10 * 5);
        for (size_t i = from; i < driver_.frames.size(); ++i) {
            for (uint32_t colour : driver_.frames[i]) {
                ASSERT_EQ(colour, 0u) << int(dark);
            }
        }
    }
}

TEST_F(TestPatternTest, PreviewLeavesTheSignFrameForFrame) {
    StoreMessage(1, "[pt20o5][flt3o2]WORK[/fl]ZONE", 7);
    InThread([] { display_process_message_table(); });
    Activate(Code(3, 1, uint16_t(g_DataBase.Get(dbo::dmsMessageCRC, 0))));
    ASSERT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 2u);
    Advance(10 * 7);

    // The sign's frames over 50 cycles (two page periods) alone, then the same phase with a preview
    // in between every cycle.
    const size_t alone = driver_.frames.size();
    Advance(10 * 50);
    CSurface panel;
    CMessage preview(&panel);
    std::vector<std::vector<uint32_t>> pages;
    const std::string text = "[jp3]LEFT[np][jp3]RIGHT";
    uint8_t count = 0;
    for (int cycle = 0; cycle < 50; ++cycle) {
        InThread([&] {
            count = display_->CountMessagePages(text.data(), uint32_t(text.size()));
            for (uint32_t page = 1; page <= 2; ++page) {
                ASSERT_TRUE(display_->RenderPreviewPage(&panel, nullptr, text.data(),
                                                        uint32_t(text.size()), page, &preview));
                if (cycle == 0) {
                    std::vector<uint32_t> picture;
                    for (int32_t y = 0; y < panel.Height(); ++y) {
                        for (int32_t x = 0; x < panel.Width(); ++x) {
                            picture.push_back(panel.GetPixel(x, y) >> 16);
                        }
                    }
                    pages.push_back(std::move(picture));
                }
            }
        });
        Advance(10);
    }
    EXPECT_EQ(count, 2);
    ASSERT_EQ(driver_.frames.size(), alone + 100);
    for (size_t i = 0; i < 50; ++i) {
        ASSERT_EQ(driver_.frames[alone + 50 + i], driver_.frames[alone + i]) << i;
    }
    // The two pages are drawn, differ from each other and from what the sign shows.
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_NE(pages[0], std::vector<uint32_t>(pages[0].size(), 0));
    for (size_t i = 0; i < 50; ++i) {
        EXPECT_NE(driver_.frames[alone + i], pages[0]);
    }
}

}  // namespace
