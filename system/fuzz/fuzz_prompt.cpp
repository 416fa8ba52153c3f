// Random keys into the console's line editor: line, history and escape handling stay in bounds.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "system/prompt.h"

namespace {
size_t g_executed = 0;
int Output(int) {
    return 0;
}
int Execute(const char* line, int) {
    g_executed += std::strlen(line);
    return 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPrompt prompt(&Output, &Execute);
    for (size_t i = 0; i < size; ++i) {
        prompt.FeedChar(data[i]);
        if (prompt.LineLength() > CPrompt::kLineSize ||
            prompt.HistoryCount() > CPrompt::kHistoryDepth) {
            __builtin_trap();
        }
    }
    return 0;
}
