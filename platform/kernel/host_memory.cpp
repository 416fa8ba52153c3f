#include "platform/kernel/host_memory.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kernel {

namespace {
// Before main, so before any thread of the process can make an arena of its own.
[[maybe_unused]] const bool g_one_arena = [] {
    UseOneMallocArena();
    return true;
}();
}  // namespace

void UseOneMallocArena() {
    mallopt(M_ARENA_MAX, 1);
}

int MallocArenaCount() {
    char* text = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    if (out == nullptr) {
        return 0;
    }
    malloc_info(0, out);
    std::fclose(out);
    int count = 0;
    for (const char* p = text; (p = std::strstr(p, "<heap nr=")) != nullptr; ++p) {
        ++count;
    }
    std::free(text);
    return count;
}

std::size_t ResidentAnonymousKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return 0;
    }
    char line[256];
    std::size_t kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "RssAnon: %zu", &kib) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kib;
}

}  // namespace kernel
