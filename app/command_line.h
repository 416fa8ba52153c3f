#pragma once
// Command line of the controller executable.

#include <string>
#include <vector>

struct CommandLine {
    std::string board_dir = "var/board";
    double time_scale = 1.0;
    int port_offset = 0;                   // added to every protocol port
    bool allow_network = false;            // send to non-loopback destinations
    unsigned frame_ring = 0;               // sign frames kept as frames/NNNN.png besides latest.png
    std::string uart[2] = {"pty", "pty"};  // far ends of the UARTs: pty, tcp:PORT or none
    bool uart_unpaced = false;             // UART characters move at once, not at their baud
    std::vector<std::string> ignored;      // options this build does not know
    std::string error;                     // set when the line cannot be used
};

// Accepts --board-dir DIR, --time-scale F, --port-offset N, --frame-ring N, --uart0 END,
// --uart1 END (also as --name=value), --allow-network and --uart-unpaced. Unknown options are kept
// in `ignored` with the value that follows them, if any.
CommandLine ParseCommandLine(int argc, const char* const* argv);
