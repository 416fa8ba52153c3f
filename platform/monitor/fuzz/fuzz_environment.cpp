// Loads an arbitrary environment file from a board directory.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/monitor/environment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string dir = [] {
        char tmpl[] = "/tmp/fuzz_env_XXXXXX";
        return std::string(::mkdtemp(tmpl));
    }();
    std::string path = dir + "/environment";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    monitor::Environment env;
    env.Load(dir);
    for (const auto& [name, value] : env.All()) {
        const char* v = env.Get(name);
        if (v == nullptr || value != v)
            __builtin_trap();
    }
    env.Set("IPADD", "127.0.0.1");
    return 0;
}
