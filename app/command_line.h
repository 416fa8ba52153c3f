#pragma once
// Command line of the controller executable.

#include <string>
#include <vector>

struct CommandLine {
    std::string board_dir = "var/board";
    double time_scale = 1.0;
    std::vector<std::string> ignored;  // options this build does not know yet
    std::string error;                 // set when the line cannot be used
};

// Accepts --board-dir DIR, --time-scale F (also as --name=value). Unknown options are kept in
// `ignored` with the value that follows them, if any.
CommandLine ParseCommandLine(int argc, const char* const* argv);
