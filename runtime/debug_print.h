#pragma once
// Debug output of every module: printf-style, one line per call.

#include <cstdarg>

// Always shown (trace level 0).
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shown only at trace level 1.
void DebugPrintLevel1(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Prints one character through DebugPrint; returns 0.
int DebugPutChar(int character);

// Where formatted debug text goes besides the console; tests install a capture.
using DebugSink = void (*)(const char* text);
void DebugSetSink(DebugSink sink);
// Current trace level (0 or 1).
void DebugSetTraceLevel(unsigned level);
unsigned DebugGetTraceLevel();
