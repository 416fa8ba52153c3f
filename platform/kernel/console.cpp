// The board console on the host: standard output, or a capture installed by a test.

#include <cstdio>
#include <mutex>

#include "platform/kernel/kernel.h"

namespace {
std::mutex g_console_mutex;
kernel::ConsoleCapture g_capture;
}  // namespace

namespace kernel {

void SetConsoleCapture(ConsoleCapture capture) {
    std::lock_guard<std::mutex> guard(g_console_mutex);
    g_capture = std::move(capture);
}

}  // namespace kernel

void host_console_write(const char* data, std::size_t length) {
    if (data == nullptr || length == 0) {
        return;
    }
    std::lock_guard<std::mutex> guard(g_console_mutex);
    if (g_capture) {
        g_capture(std::string_view(data, length));
        return;
    }
    std::fwrite(data, 1, length, stdout);
    std::fflush(stdout);
}
