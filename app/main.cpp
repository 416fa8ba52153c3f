// The controller executable: the board console on standard output; SIGINT or SIGTERM stops it.

#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdio>

#include "app/board.h"
#include "app/command_line.h"

namespace {

sigset_t g_stopSignals;

void PollStop(std::atomic<bool>& stop) {
    const timespec wait{0, 200'000'000};
    const int signal = sigtimedwait(&g_stopSignals, nullptr, &wait);
    if (signal == SIGINT || signal == SIGTERM) {
        stop.store(true);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "dmsc: %s\n", line.error.c_str());
        std::fprintf(stderr,
                     "usage: dmsc [--board-dir DIR] [--port-offset N] [--allow-network] "
                     "[--time-scale F] [--frame-ring N]\n"
                     "            [--uart0 pty|tcp:PORT|none] [--uart1 pty|tcp:PORT|none] "
                     "[--uart-unpaced]\n");
        return 2;
    }
    for (const auto& ignored : line.ignored) {
        std::fprintf(stderr, "dmsc: ignoring option %s\n", ignored.c_str());
    }
    // Signals are taken by this thread only; kernel threads inherit the mask.
    sigemptyset(&g_stopSignals);
    sigaddset(&g_stopSignals, SIGINT);
    sigaddset(&g_stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &g_stopSignals, nullptr);

    std::atomic<bool> stop{false};
    const BoardEnd end = RunBoard(line, argc, argv, stop, &PollStop);
    std::fflush(stdout);
    return end == BoardEnd::kStopped ? 0 : 1;
}
