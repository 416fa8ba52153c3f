// The simulated board decodes registers; battery-backed registers persist, can be lost, tick.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/sim/hw.h"
#include "platform/sim/nvram.h"
#include "platform/sim/rtc.h"

namespace {

class Dir {
public:
    Dir() {
        char tmpl[] = "/tmp/dms-sim-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~Dir() {
        ::unlink((path_ + "/nvram.bin").c_str());
        ::rmdir(path_.c_str());
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A device that records the accesses it sees.
class Probe : public hw::Device {
public:
    uint32_t Read(uint32_t offset, unsigned width) override {
        last = {offset, width};
        return 0x11223344u >> (8 * (4 - width));
    }
    void Write(uint32_t offset, unsigned width, uint32_t value) override {
        last = {offset, width};
        written = value;
    }
    std::pair<uint32_t, unsigned> last{};
    uint32_t written = 0;
};

class DcrProbe : public hw::DcrDevice {
public:
    uint32_t DcrRead(uint32_t reg) override { return reg * 2; }
    void DcrWrite(uint32_t reg, uint32_t value) override { writes.emplace_back(reg, value); }
    std::vector<std::pair<uint32_t, uint32_t>> writes;
};

TEST(Registry, DecodesToTheSmallestRegion) {
    Probe big, small;
    ASSERT_TRUE(hw::Register(0xEF600300, 8, &big));
    ASSERT_TRUE(hw::Register(0xEF600307, 1, &small));
    EXPECT_EQ(hw::Read8(0xEF600301), 0x11);
    EXPECT_EQ(big.last, (std::pair<uint32_t, unsigned>{1, 1}));
    hw::Write8(0xEF600307, 0x5A);
    EXPECT_EQ(small.written, 0x5Au);
    EXPECT_EQ(hw::Read16(0xEF600302), 0x1122);
    EXPECT_EQ(big.last, (std::pair<uint32_t, unsigned>{2, 2}));
    // An access that runs past a region's end is not the region's.
    uint32_t before = hw::UnmappedAccesses();
    EXPECT_EQ(hw::Read32(0xEF600306), 0xFFFFFFFFu);
    EXPECT_EQ(hw::UnmappedAccesses(), before + 1);
    hw::Unregister(&big);
    hw::Unregister(&small);
    EXPECT_EQ(hw::Read8(0xEF600301), 0xFF);
    EXPECT_FALSE(hw::Register(0xFFFFFFFF, 2, &big));
    EXPECT_FALSE(hw::Register(0x1000, 0, &big));
    EXPECT_FALSE(hw::Register(0x1000, 4, nullptr));

    DcrProbe dcr;
    ASSERT_TRUE(hw::RegisterDcr(0xC0, 8, &dcr));
    EXPECT_EQ(dcr_read(0xC6), 0x18Cu);
    dcr_write(0xC0, 0x3F0000);
    EXPECT_EQ(dcr.writes.size(), 1u);
    hw::UnregisterDcr(&dcr);
    EXPECT_EQ(dcr_read(0xC6), 0u);
}

TEST(Nvram, RegistersPersistAndTheBatteryCanBeLost) {
    Dir dir;
    {
        sim::Nvram n;
        ASSERT_TRUE(n.Open(dir.Path(), 3));
        n.Attach();
        EXPECT_EQ(hw::Read16(sim::kBoardIdReg) >> 9 & 0xF, 3) << "board id in bits 9-12";
        hw::Write8(0xF0100007, 0x44);
        hw::Write8(0xF0100005, 0x33);
        hw::Write8(0xF0100003, 0x22);
        hw::Write8(0xF0100001, 0x11);
        hw::Write8(sim::kBootCounterReg, 0x07);
        hw::Write8(sim::kBootFlagReg, 0x01);
        EXPECT_EQ(n.GlobalTime(), 0x11223344u);
        hw::Write16(sim::kBoardIdReg, 0);  // a strap: writes do nothing
        EXPECT_EQ(n.BoardId(), 3);
    }
    EXPECT_EQ(hw::Read8(sim::kBootFlagReg), 0xFF) << "detached with the NVRAM";
    {
        sim::Nvram n;
        ASSERT_TRUE(n.Open(dir.Path(), 5));
        EXPECT_EQ(n.GlobalTime(), 0x11223344u);
        EXPECT_EQ(n.BootCounterByte(), 0x07);
        EXPECT_EQ(n.BootFlag(), 0x01);
        EXPECT_EQ(n.BoardId(), 3) << "an existing board keeps its id";
    }
    ASSERT_TRUE(sim::Nvram::LoseBattery(dir.Path()));
    sim::Nvram n;
    ASSERT_TRUE(n.Open(dir.Path()));
    EXPECT_EQ(n.GlobalTime(), 0u);
    EXPECT_EQ(n.BootCounterByte(), 0);
    EXPECT_EQ(n.BootFlag(), 0);
    EXPECT_EQ(n.BoardId(), 3);
    EXPECT_TRUE(n.BatteryWasLost());
    EXPECT_FALSE(n.ClockValid());
}

// A damaged register file (wrong size, foreign contents) starts as a fresh board, never a crash
// or stale bytes read as registers.
TEST(Nvram, DamagedFileStartsFresh) {
    struct Case {
        const char* name;
        std::string contents;
    };
    const Case cases[] = {
        {"empty", ""},
        {"short", "NVRM\x01"},
        {"long", std::string("NVRM\x01", 5) + std::string(200, '\x55')},
        {"foreign", std::string(64, '\x55')},
        {"other version", std::string("NVRM\x07", 5) + std::string(59, '\x55')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dir dir;
        {
            FILE* f = std::fopen((dir.Path() + "/nvram.bin").c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fwrite(c.contents.data(), 1, c.contents.size(), f);
            std::fclose(f);
        }
        sim::Nvram n;
        ASSERT_TRUE(n.Open(dir.Path(), 6));
        EXPECT_EQ(n.GlobalTime(), 0u);
        EXPECT_EQ(n.BootCounterByte(), 0);
        EXPECT_EQ(n.BootFlag(), 0);
        EXPECT_EQ(n.BoardId(), 6);
        n.Attach();
        hw::Write8(sim::kBootFlagReg, 0x01);
        EXPECT_EQ(hw::Read8(sim::kBootFlagReg), 0x01);
    }
}

uint32_t g_ticks = 0;
int64_t g_host = 1700000000;

TEST(Rtc, FollowsTicksAndSurvivesPowerOff) {
    Dir dir;
    sim::Rtc::SetHostClock([] { return g_host; });
    {
        sim::Nvram n;
        ASSERT_TRUE(n.Open(dir.Path()));
        sim::Rtc rtc(&n);
        EXPECT_EQ(rtc.Now(), g_host) << "a new board starts at the host's time";
        rtc.SetTickSource([] { return g_ticks; });
        rtc.Set(1000000000);
        g_ticks += 100 * 3600;  // one stepped hour, no host time passes
        EXPECT_EQ(rtc.Now(), 1000000000 + 3600);
        g_ticks = 0xFFFFFFF0u;  // the tick counter wraps safely
        rtc.Set(2000000000);
        g_ticks += 0x20 + 99;
        EXPECT_EQ(rtc.Now(), 2000000001);
        rtc.Jump(-1);
        EXPECT_EQ(rtc.Now(), 2000000000);
    }
    g_host += 60;  // power off for a minute
    {
        sim::Nvram n;
        ASSERT_TRUE(n.Open(dir.Path()));
        sim::Rtc rtc(&n);
        EXPECT_EQ(rtc.Now(), 2000000060);
        n.LoseBattery();
    }
    sim::Nvram n;
    ASSERT_TRUE(n.Open(dir.Path()));
    sim::Rtc rtc(&n);
    EXPECT_EQ(rtc.Now(), sim::Rtc::kBatteryLostEpoch);
    sim::Rtc::SetHostClock(nullptr);
}

}  // namespace
