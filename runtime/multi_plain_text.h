#pragma once
// One-line plain-text preview of a MULTI message (front panel).

#include <cstddef>

// Always zero-terminates out (when size > 0); at most size - 1 characters.
void MultiToPlainText(const char* text, char* out, size_t size);
