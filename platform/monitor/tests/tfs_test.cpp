// The flash file system keeps, replaces and walks files across reboots and compacts at boot.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <set>

#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"

using monitor_test::Contents;
using monitor_test::TempBoard;

namespace {

class TfsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ = board_.Boot();
        ASSERT_NE(m_, nullptr);
    }
    void Reboot() {
        m_.reset();
        m_ = board_.Boot();
        ASSERT_NE(m_, nullptr);
    }
    TempBoard board_;
    std::unique_ptr<monitor::Monitor> m_;
};

TEST_F(TfsTest, StatGivesHeaderWithDataBehindIt) {
    ASSERT_EQ(mon_tfsadd("CONFIG.XML", "cfg", "e", "<xml/>", 6), TFS_OKAY);
    const TFILE* h = mon_tfsstat("CONFIG.XML");
    ASSERT_NE(h, nullptr);
    uint16_t hdrlen;
    uint32_t size;
    std::memcpy(&hdrlen, h, 2);
    std::memcpy(&size, reinterpret_cast<const char*>(h) + 4, 4);
    EXPECT_EQ(hdrlen, h->hdrsize);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h) + hdrlen, size), "<xml/>");
    EXPECT_STREQ(h->info, "cfg");
    EXPECT_EQ(h->flags, uint32_t(TFS_EXEC));
    EXPECT_EQ(mon_tfsstat("config.xml"), nullptr);
    EXPECT_EQ(mon_tfsstat("missing"), nullptr);
}

TEST_F(TfsTest, AddRefusesBadArguments) {
    std::string longName(200, 'n');
    std::string maxName(199, 'n');
    struct Case {
        const char* name;
        const char* info;
        const char* flags;
        const void* data;
        long size;
        int result;
    } cases[] = {
        {nullptr, "", "", "x", 1, TFSERR_BADARG},
        {"", "", "", "x", 1, TFSERR_BADARG},
        {longName.c_str(), "", "", "x", 1, TFSERR_NAMETOOBIG},
        {maxName.c_str(), "", "", "x", 1, TFS_OKAY},
        {"a", "", "z", "x", 1, TFSERR_BADFLAG},
        {"a", "", "", nullptr, 5, TFSERR_BADARG},
        {"a", "", "", "x", -1, TFSERR_BADARG},
        {"a", "this info text is far too long for the header", "", "x", 1, TFSERR_BADARG},
        {"a", nullptr, nullptr, nullptr, 0, TFS_OKAY},
        {"b", "", "i", nullptr, 64, TFS_OKAY},
        {"c", "", "ebEilpcv", "x", 1, TFS_OKAY},
        {"big", "", "", "x", 1L << 20, TFSERR_FLASHFULL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mon_tfsadd(c.name, c.info, c.flags, c.data, c.size), c.result)
            << (c.name ? c.name : "(null)") << " flags " << (c.flags ? c.flags : "(null)");
    }
    EXPECT_EQ(mon_tfsstat("c")->flags, uint32_t(TFS_EXEC | TFS_EBIN | TFS_QRYBRUN | TFS_BRUN |
                                                TFS_IPMOD | TFS_CPRS | TFS_UNREAD | TFS_PROTECTED));
}

TEST_F(TfsTest, StatPointerStaysValidWhileOtherFilesChange) {
    ASSERT_EQ(mon_tfsadd("keep", "", "", "kept data", 9), TFS_OKAY);
    ASSERT_EQ(mon_tfsadd("other", "", "", "first", 5), TFS_OKAY);
    const TFILE* keep = mon_tfsstat("keep");
    const TFILE* oldOther = mon_tfsstat("other");
    for (int i = 0; i < 50; ++i) {
        std::string data = "generation " + std::to_string(i);
        ASSERT_EQ(mon_tfsadd("other", "", "", data.data(), long(data.size())), TFS_OKAY);
    }
    ASSERT_EQ(mon_tfsunlink("other"), TFS_OKAY);
    EXPECT_EQ(mon_tfsstat("keep"), keep);
    EXPECT_EQ(Contents(keep), "kept data");
    // A replaced copy stays readable where it was.
    EXPECT_EQ(Contents(oldOther), "first");
    EXPECT_EQ(mon_tfsstat("other"), nullptr);
}

TEST_F(TfsTest, ReplaceKeepsOneCopyAcrossReboot) {
    ASSERT_EQ(mon_tfsadd("f", "", "", "old", 3), TFS_OKAY);
    long avail = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    ASSERT_EQ(mon_tfsadd("f", "", "", "new!", 4), TFS_OKAY);
    EXPECT_EQ(Contents(mon_tfsstat("f")), "new!");
    EXPECT_LT(mon_tfsctrl(TFS_AVAILABLE, 0, 0), avail);
    EXPECT_EQ(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 272 + 8);
    EXPECT_EQ(mon_tfsctrl(TFS_DEVSTATE, reinterpret_cast<long>("//SF/"), 0), 1);
    Reboot();
    EXPECT_EQ(Contents(mon_tfsstat("f")), "new!");
    EXPECT_EQ(m_->GetTfs().FileCount(), 1u);
    EXPECT_EQ(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 272 + 8);
}

TEST_F(TfsTest, IpmodOnlyClearsBits) {
    ASSERT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 4096), TFS_OKAY);
    const TFILE* h = mon_tfsstat("nv1.dat");
    const uint8_t* data = reinterpret_cast<const uint8_t*>(h) + h->hdrsize;
    EXPECT_TRUE(std::all_of(data, data + 4096, [](uint8_t b) { return b == 0xFF; }));

    EXPECT_EQ(mon_tfsipmod("nv1.dat", "\x7E\x00\x07", 14, 3), TFS_OKAY);
    EXPECT_EQ(data[14], 0x7E);
    EXPECT_EQ(data[16], 0x07);
    // ">" over "~" clears one bit: allowed. "~" over ">" would set it again.
    EXPECT_EQ(mon_tfsipmod("nv1.dat", ">", 14, 1), TFS_OKAY);
    EXPECT_EQ(data[14], '>');
    EXPECT_EQ(m_->GetTfs().ZeroToOneAttempts(), 0u);
    EXPECT_EQ(mon_tfsipmod("nv1.dat", "\x3E\x00\x0F", 14, 3), TFSERR_NOTPERMITTED);
    EXPECT_EQ(data[16], 0x07) << "a refused call writes nothing";
    EXPECT_EQ(mon_tfsipmod("nv1.dat", "~", 14, 1), TFSERR_NOTPERMITTED);
    EXPECT_EQ(m_->GetTfs().ZeroToOneAttempts(), 2u);

    EXPECT_EQ(mon_tfsipmod("nv1.dat", "xy", 4095, 2), TFSERR_WRITEMAX);
    EXPECT_EQ(mon_tfsipmod("nv1.dat", "x", -1, 1), TFSERR_BADARG);
    EXPECT_EQ(mon_tfsipmod("missing", "x", 0, 1), TFSERR_NOFILE);
    ASSERT_EQ(mon_tfsadd("plain", "", "", "abc", 3), TFS_OKAY);
    EXPECT_EQ(mon_tfsipmod("plain", "a", 0, 1), TFSERR_NOTPERMITTED);

    Reboot();
    h = mon_tfsstat("nv1.dat");
    data = reinterpret_cast<const uint8_t*>(h) + h->hdrsize;
    EXPECT_EQ(data[14], '>');
    EXPECT_EQ(data[15], 0x00);
}

TEST_F(TfsTest, NextWalksNamesInOrderEvenWhenTheCurrentFileIsRemoved) {
    std::vector<std::string> names = {"nv2.dat",       "Bitmaps/b.bmp", "CONFIG.XML", "monrc",
                                      "Bitmaps/a.bmp", "nv1.dat",       "index.html"};
    for (const std::string& n : names) {
        ASSERT_EQ(mon_tfsadd(n.c_str(), "", "", "x", 1), TFS_OKAY);
    }
    ASSERT_EQ(mon_tfsadd("CONFIG.XML", "", "", "yy", 2),
              TFS_OKAY);  // replaced: same place in order
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> seen;
    for (const TFILE* h = mon_tfsnext(nullptr); h != nullptr; h = mon_tfsnext(h)) {
        seen.emplace_back(h->name);
    }
    EXPECT_EQ(seen, sorted);

    // Removing every ".bmp" while walking still visits each file once.
    seen.clear();
    for (const TFILE* h = mon_tfsnext(nullptr); h != nullptr; h = mon_tfsnext(h)) {
        seen.emplace_back(h->name);
        if (std::strstr(h->name, ".bmp")) {
            ASSERT_EQ(mon_tfsunlink(h->name), TFS_OKAY);
        }
    }
    EXPECT_EQ(seen, sorted);
    EXPECT_EQ(mon_tfsstat("Bitmaps/a.bmp"), nullptr);
    EXPECT_EQ(mon_tfsunlink("Bitmaps/a.bmp"), TFSERR_NOFILE);
}

TEST_F(TfsTest, CtrlRequests) {
    EXPECT_EQ(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 0);
    long avail = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    EXPECT_EQ(avail, 62 * 4096 - 272);
    // A file of exactly the available size fits; then nothing does.
    std::vector<char> big(size_t(avail), 'b');
    ASSERT_EQ(mon_tfsadd("big", "", "", big.data(), avail), TFS_OKAY);
    EXPECT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), 0);
    EXPECT_EQ(mon_tfsadd("one", "", "", "x", 1), TFSERR_FLASHFULL);
    EXPECT_EQ(mon_tfsunlink("big"), TFS_OKAY);
    EXPECT_EQ(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 62 * 4096);
    EXPECT_EQ(mon_tfsctrl(TFS_DEVSTATE, reinterpret_cast<long>("//SF/"), 0), 1);
    EXPECT_EQ(mon_tfsctrl(TFS_DEVSTATE, reinterpret_cast<long>("//RAM/"), 0), TFSERR_BADARG);
    EXPECT_EQ(mon_tfsctrl(TFS_DEVSTATE, 0, 0), TFSERR_BADARG);
    EXPECT_EQ(mon_tfsctrl(99, 0, 0), TFSERR_BADARG);

    static unsigned long stamp = 1234;
    auto source = +[]() -> unsigned long { return stamp; };
    auto format = +[](unsigned long s, char* buf, int size) -> char* {
        std::snprintf(buf, size_t(size), "T%lu\n", s);
        return buf;
    };
    EXPECT_EQ(
        mon_tfsctrl(TFS_TIMEFUNCS, reinterpret_cast<long>(source), reinterpret_cast<long>(format)),
        0);
    ASSERT_EQ(mon_tfsadd("stamped", "", "", "x", 1), TFSERR_FLASHFULL);
    Reboot();  // no compaction without the boot flag
    EXPECT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), 0);
    EXPECT_EQ(
        mon_tfsctrl(TFS_TIMEFUNCS, reinterpret_cast<long>(source), reinterpret_cast<long>(format)),
        0);
    m_->Nvram().SetBootFlag(0x01);
    Reboot();
    EXPECT_EQ(m_->Nvram().BootFlag(), 0);
    EXPECT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), avail);
    mon_tfsctrl(TFS_TIMEFUNCS, reinterpret_cast<long>(source), reinterpret_cast<long>(format));
    ASSERT_EQ(mon_tfsadd("stamped", "", "", "x", 1), TFS_OKAY);
    EXPECT_EQ(mon_tfsstat("stamped")->modtime, 1234u);
    EXPECT_EQ(m_->GetTfs().FormatTime(mon_tfsstat("stamped")), "T1234\n");
}

TEST_F(TfsTest, CompactionAtBootKeepsLiveFilesAndFreesDeadSpace) {
    std::mt19937 rng(7);
    std::map<std::string, std::string> expect;
    for (int i = 0; i < 150; ++i) {
        std::string name = "file" + std::to_string(rng() % 20);
        std::string data(rng() % 2000, char('a' + rng() % 26));
        if (rng() % 5 == 0) {
            mon_tfsunlink(name.c_str());
            expect.erase(name);
            continue;
        }
        if (mon_tfsadd(name.c_str(), "", "", data.data(), long(data.size())) != TFS_OKAY)
            break;
        expect[name] = data;
    }
    ASSERT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 1000), TFS_OKAY);
    ASSERT_EQ(mon_tfsipmod("nv1.dat", "\x7F", 0, 1), TFS_OKAY);
    long dead = mon_tfsctrl(TFS_DEADSPACE, 0, 0);
    long avail = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    ASSERT_GT(dead, 100000);
    m_->Nvram().SetBootFlag(0x81);
    Reboot();
    EXPECT_TRUE(m_->GetTfs().CompactedAtMount());
    EXPECT_EQ(m_->Nvram().BootFlag(), 0x80) << "only bit 0 is the monitor's";
    EXPECT_EQ(mon_tfsctrl(TFS_DEADSPACE, 0, 0), 0);
    EXPECT_EQ(mon_tfsctrl(TFS_AVAILABLE, 0, 0), avail + dead);
    for (const auto& [name, data] : expect)
        EXPECT_EQ(Contents(mon_tfsstat(name.c_str())), data) << name;
    EXPECT_EQ(m_->GetTfs().FileCount(), expect.size() + 1);
    EXPECT_EQ(uint8_t(Contents(mon_tfsstat("nv1.dat"))[0]), 0x7F);
    EXPECT_EQ(mon_tfsipmod("nv1.dat", "\x3F", 0, 1), TFS_OKAY) << "still modifiable in place";
}

TEST_F(TfsTest, DescriptorAccess) {
    std::vector<char> buf(64);
    int fd = mon_tfsopen("new.txt", TFS_CREATE | TFS_EXEC, buf.data(), buf.size());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(mon_tfsstat("new.txt"), nullptr) << "written at close";
    EXPECT_EQ(mon_tfswrite(fd, "hello ", 6), 6);
    EXPECT_EQ(mon_tfswrite(fd, "world", 5), 5);
    EXPECT_EQ(mon_tfswrite(fd, buf.data(), 60), TFSERR_WRITEMAX);
    EXPECT_EQ(mon_tfsadd("new.txt", "", "", "x", 1), TFSERR_FILEEXISTS);
    EXPECT_EQ(mon_tfsclose(fd, "info"), TFS_OKAY);
    EXPECT_EQ(Contents(mon_tfsstat("new.txt")), "hello world");
    EXPECT_EQ(mon_tfsstat("new.txt")->flags, uint32_t(TFS_EXEC));
    EXPECT_EQ(mon_tfsclose(fd, nullptr), TFSERR_BADFD);
    EXPECT_EQ(mon_tfsopen("new.txt", TFS_CREATE, buf.data(), buf.size()), TFSERR_FILEEXISTS);
    EXPECT_EQ(mon_tfsopen("absent", TFS_RDONLY, nullptr, 0), TFSERR_NOFILE);

    std::vector<char> copy(64, 0);
    fd = mon_tfsopen("new.txt", TFS_RDONLY, copy.data(), copy.size());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(std::string(copy.data()), "hello world") << "the buffer gets the data";
    char part[8] = {};
    EXPECT_EQ(mon_tfsseek(fd, 6, TFS_BEGIN), 6);
    EXPECT_EQ(mon_tfsread(fd, part, 3), 3);
    EXPECT_EQ(std::string(part), "wor");
    EXPECT_EQ(mon_tfsread(fd, part, 8), 2);
    EXPECT_EQ(mon_tfsread(fd, part, 8), TFSERR_EOF);
    EXPECT_EQ(mon_tfsseek(fd, 12, TFS_BEGIN), TFSERR_EOF);
    EXPECT_EQ(mon_tfsseek(fd, -1, TFS_END), 10);
    EXPECT_EQ(mon_tfsseek(fd, 0, 7), TFSERR_BADARG);
    EXPECT_EQ(mon_tfsseek(fd, LONG_MAX, TFS_CURRENT), TFSERR_EOF);
    EXPECT_EQ(mon_tfsseek(fd, LONG_MIN, TFS_END), TFSERR_BADARG);
    EXPECT_EQ(mon_tfsseek(fd, 0, TFS_CURRENT), 10) << "a refused seek leaves the position";
    EXPECT_EQ(mon_tfswrite(fd, "x", 1), TFSERR_NOTPERMITTED);
    EXPECT_EQ(mon_tfsclose(fd, nullptr), TFS_OKAY);

    // Append rewrites the file at close, keeping its flags.
    fd = mon_tfsopen("new.txt", TFS_APPEND, buf.data(), buf.size());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(mon_tfswrite(fd, "!", 1), 1);
    EXPECT_EQ(mon_tfsclose(fd, nullptr), TFS_OKAY);
    EXPECT_EQ(Contents(mon_tfsstat("new.txt")), "hello world!");
    EXPECT_STREQ(mon_tfsstat("new.txt")->info, "info");
    std::vector<char> tiny(4);
    EXPECT_EQ(mon_tfsopen("new.txt", TFS_APPEND, tiny.data(), tiny.size()), TFSERR_WRITEMAX);

    std::vector<int> fds;
    for (size_t i = 0; i < monitor::Tfs::kMaxOpen; ++i)
        fds.push_back(mon_tfsopen("new.txt", TFS_RDONLY, nullptr, 0));
    EXPECT_TRUE(std::all_of(fds.begin(), fds.end(), [](int f) { return f >= 0; }));
    EXPECT_EQ(mon_tfsopen("new.txt", TFS_RDONLY, nullptr, 0), TFSERR_NOSLOT);
    for (int f : fds)
        EXPECT_EQ(mon_tfsclose(f, nullptr), TFS_OKAY);
}

TEST(TfsWithoutMonitor, CallsFail) {
    EXPECT_EQ(mon_tfsadd("a", "", "", "x", 1), TFSERR_NOTAVAILABLE);
    EXPECT_EQ(mon_tfsstat("a"), nullptr);
    EXPECT_EQ(mon_tfsnext(nullptr), nullptr);
    EXPECT_EQ(mon_getenv("IPADD"), nullptr);
    EXPECT_EQ(mon_build_date(), nullptr);
}

}  // namespace
