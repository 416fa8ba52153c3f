#pragma once
// Debug output of every module, printf-style. Each call formats into its own 200-byte buffer
// (longer text is cut at 199 characters) and goes, when the trace level lets it through, to the
// board console (standard output, or the sink a test installs) and to the console writer (the
// monitor task's telnet console).

#include <cstdarg>

// Always shown (trace level 0 and 1).
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shown only at trace level 1.
void DebugPrintLevel1(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints one character through DebugPrint; returns 0.
int DebugPutChar(int character);

constexpr unsigned kDebugTextSize = 200;

// Replaces the board console (standard output) with a capture; null restores it.
using DebugSink = void (*)(const char* text);
void DebugSetSink(DebugSink sink);
// Trace level (0 or 1); the monitor task's "vms -t" sets it.
void DebugSetTraceLevel(unsigned level);
unsigned DebugGetTraceLevel();
// Receiver of every text besides the board console, with its level; null: none.
using DebugConsoleWriter = void (*)(unsigned level, const char* text);
void DebugSetConsoleWriter(DebugConsoleWriter writer);
