#include "runtime/debug_print.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<DebugSink> g_sink{nullptr};
std::atomic<unsigned> g_traceLevel{0};

void Emit(unsigned level, const char* format, va_list args) {
    if (level > g_traceLevel.load()) {
        return;
    }
    char buffer[200];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    if (DebugSink sink = g_sink.load()) {
        sink(buffer);
    } else {
        std::fputs(buffer, stdout);
        std::fflush(stdout);
    }
}
}  // namespace

void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit(0, format, args);
    va_end(args);
}

void DebugPrintLevel1(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit(1, format, args);
    va_end(args);
}

int DebugPutChar(int character) {
    DebugPrint("%c", character);
    return 0;
}

void DebugSetSink(DebugSink sink) { g_sink.store(sink); }
void DebugSetTraceLevel(unsigned level) { g_traceLevel.store(level); }
unsigned DebugGetTraceLevel() { return g_traceLevel.load(); }
