// The brightness table: the stored text checked and loaded, the refinement of a short table,
// the two default tables and the level chosen for a photocell reading with hysteresis.
#include "display/brightness_table.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

struct Level {
    uint16_t brightness, down, up;
};

std::vector<uint8_t> Text(std::initializer_list<Level> levels) {
    std::vector<uint8_t> out{uint8_t(levels.size())};
    for (const Level& l : levels) {
        for (uint16_t v : {l.brightness, l.down, l.up}) {
            out.push_back(uint8_t(v >> 8));
            out.push_back(uint8_t(v));
        }
    }
    return out;
}

// n levels, each one reading range wide and adjacent to the next.
std::vector<uint8_t> Evenly(uint32_t n) {
    std::vector<uint8_t> out{uint8_t(n)};
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t values[3] = {i * 65535 / (n - 1), i * 10 + 1, i * 10 + 10};
        for (uint32_t v : values) {
            out.push_back(uint8_t(v >> 8));
            out.push_back(uint8_t(v));
        }
    }
    return out;
}

TEST(BrightnessTable, CheckAndRefinement) {
    std::vector<uint8_t> shortLength = Evenly(3);
    shortLength.pop_back();
    struct Case {
        const char* what;
        std::vector<uint8_t> text;
        uint32_t maxPhotocell;
        uint32_t error;
        uint32_t levels;  // after refinement
    };
    const Case cases[] = {
        {"8-level default, 49 octets", CBrightnessTable::DefaultText(true), 65535, 2, 253},
        {"16 levels fill the table", Evenly(16), 65535, 2, 256},
        {"7 levels stay", Evenly(7), 65535, 2, 7},
        {"128 levels stay", Evenly(128), 65535, 2, 128},
        {"248-level default", CBrightnessTable::DefaultText(false), 65535, 2, 248},
        {"gap between up 248 and down 250", Text({{257, 1, 248}, {6500, 250, 708}}), 65535, 3, 0},
        {"down above the sensors' maximum", Text({{257, 1, 248}, {6500, 240, 300}}), 280, 6, 0},
        {"up below down", Text({{257, 10, 5}}), 65535, 6, 0},
        {"zero levels", {0}, 65535, 6, 0},
        {"length is not 6n + 1", shortLength, 65535, 6, 0},
        {"empty text", {}, 65535, 6, 0},
        {"levels going back down", Text({{257, 1, 100}, {6500, 101, 200}, {9000, 50, 300}}), 65535,
         6, 0},
    };
    for (const Case& c : cases) {
        CBrightnessTable table;
        EXPECT_EQ(table.Load(c.text.data(), uint32_t(c.text.size()), c.maxPhotocell), c.error)
            << c.what;
        table.Refine();
        EXPECT_EQ(table.Count(), c.levels) << c.what;
    }
}

TEST(BrightnessTable, RefinedEightLevelsInterpolateBetweenTheStoredOnes) {
    const std::vector<uint8_t> text = CBrightnessTable::DefaultText(true);
    ASSERT_EQ(text.size(), 49u);
    CBrightnessTable table;
    ASSERT_EQ(table.Load(text.data(), 49, 65535), 2u);
    table.Refine();
    ASSERT_EQ(table.Count(), 253u);
    struct Expect {
        uint32_t index;
        uint16_t brightness, down, up;
    };
    // Stored levels land on every 36th entry; between them steps of (difference / 36).
    const Expect expect[] = {
        {0, 257, 1, 6},       {1, 430, 7, 13},      {18, 3378, 124, 130},
        {35, 6326, 241, 247}, {36, 6500, 248, 259}, {252, 65535, 4709, 65535},
    };
    for (const Expect& e : expect) {
        EXPECT_EQ(table.At(e.index).brightness, e.brightness) << e.index;
        EXPECT_EQ(table.At(e.index).down, e.down) << e.index;
        EXPECT_EQ(table.At(e.index).up, e.up) << e.index;
    }
}

TEST(BrightnessTable, DefaultTableOf248Levels) {
    const std::vector<uint8_t> text = CBrightnessTable::DefaultText(false);
    ASSERT_EQ(text.size(), 1489u);
    CBrightnessTable table;
    ASSERT_EQ(table.Load(text.data(), uint32_t(text.size()), 65535), 2u);
    const Level expect[] = {{264, 1, 1},         {528, 2, 2},         {792, 3, 3},
                            {1057, 4, 4},        {64741, 4761, 4780}, {65005, 4781, 4800},
                            {65269, 4801, 4820}, {65535, 4821, 65535}};
    const uint32_t index[] = {0, 1, 2, 3, 244, 245, 246, 247};
    for (uint32_t k = 0; k < 8; ++k) {
        const CBrightnessTable::Entry& e = table.At(index[k]);
        EXPECT_EQ(e.brightness, expect[k].brightness) << index[k];
        EXPECT_EQ(e.down, expect[k].down) << index[k];
        EXPECT_EQ(e.up, expect[k].up) << index[k];
    }
}

TEST(BrightnessTable, AnInvalidTextKeepsTheLoadedTable) {
    CBrightnessTable table;
    const std::vector<uint8_t> good = Evenly(3);
    ASSERT_EQ(table.Load(good.data(), uint32_t(good.size()), 65535), 2u);
    const std::vector<uint8_t> bad = Text({{1, 5, 1}});
    EXPECT_EQ(table.Load(bad.data(), uint32_t(bad.size()), 65535), 6u);
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(table.At(2).brightness, 65535);
}

TEST(BrightnessTable, PhotocellHysteresis) {
    // Overlapping ranges: a level stays in force while down <= p <= up.
    const std::vector<uint8_t> text = Text({{6500, 1, 100}, {32767, 90, 200}, {65535, 190, 65535}});
    CBrightnessTable table;
    ASSERT_EQ(table.Load(text.data(), uint32_t(text.size()), 65535), 2u);
    struct Step {
        uint32_t p;
        bool chosen;
        uint32_t index;
    };
    const Step steps[] = {
        {50, true, 0},    // after a restart the level is chosen even inside its range
        {95, false, 0},   // inside level 1
        {150, true, 1},   // above level 1: up to level 2
        {95, false, 1},   // inside level 2's range (down 90)
        {80, true, 0},    // below level 2: down to level 1
        {5000, true, 2},  // to the top
        {195, false, 2},  // still inside the top level
        {189, true, 1},
    };
    table.Restart();
    for (const Step& s : steps) {
        uint32_t brightness = 0;
        EXPECT_EQ(table.SelectForPhotocell(s.p, &brightness), s.chosen) << s.p;
        EXPECT_EQ(table.Index(), s.index) << s.p;
        if (s.chosen) {
            EXPECT_EQ(brightness, table.At(s.index).brightness) << s.p;
        }
    }
}

TEST(BrightnessTable, NoTableChoosesNothing) {
    CBrightnessTable table;
    uint32_t brightness = 7;
    EXPECT_FALSE(table.SelectForPhotocell(100, &brightness));
    EXPECT_EQ(brightness, 7u);
}

}  // namespace
