#include "platform/sim/nvram.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace sim {
namespace {

constexpr size_t kFileSize = 64;
constexpr size_t kOffVersion = 4;
constexpr size_t kOffBattery = 5;
constexpr size_t kOffRegs = 8;
constexpr size_t kOffScratch = 24;
constexpr size_t kOffClock = 32;
constexpr size_t kOffClockValid = 40;
constexpr size_t kOffBoardId = 48;

void Format(uint8_t* p, uint8_t boardId) {
    std::memset(p, 0, kFileSize);
    std::memcpy(p, "NVRM", 4);
    p[kOffVersion] = 1;
    p[kOffBattery] = 1;
    p[kOffClockValid] = 1;
    p[kOffBoardId] = boardId & 0xF;
}

bool Valid(const uint8_t* p) {
    return std::memcmp(p, "NVRM", 4) == 0 && p[kOffVersion] == 1;
}

}  // namespace

class Nvram::Regs : public hw::Device {
public:
    explicit Regs(Nvram* n) : n_(n) {}
    uint32_t Read(uint32_t offset, unsigned width) override {
        uint32_t v = 0;
        for (unsigned i = 0; i < width; ++i) {
            v = (v << 8) | n_->Reg(offset + i);
        }
        return v;
    }
    void Write(uint32_t offset, unsigned width, uint32_t value) override {
        for (unsigned i = 0; i < width; ++i) {
            n_->SetReg(offset + i, uint8_t(value >> (8 * (width - 1 - i))));
        }
    }

private:
    Nvram* n_;
};

class Nvram::Scratch : public hw::Device {
public:
    explicit Scratch(Nvram* n) : n_(n) {}
    uint32_t Read(uint32_t, unsigned) override { return n_->BootFlag(); }
    void Write(uint32_t, unsigned, uint32_t value) override { n_->SetBootFlag(uint8_t(value)); }

private:
    Nvram* n_;
};

class Nvram::BoardIdReg : public hw::Device {
public:
    explicit BoardIdReg(Nvram* n) : n_(n) {}
    uint32_t Read(uint32_t, unsigned) override { return uint32_t(n_->BoardId()) << 9; }
    void Write(uint32_t, unsigned, uint32_t) override {}  // read-only strap

private:
    Nvram* n_;
};

Nvram::~Nvram() {
    Close();
}

bool Nvram::Open(const std::string& boardDir, uint8_t boardIdIfNew) {
    Close();
    std::string path = boardDir + "/nvram.bin";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool fresh = ::fstat(fd, &st) != 0 || st.st_size != off_t(kFileSize);
    if (fresh && ::ftruncate(fd, kFileSize) != 0) {
        ::close(fd);
        return false;
    }
    void* p = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
        return false;
    }
    data_ = static_cast<uint8_t*>(p);
    if (fresh || !Valid(data_)) {
        Format(data_, boardIdIfNew);
    }
    return true;
}

void Nvram::Close() {
    Detach();
    if (data_ != nullptr) {
        ::munmap(data_, kFileSize);
        data_ = nullptr;
    }
}

void Nvram::Attach() {
    if (data_ == nullptr || regs_ != nullptr) {
        return;
    }
    regs_ = new Regs(this);
    scratch_ = new Scratch(this);
    boardId_ = new BoardIdReg(this);
    hw::Register(kBatteryRegsBase, 16, regs_);
    hw::Register(kBootFlagReg, 1, scratch_);
    hw::Register(kBoardIdReg, 2, boardId_);
}

void Nvram::Detach() {
    if (regs_ == nullptr) {
        return;
    }
    hw::Unregister(regs_);
    hw::Unregister(scratch_);
    hw::Unregister(boardId_);
    delete regs_;
    delete scratch_;
    delete boardId_;
    regs_ = nullptr;
    scratch_ = nullptr;
    boardId_ = nullptr;
}

uint8_t Nvram::Reg(unsigned index) const {
    return (data_ != nullptr && index < 16) ? data_[kOffRegs + index] : 0;
}

void Nvram::SetReg(unsigned index, uint8_t value) {
    if (data_ != nullptr && index < 16) {
        data_[kOffRegs + index] = value;
    }
}

uint32_t Nvram::GlobalTime() const {
    return uint32_t(Reg(1)) << 24 | uint32_t(Reg(3)) << 16 | uint32_t(Reg(5)) << 8 | Reg(7);
}

void Nvram::SetGlobalTime(uint32_t seconds) {
    SetReg(7, uint8_t(seconds));
    SetReg(5, uint8_t(seconds >> 8));
    SetReg(3, uint8_t(seconds >> 16));
    SetReg(1, uint8_t(seconds >> 24));
}

uint8_t Nvram::BootFlag() const {
    return data_ ? data_[kOffScratch] : 0;
}
void Nvram::SetBootFlag(uint8_t value) {
    if (data_)
        data_[kOffScratch] = value;
}
uint8_t Nvram::BoardId() const {
    return data_ ? data_[kOffBoardId] & 0xF : kDefaultBoardId;
}
void Nvram::SetBoardId(uint8_t id) {
    if (data_)
        data_[kOffBoardId] = id & 0xF;
}

int64_t Nvram::ClockOffset() const {
    int64_t v = 0;
    if (data_)
        std::memcpy(&v, data_ + kOffClock, sizeof v);
    return v;
}

bool Nvram::ClockValid() const {
    return data_ && data_[kOffClockValid] == 1;
}

void Nvram::SetClockOffset(int64_t offset) {
    if (data_) {
        std::memcpy(data_ + kOffClock, &offset, sizeof offset);
        data_[kOffClockValid] = 1;
    }
}

bool Nvram::BatteryWasLost() const {
    return data_ && data_[kOffBattery] == 0;
}
void Nvram::MarkBatteryGood() {
    if (data_)
        data_[kOffBattery] = 1;
}

void Nvram::LoseBattery() {
    if (data_ == nullptr) {
        return;
    }
    std::memset(data_ + kOffRegs, 0, 16);
    data_[kOffScratch] = 0;
    std::memset(data_ + kOffClock, 0, 8);
    data_[kOffClockValid] = 0;
    data_[kOffBattery] = 0;
}

bool Nvram::LoseBattery(const std::string& boardDir) {
    Nvram n;
    if (!n.Open(boardDir)) {
        return false;
    }
    n.LoseBattery();
    return true;
}

}  // namespace sim
