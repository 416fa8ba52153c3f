// Runs arbitrary command lines through the monitor's interpreter (the
// telnet console hands it what a technician types).

#include <cstdint>
#include <string>

#include "platform/monitor/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static monitor::Console console;
    static bool init = [] {
        console.SetPutChar([](int c) { return c; });
        console.AddBuiltin("echo", [](int argc, char* argv[]) {
            for (int i = 0; i < argc; ++i) {
                if (argv[i] == nullptr)
                    __builtin_trap();
            }
            return argv[argc] == nullptr ? 0 : -1;
        });
        return true;
    }();
    (void)init;
    std::string line(reinterpret_cast<const char*>(data), size);
    console.Execute(line.c_str());
    std::string echo = "echo " + line;
    console.Execute(echo.c_str());
    monitor::WildcardMatch(line.c_str(), "Bitmaps/a.bmp");
    monitor::WildcardMatch("*.bmp", line.c_str());
    return 0;
}
