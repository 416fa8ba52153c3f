#include "runtime/debug_print.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/kernel/kernel.h"

namespace {
std::atomic<DebugSink> g_sink{nullptr};
std::atomic<DebugConsoleWriter> g_writer{nullptr};
std::atomic<unsigned> g_traceLevel{0};

void Emit(unsigned level, const char* format, va_list args) {
    if (level > g_traceLevel.load()) {
        return;
    }
    // Per call: callers on several threads never share a buffer.
    char text[kDebugTextSize];
    if (std::vsnprintf(text, sizeof text, format, args) < 0) {
        return;
    }
    if (DebugSink sink = g_sink.load()) {
        sink(text);
    } else {
        host_console_write(text, std::strlen(text));
    }
    if (DebugConsoleWriter writer = g_writer.load()) {
        writer(level, text);
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

void DebugSetSink(DebugSink sink) {
    g_sink.store(sink);
}
void DebugSetTraceLevel(unsigned level) {
    g_traceLevel.store(level);
}
unsigned DebugGetTraceLevel() {
    return g_traceLevel.load();
}
void DebugSetConsoleWriter(DebugConsoleWriter writer) {
    g_writer.store(writer);
}
