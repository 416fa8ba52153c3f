#pragma once
// A board directory under /tmp for one test, removed afterwards.

#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/monitor/monitor.h"

namespace monitor_test {

class TempBoard {
public:
    TempBoard() {
        char tmpl[] = "/tmp/dms-board-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~TempBoard() {
        ::nftw(
            dir_.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
            FTW_DEPTH | FTW_PHYS);
    }
    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // 256 KiB of flash: 64 blocks of 4 KiB.
    monitor::MonitorConfig Config(size_t flashSize = 256 * 1024) const {
        monitor::MonitorConfig c;
        c.boardDir = dir_;
        c.flashSize = flashSize;
        return c;
    }
    std::unique_ptr<monitor::Monitor> Boot(size_t flashSize = 256 * 1024) const {
        return Boot(Config(flashSize));
    }
    static std::unique_ptr<monitor::Monitor> Boot(const monitor::MonitorConfig& c) {
        auto m = std::make_unique<monitor::Monitor>(c);
        if (!m->Boot())
            return nullptr;
        return m;
    }

    std::vector<char> ReadFile(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }
    void WriteFile(const std::string& name, const std::vector<char>& bytes) const {
        std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }

private:
    std::string dir_;
};

inline std::string Contents(const TFILE* h) {
    if (h == nullptr)
        return "<none>";
    return std::string(reinterpret_cast<const char*>(h) + h->hdrsize, h->filsize);
}

}  // namespace monitor_test
