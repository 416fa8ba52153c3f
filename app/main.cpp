// The controller executable. Until the controller's start-up lands it boots the kernel with a
// demo of periodic tasks; SIGINT or SIGTERM stops it.

#include <cstdio>

#include "app/command_line.h"
#include "app/kernel_demo.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/signal_stop.h"

int main(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "dmsc: %s\n", line.error.c_str());
        std::fprintf(stderr, "usage: dmsc [--board-dir DIR] [--time-scale F]\n");
        return 2;
    }
    for (const auto& ignored : line.ignored) {
        std::fprintf(stderr, "dmsc: ignoring option %s\n", ignored.c_str());
    }

    std::printf("dmsc: board directory %s, time scale %g\n", line.board_dir.c_str(),
                line.time_scale);
    std::fflush(stdout);
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    options.time_scale = line.time_scale;
    {
        kernel::Kernel k(options);
        kernel::SignalStop stop_on_signal(k);
        k.Start(KernelDemoDefine);
        k.WaitForStop();
    }
    std::printf("dmsc: stopped\n");
    return 0;
}
