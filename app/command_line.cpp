#include "app/command_line.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

#include "platform/sim/serial_ports.h"

namespace {

// The range in which the real-time kernel keeps up with the board; outside it a run ends in
// restarts and worse.
constexpr double kMinTimeScale = 0.01;
constexpr double kMaxTimeScale = 100;

bool ParseScale(const std::string& text, double* scale) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(value) ||
        value < kMinTimeScale || value > kMaxTimeScale) {
        return false;
    }
    *scale = value;
    return true;
}

bool ParseOffset(const std::string& text, int* offset) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || value < 0 || value > 60000) {
        return false;
    }
    *offset = int(value);
    return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string name(arg);
        std::string value;
        bool has_value = false;
        if (const auto eq = arg.find('=');
            arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
            name = std::string(arg.substr(0, eq));
            value = std::string(arg.substr(eq + 1));
            has_value = true;
        }
        if (name == "--allow-network" && !has_value) {
            line.allow_network = true;
            continue;
        }
        if (name == "--uart-unpaced" && !has_value) {
            line.uart_unpaced = true;
            continue;
        }
        const bool known = name == "--board-dir" || name == "--time-scale" ||
                           name == "--port-offset" || name == "--frame-ring" || name == "--uart0" ||
                           name == "--uart1";
        if (known && !has_value) {
            if (i + 1 >= argc) {
                line.error = name + " needs a value";
                return line;
            }
            value = argv[++i];
        }
        if (name == "--board-dir") {
            if (value.empty()) {
                line.error = "--board-dir needs a directory";
                return line;
            }
            line.board_dir = value;
        } else if (name == "--time-scale") {
            if (!ParseScale(value, &line.time_scale)) {
                line.error =
                    "--time-scale needs a positive number from 0.01 to 100, not '" + value + "'";
                return line;
            }
        } else if (name == "--port-offset") {
            if (!ParseOffset(value, &line.port_offset)) {
                line.error = "--port-offset needs a number from 0 to 60000, not '" + value + "'";
                return line;
            }
        } else if (name == "--frame-ring") {
            int ring = 0;
            if (!ParseOffset(value, &ring) || ring > 1000) {
                line.error = "--frame-ring needs a number from 0 to 1000, not '" + value + "'";
                return line;
            }
            line.frame_ring = unsigned(ring);
        } else if (name == "--uart0" || name == "--uart1") {
            sim::UartEndSpec spec;
            if (!sim::ParseUartEndSpec(value, &spec)) {
                line.error = name + " needs pty, none or tcp:PORT, not '" + value + "'";
                return line;
            }
            line.uart[name == "--uart0" ? 0 : 1] = value;
        } else {
            std::string ignored(arg);
            if (!has_value && i + 1 < argc && argv[i + 1][0] != '-') {
                ignored += " ";
                ignored += argv[++i];
            }
            line.ignored.push_back(ignored);
        }
    }
    return line;
}
