// Classic colour numbers map to 24-bit colours, with the own table of the two-colour modules.
#include "database/multi_colour24.h"

#include <gtest/gtest.h>

TEST(MultiColour24, ClassicAndTwoColourTables) {
    struct Case {
        uint32_t number, classic, twoColour;
    };
    const Case cases[] = {
        {0, 0x000000, 0},        {1, 0x0000F8, 0x0000F8}, {2, 0x00C0F8, 0}, {3, 0x00F800, 0},
        {4, 0xC0C000, 0},        {5, 0xF80000, 0},        {6, 0xC000C0, 0}, {7, 0xFFFFFF, 0},
        {8, 0x0060F8, 0x00FFFF}, {9, 0x00D9FF, 0x00FF00}, {10, 0, 0},       {0xFFFFFFFF, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(multi_colour_to_rgb24(c.number, 116), c.classic) << c.number;
        for (uint32_t module : {11u, 12u, 98u, 99u, 100u, 101u}) {
            EXPECT_EQ(multi_colour_to_rgb24(c.number, module), c.twoColour) << c.number;
        }
    }
    EXPECT_FALSE(multi_is_two_colour_module(0));
    EXPECT_EQ(multi_rgb24_to_rgb15(0xFFFFFF), 0x7FFFu);
    EXPECT_EQ(multi_rgb24_to_rgb15(0x0000F8), 0x001Fu) << "red in bits 0-4";
    EXPECT_EQ(multi_rgb24_to_rgb15(0xF80000), 0x7C00u) << "blue in bits 10-14";
}
