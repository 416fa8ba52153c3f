#include "platform/monitor/flash.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace monitor {

bool FaultPlan::Parse(const std::string& text, FaultPlan* out) {
    FaultPlan plan;
    bool haveCut = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(pos, end - pos);
        std::string key = item.substr(0, item.find('='));
        std::string value = item.find('=') == std::string::npos ? "" : item.substr(key.size() + 1);
        char* stop = nullptr;
        unsigned long long n = value.empty() ? 0 : std::strtoull(value.c_str(), &stop, 0);
        bool numeric = !value.empty() && stop != nullptr && *stop == '\0' && value[0] != '-';
        if (key == "cut" && numeric && n > 0) {
            plan.cutAfter = n;
            haveCut = true;
        } else if (key == "erase" && numeric && n > 0) {
            plan.cutInErase = n;
            haveCut = true;
        } else if (key == "tear" && (value.empty() || (numeric && n <= 1))) {
            plan.tear = value.empty() || n == 1;
        } else if (key == "seed" && numeric && n <= 0xFFFFFFFFull) {
            plan.seed = uint32_t(n);
        } else {
            return false;
        }
        pos = end + 1;
    }
    if (!haveCut) {
        return false;
    }
    *out = plan;
    return true;
}

Flash::~Flash() {
    Close();
}

size_t Flash::BlockSizeFor(size_t flashSize) {
    size_t block = 4096;
    while (block * 256 < flashSize) {
        block *= 2;
    }
    return block;
}

namespace {
// Writes an erased flash of size bytes under a temporary name and links it
// into place, so a process killed meanwhile never leaves a short flash.
bool CreateErased(const std::string& path, size_t size) {
    std::string tmp = path + ".new." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    std::vector<uint8_t> erased(1 << 16, 0xFF);
    for (size_t done = 0; done < size;) {
        size_t n = std::min(erased.size(), size - done);
        if (::pwrite(fd, erased.data(), n, off_t(done)) != ssize_t(n)) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += n;
    }
    ::close(fd);
    // link() does not replace a flash another process made meanwhile; an
    // empty file left by older code is replaced.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size == 0)
        ::unlink(path.c_str());
    bool made = ::link(tmp.c_str(), path.c_str()) == 0 || errno == EEXIST;
    ::unlink(tmp.c_str());
    return made;
}
}  // namespace

bool Flash::Open(const std::string& path, size_t newSize) {
    Close();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_size == 0) {
        size_t block = BlockSizeFor(newSize);
        if (newSize % block != 0 || newSize / block < 8 || !CreateErased(path, newSize)) {
            return false;
        }
    }
    int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) {
        return false;
    }
    // One user of a board's flash at a time (a controller, or flashdump).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    size_t size = size_t(st.st_size);
    size_t block = BlockSizeFor(size);
    if (size % block != 0 || size / block < 8) {
        ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    base_ = static_cast<uint8_t*>(p);
    size_ = size;
    block_ = block;
    fd_ = fd;
    programmed_ = 0;
    erases_ = 0;
    frozen_ = false;
    plan_ = FaultPlan{};
    return true;
}

void Flash::Close() {
    if (base_ != nullptr) {
        ::munmap(base_, size_);
        base_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
}

void Flash::SetFaultPlan(const FaultPlan& plan) {
    plan_ = plan;
    programmed_ = 0;
    erases_ = 0;
    rng_ = (uint64_t(plan.seed) << 1) | 1;
}

uint32_t Flash::Random() {
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 7;
    rng_ ^= rng_ << 17;
    return uint32_t(rng_ >> 24);
}

void Flash::Freeze() {
    // Same address, now copy-on-write: pointers handed out stay valid.
    void* p = ::mmap(base_, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd_, 0);
    if (p == MAP_FAILED) {
        std::abort();  // the simulated board cannot go on without its flash
    }
    frozen_ = true;
}

bool Flash::Program(size_t offset, const void* data, size_t len) {
    if (base_ == nullptr || offset > size_ || len > size_ - offset) {
        return false;
    }
    const uint8_t* src = static_cast<const uint8_t*>(data);
    if (frozen_ || plan_.cutAfter == 0 || programmed_ + len < plan_.cutAfter) {
        for (size_t i = 0; i < len; ++i) {
            base_[offset + i] &= src[i];
        }
        programmed_ += len;
        return true;
    }
    size_t before = size_t(plan_.cutAfter - programmed_ - 1);
    for (size_t i = 0; i < before; ++i) {
        base_[offset + i] &= src[i];
    }
    uint8_t& cut = base_[offset + before];
    uint8_t intended = cut & src[before];
    if (plan_.tear) {
        uint8_t clearing = cut & ~src[before];
        cut = cut & ~(clearing & uint8_t(Random()));
    } else {
        cut = intended;
    }
    Freeze();
    cut = intended;
    for (size_t i = before + 1; i < len; ++i) {
        base_[offset + i] &= src[i];
    }
    programmed_ += len;
    return true;
}

bool Flash::Erase(size_t block) {
    if (base_ == nullptr || block >= Blocks()) {
        return false;
    }
    uint8_t* start = base_ + block * block_;
    ++erases_;
    if (!frozen_ && erases_ == plan_.cutInErase) {
        // The power goes while the block is erased: only a leading part of it
        // reaches 0xFF.
        std::memset(start, 0xFF, 1 + Random() % (block_ - 1));
        Freeze();
    }
    std::memset(start, 0xFF, block_);
    return true;
}

}  // namespace monitor
