#include "platform/kernel/host_memory.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kernel {

namespace {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Before main, so before any thread of the process can make an arena of its own.
[[maybe_unused]] const bool g_one_arena = [] {
    SetUpHostHeap();
    return true;
}();
}  // namespace

void SetUpHostHeap() {
    mallopt(M_ARENA_MAX, 1);
    // A fixed threshold: freeing a large block would otherwise raise it, and the blocks of the
    // next boots below it would stay in the heap, never trimmed.
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
}

bool UnderSanitizer() {
    return kSanitized;
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
