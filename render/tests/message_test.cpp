// A message resets, loads its defaults and keeps its indexes and text within bounds.
#include "render/message.h"

#include <gtest/gtest.h>

#include "render/multi_colour.h"
#include "render/tests/fake_multi_environment.h"

namespace {

using namespace multi_objects;

class MessageTest : public ::testing::Test {
protected:
    FakeMultiEnvironment env;
};

TEST_F(MessageTest, FreshMessage) {
    env.Set(kDefaultJustificationLine, 4);
    env.Set(kDefaultJustificationPage, 2);
    CMessage m;
    EXPECT_EQ(m.text_length, 0u);
    EXPECT_EQ(m.TextLength(), 0u);
    EXPECT_EQ(m.next_page_start, 0u);
    EXPECT_EQ(m.current_page_start, 0u);
    EXPECT_EQ(m.foreground_colour, 0x7FE0u);
    EXPECT_EQ(m.character_background_colour, kNoColour);
    EXPECT_EQ(m.character_spacing, -1);
    EXPECT_EQ(m.target_surface, nullptr);
    EXPECT_EQ(m.element_kind, kElementNone);
    for (uint32_t r = 0; r < CMessage::kRectangles; ++r) {
        EXPECT_EQ(m.line_justification[r], 4);
        EXPECT_EQ(m.page_justification[r], 2);
        EXPECT_EQ(m.page_justification_given[r], 0);
    }
    EXPECT_EQ(m.line_cells[11][19].character_spacing, -1);
    EXPECT_EQ(m.moving_texts[19].offset, kMovingTextNotStarted);
}

TEST_F(MessageTest, ResetKeepsOrRestartsFlashRegions) {
    const struct {
        uint32_t flags;
        bool flash_kept;
        bool largest_spacing_cleared;
    } cases[] = {{0, false, false}, {1, true, true}, {3, true, false}, {2, false, false}};
    for (const auto& c : cases) {
        CMessage m;
        m.flash_regions[4] = flash_region{kFlashShowing, 7};
        m.current_flash_region = 5;
        line_cell& cell = m.line_cells[2][3];
        cell.largest_font_line_spacing = 9;
        cell.line_spacing = 5;
        cell.height = 14;
        cell.characters.assign(3, 'A');
        m.moving_texts[2].offset = 17;
        m.current_line = 3;
        m.error_position = 44;
        m.element_kind = kElementText;
        m.foreground_colour = 1;

        m.Reset(c.flags);
        EXPECT_EQ(m.flash_regions[4].phase, c.flash_kept ? kFlashShowing : kFlashNotStarted)
            << c.flags;
        EXPECT_EQ(m.current_flash_region, c.flash_kept ? 5u : 0u);
        EXPECT_EQ(cell.largest_font_line_spacing, c.largest_spacing_cleared ? 0 : 9) << c.flags;
        EXPECT_EQ(cell.line_spacing, 0);
        EXPECT_EQ(cell.height, 0);
        EXPECT_TRUE(cell.characters.empty());
        EXPECT_EQ(m.moving_texts[2].offset, kMovingTextNotStarted);
        EXPECT_EQ(m.current_line, 0u);
        EXPECT_EQ(m.error_position, 0u);
        EXPECT_EQ(m.element_kind, kElementNone);
        EXPECT_EQ(m.foreground_colour, 0x7FE0u);
    }
}

TEST_F(MessageTest, DefaultsLoadConvertsColours) {
    env.Set(kDefaultForegroundColor, 2);
    env.Set(kDefaultBackgroundColor, 5);
    env.Set(kDefaultFlashOn, 7);
    env.Set(kDefaultPageOffTime, 4);
    message_defaults d;
    d.Load();
    EXPECT_EQ(d.foreground_number, 2);
    EXPECT_EQ(d.foreground_colour, 0x031Fu);
    EXPECT_EQ(d.background_colour, 0x7C00u);
    EXPECT_EQ(d.page_background_colour, 0x7C00u);
    EXPECT_EQ(d.flash_on_time, 7);
    EXPECT_EQ(d.page_off_time, 4);
    EXPECT_EQ(d.font, 1);
}

TEST_F(MessageTest, WorkingDefaultsFromCacheUntilReloaded) {
    CMessage m;
    m.defaults.Load();
    env.Set(kDefaultFont, 2);
    m.LoadWorkingDefaults();
    EXPECT_EQ(m.current_font, 1);
    EXPECT_EQ(m.foreground_colour, multi_colour_to_rgb15(9));
    EXPECT_EQ(m.character_background_colour, 0u);
    EXPECT_EQ(m.page_on_time, 30);
    m.defaults.Load();
    m.LoadWorkingDefaults();
    EXPECT_EQ(m.current_font, 2);

    env.Set(kSpecialFeatureSet, kFeatureDatabaseDefaults);
    env.Set(kDefaultFont, 3);
    env.Set(kDefaultBackgroundColor, 4);
    env.Set(kDefaultJustificationLine, 5);
    m.flash_mode = 2;
    m.LoadWorkingDefaults();
    EXPECT_EQ(m.current_font, 3);
    EXPECT_EQ(m.character_background_colour, 0x6300u);
    EXPECT_EQ(m.page_background_colour, 0x6300u);
    EXPECT_EQ(m.line_justification[0], 5);
    EXPECT_EQ(m.flash_mode, 2);  // not a default
}

TEST_F(MessageTest, TextLengthNeverPassesTheBuffer) {
    CMessage m;
    m.text_length = 2501;
    EXPECT_EQ(m.TextLength(), CMessage::kTextSize);
    m.text_length = 12;
    EXPECT_EQ(m.TextLength(), 12u);
}

TEST_F(MessageTest, CurrentLineClampsItsIndexes) {
    CMessage m;
    m.current_text_rectangle = 40;
    m.current_line = 20;
    EXPECT_EQ(&m.CurrentLine(), &m.line_cells[11][19]);
}

TEST(MultiColour, ClassicTable) {
    const uint32_t expected[] = {0,      0x001F, 0x031F, 0x03E0, 0x6300,
                                 0x7C00, 0x6018, 0x7FFF, 0x019F, 0x037F};
    for (uint32_t n = 0; n < 10; ++n) {
        EXPECT_EQ(multi_colour_to_rgb15(n), expected[n]) << n;
    }
    EXPECT_EQ(multi_colour_to_rgb15(10), 0u);
    EXPECT_EQ(multi_colour_to_rgb15(0xFFFFFFFF), 0u);
    EXPECT_EQ(multi_rgb_to_rgb15(255, 128, 0), 0x021Fu);
    EXPECT_EQ(multi_rgb_to_rgb15(255, 255, 255), 0x7FFFu);
}

}  // namespace
