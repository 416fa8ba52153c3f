// Command line of dmsc: known options in both spellings, unknown ones set aside, bad values
// refused.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* label;
    std::vector<const char*> args;
    std::string board_dir;
    double time_scale;
    std::vector<std::string> ignored;
    bool error;
    int port_offset = 0;
    bool allow_network = false;
};

class CommandLineCases : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineCases, Parse) {
    const Case& c = GetParam();
    std::vector<const char*> argv{"dmsc"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const CommandLine line = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(!line.error.empty(), c.error) << line.error;
    if (!c.error) {
        EXPECT_EQ(line.board_dir, c.board_dir);
        EXPECT_DOUBLE_EQ(line.time_scale, c.time_scale);
        EXPECT_EQ(line.ignored, c.ignored);
        EXPECT_EQ(line.port_offset, c.port_offset);
        EXPECT_EQ(line.allow_network, c.allow_network);
    }
}

INSTANTIATE_TEST_SUITE_P(
    App, CommandLineCases,
    ::testing::Values(
        Case{"defaults", {}, "var/board", 1.0, {}, false},
        Case{"separate_values",
             {"--board-dir", "/tmp/b", "--time-scale", "10"},
             "/tmp/b",
             10.0,
             {},
             false},
        Case{"joined_values", {"--board-dir=x", "--time-scale=0.5"}, "x", 0.5, {}, false},
        Case{"unknown_with_value",
             {"--future", "5", "--flag", "--board-dir", "d"},
             "d",
             1.0,
             {"--future 5", "--flag"},
             false},
        Case{"network_options",
             {"--port-offset", "10000", "--allow-network"},
             "var/board",
             1.0,
             {},
             false,
             10000,
             true},
        Case{"port_offset_out_of_range", {"--port-offset=60001"}, "", 0, {}, true},
        Case{"unknown_joined", {"--future=1"}, "var/board", 1.0, {"--future=1"}, false},
        Case{"missing_value", {"--board-dir"}, "", 0, {}, true},
        Case{"empty_dir", {"--board-dir="}, "", 0, {}, true},
        Case{"scale_not_a_number", {"--time-scale", "fast"}, "", 0, {}, true},
        Case{"scale_zero", {"--time-scale", "0"}, "", 0, {}, true},
        Case{"scale_negative", {"--time-scale=-2"}, "", 0, {}, true},
        Case{"scale_trailing_text", {"--time-scale", "2x"}, "", 0, {}, true},
        Case{"scale_infinite", {"--time-scale", "inf"}, "", 0, {}, true},
        Case{"scale_tiny", {"--time-scale", "1e-300"}, "", 0, {}, true},
        Case{"scale_huge", {"--time-scale=1000"}, "", 0, {}, true},
        Case{"scale_lowest", {"--time-scale", "0.01"}, "var/board", 0.01, {}, false},
        Case{"scale_highest", {"--time-scale", "100"}, "var/board", 100.0, {}, false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
