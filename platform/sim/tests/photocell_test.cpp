// The board photocell: the level a test sets, or the number in the operator's file.
#include "platform/sim/photocell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

TEST(Photocell, LevelFromTheFile) {
    const std::filesystem::path path =
        std::filesystem::path(::testing::TempDir()) / ("photocell_" + std::to_string(::getpid()));
    struct Case {
        const char* text;  // null: no file
        uint16_t level;
    };
    // Each case starts from level 1234; what the file cannot give keeps it.
    const Case cases[] = {
        {"50\n", 50},     {"  800", 800},   {"0", 0},
        {"65535", 65535}, {"70000", 65535}, {"99999999999999999999999999999999999", 65535},
        {"-3", 1234},     {"dark", 1234},   {"", 1234},
        {nullptr, 1234},
    };
    sim::Photocell photocell;
    photocell.WatchFile(path.string());
    for (const Case& c : cases) {
        std::filesystem::remove(path);
        if (c.text != nullptr) {
            std::FILE* f = std::fopen(path.c_str(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs(c.text, f);
            std::fclose(f);
        }
        photocell.SetLevel(1234);
        EXPECT_EQ(photocell.Level(), c.level) << (c.text ? c.text : "(no file)");
    }
    std::filesystem::remove(path);
    photocell.WatchFile("");
    photocell.SetLevel(9);
    EXPECT_EQ(photocell.Level(), 9);
}

}  // namespace
