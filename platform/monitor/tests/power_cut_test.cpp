// Power cuts at every programmed byte and in erases, and a writer process killed with
// SIGKILL: the flash must always hold a consistent file system.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <map>

#include "platform/monitor/mon.h"
#include "platform/monitor/tests/temp_board.h"

using monitor_test::Contents;
using monitor_test::TempBoard;

namespace {

const std::string kOld = "old contents of the file";
const std::string kNew = "the new contents, a little longer than the old";

// Boots a board holding "f" (old) and "other", and keeps its flash image.
std::vector<char> BaseImage(const TempBoard& board) {
    auto m = board.Boot();
    EXPECT_EQ(mon_tfsadd("other", "", "", "bystander", 9), TFS_OKAY);
    EXPECT_EQ(mon_tfsadd("f", "", "", kOld.data(), long(kOld.size())), TFS_OKAY);
    m.reset();
    return board.ReadFile("flash.bin");
}

TEST(PowerCut, DryRunCountsProgrammedBytes) {
    TempBoard board;
    BaseImage(board);
    auto m = board.Boot();
    m->GetFlash().SetFaultPlan({});
    ASSERT_EQ(mon_tfsadd("f", "", "", kNew.data(), long(kNew.size())), TFS_OKAY);
    // Prefix, header, data, the "complete" byte, the old copy's "deleted" byte.
    EXPECT_EQ(m->GetFlash().ProgrammedBytes(), 8 + 264 + kNew.size() + 1 + 1);
    EXPECT_FALSE(m->GetFlash().PowerCut());
}

TEST(PowerCut, ReplaceSurvivesACutAtEveryByte) {
    TempBoard board;
    std::vector<char> base = BaseImage(board);
    uint64_t total = 0;
    {
        auto m = board.Boot();
        m->GetFlash().SetFaultPlan({});
        ASSERT_EQ(mon_tfsadd("f", "", "", kNew.data(), long(kNew.size())), TFS_OKAY);
        total = m->GetFlash().ProgrammedBytes();
    }
    for (bool tear : {false, true}) {
        int sawOld = 0, sawNew = 0;
        for (uint64_t cut = 1; cut <= total; ++cut) {
            SCOPED_TRACE(testing::Message() << "cut after byte " << cut << (tear ? " torn" : ""));
            board.WriteFile("flash.bin", base);
            {
                auto m = board.Boot();
                m->GetFlash().SetFaultPlan({cut, tear, uint32_t(cut * 7919)});
                // The process goes on after the cut and sees its own writes.
                ASSERT_EQ(mon_tfsadd("f", "", "", kNew.data(), long(kNew.size())), TFS_OKAY);
                ASSERT_TRUE(m->GetFlash().PowerCut());
                EXPECT_EQ(Contents(mon_tfsstat("f")), kNew);
                EXPECT_EQ(mon_tfsadd("later", "", "", "dropped", 7), TFS_OKAY);
            }
            auto m = board.Boot();
            std::string got = Contents(mon_tfsstat("f"));
            ASSERT_TRUE(got == kOld || got == kNew) << got;
            (got == kOld ? sawOld : sawNew)++;
            EXPECT_EQ(Contents(mon_tfsstat("other")), "bystander");
            EXPECT_EQ(mon_tfsstat("later"), nullptr) << "written after the cut";
            EXPECT_EQ(m->GetTfs().FileCount(), 2u);
            // The file system is usable: a new add lands and survives a reboot.
            ASSERT_EQ(mon_tfsadd("f", "", "", "after", 5), TFS_OKAY);
            m.reset();
            m = board.Boot();
            EXPECT_EQ(Contents(mon_tfsstat("f")), "after");
            EXPECT_EQ(Contents(mon_tfsstat("other")), "bystander");
        }
        EXPECT_GT(sawOld, 0);
        EXPECT_GT(sawNew, 0);
    }
}

TEST(PowerCut, IpmodCutKeepsEveryOtherByte) {
    TempBoard board;
    {
        auto m = board.Boot();
        ASSERT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 64), TFS_OKAY);
        m->GetFlash().SetFaultPlan({3, true, 99});
        ASSERT_EQ(mon_tfsipmod("nv1.dat", "\x7E\x00\x07\x00\x00", 0, 5), TFS_OKAY);
    }
    auto m = board.Boot();
    const TFILE* h = mon_tfsstat("nv1.dat");
    ASSERT_NE(h, nullptr);
    const uint8_t* d = reinterpret_cast<const uint8_t*>(h) + h->hdrsize;
    EXPECT_EQ(d[0], 0x7E);
    EXPECT_EQ(d[1], 0x00);
    EXPECT_EQ(d[2] & 0x07, 0x07) << "the torn byte only lost bits it was to lose";
    EXPECT_EQ(d[3], 0xFF);
    EXPECT_EQ(d[4], 0xFF);
}

// Compaction cut at a byte it programs or in a block it erases: the next mount finishes it.
TEST(PowerCut, CompactionResumesAfterACut) {
    TempBoard board;
    std::map<std::string, std::string> expect;
    {
        auto m = board.Boot();
        for (int i = 0; i < 60; ++i) {
            std::string name = "file" + std::to_string(i % 12);
            std::string data(size_t(200 + 97 * i % 1500), char('A' + i % 26));
            ASSERT_EQ(mon_tfsadd(name.c_str(), "", "", data.data(), long(data.size())), TFS_OKAY);
            expect[name] = data;
        }
        ASSERT_EQ(mon_tfsunlink("file3"), TFS_OKAY);
        expect.erase("file3");
        ASSERT_EQ(mon_tfsadd("nv1.dat", "", "i", nullptr, 3000), TFS_OKAY);
        ASSERT_EQ(mon_tfsipmod("nv1.dat", "\x7F\x00", 0, 2), TFS_OKAY);
        expect["nv1.dat"] = std::string("\x7F\x00", 2) + std::string(2998, '\xFF');
        m->Nvram().SetBootFlag(1);
    }
    std::vector<char> base = board.ReadFile("flash.bin");
    uint64_t total = 0;
    uint64_t erases = 0;
    {
        auto c = board.Config();
        c.faultPlan = monitor::FaultPlan{};
        auto m = TempBoard::Boot(c);
        ASSERT_TRUE(m->GetTfs().CompactedAtMount());
        total = m->GetFlash().ProgrammedBytes();
        erases = m->GetFlash().Erases();
    }
    ASSERT_GT(total, 10000u);
    ASSERT_GT(erases, 5u);
    // Every 211th byte, the bytes of the plan's state changes, and every erase.
    std::vector<monitor::FaultPlan> plans;
    for (uint64_t cut = 1; cut <= total; cut += (cut < 40 ? 1 : 211)) {
        plans.push_back({cut, cut % 2 == 0, uint32_t(cut)});
    }
    for (uint64_t erase = 1; erase <= erases; ++erase) {
        plans.push_back({0, false, uint32_t(erase), erase});
    }
    for (const monitor::FaultPlan& plan : plans) {
        SCOPED_TRACE(testing::Message()
                     << "cut after byte " << plan.cutAfter << " in erase " << plan.cutInErase);
        board.WriteFile("flash.bin", base);
        {
            auto c = board.Config();
            c.faultPlan = plan;
            auto m = TempBoard::Boot(c);
            m->Nvram().SetBootFlag(1);
        }
        {
            auto c = board.Config();
            c.faultPlan = plan;
            auto m = TempBoard::Boot(c);
            ASSERT_NE(m, nullptr);
            ASSERT_TRUE(m->GetFlash().PowerCut());
        }
        auto m = board.Boot();  // no flag now: only a started plan is finished
        for (const auto& [name, data] : expect) {
            ASSERT_EQ(Contents(mon_tfsstat(name.c_str())), data) << name;
        }
        ASSERT_EQ(m->GetTfs().FileCount(), expect.size());
        EXPECT_EQ(mon_tfsipmod("nv1.dat", "\x3F", 0, 1), TFS_OKAY);
    }
}

// Content that names its file and generation and carries its own CRC.
std::string Payload(int file, int generation) {
    std::string s = "file " + std::to_string(file) + " gen " + std::to_string(generation) + " ";
    s.append(size_t(100 + (generation * 37 + file * 11) % 900), char('a' + generation % 26));
    uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
    s.append(reinterpret_cast<const char*>(&crc), 4);
    return s;
}

bool PayloadValid(const std::string& s, int file) {
    if (s.size() < 4)
        return false;
    uint32_t crc;
    std::memcpy(&crc, s.data() + s.size() - 4, 4);
    std::string body = s.substr(0, s.size() - 4);
    std::string prefix = "file " + std::to_string(file) + " gen ";
    return body.rfind(prefix, 0) == 0 &&
           crc ==
               uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
}

TEST(PowerCut, WriterKilledWithSigkillLeavesAConsistentImage) {
    TempBoard board;
    auto config = board.Config(1u << 20);
    { ASSERT_NE(TempBoard::Boot(config), nullptr); }
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(progress[0]);
        auto m = TempBoard::Boot(config);
        if (!m)
            ::_exit(2);
        mon_tfsadd("journal", "", "i", nullptr, 200000);
        for (int gen = 0;; ++gen) {
            for (int f = 0; f < 8; ++f) {
                std::string p = Payload(f, gen);
                std::string name = "data" + std::to_string(f);
                if (mon_tfsadd(name.c_str(), "", "", p.data(), long(p.size())) ==
                    TFSERR_FLASHFULL) {
                    m.reset();
                    m = std::make_unique<monitor::Monitor>(config);
                    m->Nvram().SetBootFlag(1);
                    if (!m->Boot())
                        ::_exit(3);
                }
            }
            uint8_t zero = 0;
            mon_tfsipmod("journal", &zero, gen % 200000, 1);
            char c = 'x';
            if (::write(progress[1], &c, 1) != 1)
                ::_exit(4);
        }
    }
    ::close(progress[1]);
    // Let the writer get well into its loop (several packings), then kill it.
    char buf[64];
    size_t seen = 0;
    while (seen < 600) {
        ssize_t n = ::read(progress[0], buf, sizeof buf);
        ASSERT_GT(n, 0) << "the writer stopped early";
        seen += size_t(n);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(progress[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto m = TempBoard::Boot(config);
    ASSERT_NE(m, nullptr);
    for (int f = 0; f < 8; ++f) {
        std::string name = "data" + std::to_string(f);
        const TFILE* h = mon_tfsstat(name.c_str());
        ASSERT_NE(h, nullptr) << name;
        EXPECT_TRUE(PayloadValid(Contents(h), f)) << name;
    }
    const TFILE* j = mon_tfsstat("journal");
    ASSERT_NE(j, nullptr);
    const uint8_t* d = reinterpret_cast<const uint8_t*>(j) + j->hdrsize;
    size_t zeros = 0;
    while (zeros < j->filsize && d[zeros] == 0)
        ++zeros;
    EXPECT_GE(zeros, 599u) << "every acknowledged in-place write is there";
    EXPECT_EQ(m->GetTfs().FileCount(), 9u);
}

}  // namespace
