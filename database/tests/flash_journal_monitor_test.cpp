// The journal on the boot monitor's own flash file system: files made, modified in place and
// unlinked through the monitor calls, and power cut by the flash's fault plans.

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/monitor_journal_services.h"
#include "platform/monitor/mon.h"
#include "platform/monitor/monitor.h"
#include "runtime/debug_print.h"

namespace {

class MonitorBoard {
public:
    MonitorBoard() {
        char name[] = "/tmp/dms-journal-XXXXXX";
        dir_ = ::mkdtemp(name);
        DebugSetSink([](const char* t) {
            if (getenv("JDEBUG"))
                fputs(t, stderr);
        });
    }
    ~MonitorBoard() {
        Off();
        ::nftw(
            dir_.c_str(),
            [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 8,
            FTW_DEPTH | FTW_PHYS);
        DebugSetSink(nullptr);
    }

    // Boots the monitor (under a fault plan, when given) and the journal; a fresh journal is
    // committed at once.
    int Boot(std::optional<monitor::FaultPlan> plan = std::nullopt) {
        Off();
        monitor::MonitorConfig config;
        config.boardDir = dir_;
        config.flashSize = 1u << 20;
        config.runMonrc = false;
        config.faultPlan = plan;
        monitor_ = std::make_unique<monitor::Monitor>(config);
        if (!monitor_->Boot()) {
            ADD_FAILURE() << "monitor did not boot";
            return -1;
        }
        db = std::make_unique<CDataBase>(1u << 16);
        FlashJournalGeometry geometry;
        geometry.fileSize = 0x10000;
        geometry.compactAbove = 0xC000;
        journal = std::make_unique<CFlashDatabase>(db.get(), &services_, geometry);
        db->SetJournal(journal.get());
        journal->CreateMutexes();
        const int loaded = journal->Load();
        if (loaded == 0) {
            journal->CommitActiveFile();
        }
        return loaded;
    }
    void Off() {
        journal.reset();
        db.reset();
        monitor_.reset();
    }
    monitor::Flash& Flash() { return monitor_->GetFlash(); }
    // The next boot packs the flash (as after a defragmentation restart).
    void AskForPacking() { monitor_->Nvram().SetBootFlag(1); }
    // The board's files (flash, battery-backed registers) while it is off.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const char* name : {"flash.bin", "nvram.bin"}) {
            std::ifstream in(dir_ + "/" + name, std::ios::binary);
            files[name].assign(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }
    void PutFiles(const std::map<std::string, std::string>& files) const {
        for (const auto& [name, bytes] : files) {
            std::ofstream(dir_ + "/" + name, std::ios::binary | std::ios::trunc) << bytes;
        }
    }
    void SetDefragRestart(void (*restart)()) { services_.SetDefragRestart(restart); }
    void Set(uint32_t id, uint32_t width, uint32_t value) {
        db->SetInt(id, width, value, DbImage::kNv, kDbSkipValidation);
    }
    void SetText(uint32_t id, const std::string& text) {
        db->SetString(id, 4, text.data(), static_cast<uint32_t>(text.size()), DbImage::kNv,
                      kDbSkipValidation);
    }
    uint32_t Get(uint32_t id, uint32_t width) { return db->GetInt(id, width, DbImage::kNv); }
    std::string Text(uint32_t id) {
        char out[2048];
        const uint32_t length = db->ReadString(id, DbImage::kNv, out, sizeof out);
        return std::string(out, length > sizeof out ? sizeof out : length);
    }
    void Compact() {
        journal->SetCountdown(0);
        journal->RequestCompaction();
        for (int step = 0; step < 3; ++step) {
            journal->StateMachine_Defrag();
        }
    }

    std::unique_ptr<CDataBase> db;
    std::unique_ptr<CFlashDatabase> journal;

private:
    std::string dir_;
    std::unique_ptr<monitor::Monitor> monitor_;
    MonitorJournalServices services_;
};

TEST(FlashJournalOnMonitor, WritesSurviveRestartsAndCompactions) {
    MonitorBoard board;
    ASSERT_EQ(board.Boot(), 0);
    ASSERT_NE(mon_tfsstat("nv1.dat"), nullptr);
    EXPECT_EQ(mon_tfsstat("nv1.dat")->filsize, 0x10000u);
    board.Set(48, 4, 0x12345678);
    board.SetText(25792, "on the monitor");
    board.Set(60, 2, 1);
    board.Set(60, 2, 2);
    board.journal->ProcessDeletes();
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(48, 4), 0x12345678u);
    EXPECT_EQ(board.Text(25792), "on the monitor");
    EXPECT_EQ(board.Get(60, 2), 2u);
    board.Compact();
    EXPECT_STREQ(board.journal->ActiveFile(), "nv2.dat");
    EXPECT_EQ(mon_tfsstat("nv1.dat"), nullptr);
    board.Set(98708, 1, 7);
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(48, 4), 0x12345678u);
    EXPECT_EQ(board.Get(60, 2), 2u);
    EXPECT_EQ(board.Get(98708, 1), 7u);
    // A commanded reset removes the files: the journal closes and the next start is a first one.
    mon_tfsunlink("nv2.dat");
    board.Set(48, 4, 1);
    EXPECT_TRUE(board.journal->Closed());
    EXPECT_EQ(board.Boot(), 0);
    EXPECT_EQ(board.Get(48, 4), 0u);
}

// A sample of cut points over a run of writes and a compaction, on the monitor's flash model.
TEST(FlashJournalOnMonitor, PowerCutsOnTheMonitorFlash) {
    struct Step {
        uint32_t id;
        uint32_t width;  // 0: text, 9: compaction
        uint32_t value;
        std::string text;
    };
    const std::vector<Step> steps = {
        {48, 4, 1, ""}, {25792, 0, 0, "first"}, {48, 4, 2, ""}, {60, 2, 3, ""},
        {0, 9, 0, ""},  {25792, 0, 0, ""},      {48, 4, 4, ""}, {25792, 0, 0, "last"},
    };
    auto read = [](MonitorBoard& board, const Step& step) {
        return step.width == 0 ? board.Text(step.id)
                               : std::to_string(board.Get(step.id, step.width));
    };
    auto value = [](const Step& step) {
        return step.width == 0 ? step.text : std::to_string(step.value);
    };
    MonitorBoard board;
    uint64_t total = 0;
    {
        board.Boot();
        board.Flash().SetFaultPlan({});
        for (const Step& step : steps) {
            step.width == 9   ? board.Compact()
            : step.width == 0 ? board.SetText(step.id, step.text)
                              : board.Set(step.id, step.width, step.value);
        }
        total = board.Flash().ProgrammedBytes();
        board.Off();
    }
    ASSERT_GT(total, 100u);
    const uint64_t stride = total / 150 + 1;
    for (uint64_t cut = 1; cut <= total; cut += stride) {
        MonitorBoard run;
        run.Boot();
        run.Flash().SetFaultPlan({cut, cut % 2 == 0, static_cast<uint32_t>(cut)});
        // Acknowledged value per object, and the one under way at the cut.
        std::map<uint32_t, std::string> acked = {{48, "0"}, {60, "0"}, {25792, ""}};
        std::map<uint32_t, std::string> underWay;
        for (const Step& step : steps) {
            if (run.Flash().PowerCut()) {
                break;
            }
            if (step.width == 9) {
                run.Compact();
                continue;
            }
            underWay[step.id] = value(step);
            step.width == 0 ? run.SetText(step.id, step.text)
                            : run.Set(step.id, step.width, step.value);
            if (!run.Flash().PowerCut()) {
                acked[step.id] = value(step);
                underWay.erase(step.id);
            }
        }
        ASSERT_GE(run.Boot(), 0);
        for (const Step& step : steps) {
            if (step.width == 9) {
                continue;
            }
            const std::string now = read(run, step);
            const bool ok =
                now == acked[step.id] || (underWay.count(step.id) != 0 && now == underWay[step.id]);
            ASSERT_TRUE(ok) << "cut after " << cut << ": object " << step.id << " reads \"" << now
                            << "\", acknowledged \"" << acked[step.id] << "\"";
        }
        run.Set(1000, 4, 77);
        ASSERT_EQ(run.Boot(), 1) << "cut after " << cut;
        ASSERT_EQ(run.Get(1000, 4), 77u) << "cut after " << cut;
    }
}

// The monitor packs the flash at the boot after a defragmentation restart, moving the journal
// block by block. The power is cut at every erase and at a sample of the programmed bytes of that
// packing; the boot after it finishes the packing and replays every acknowledged value.
TEST(FlashJournalOnMonitor, PowerCutsWhileTheFlashIsPacked) {
    MonitorBoard board;
    ASSERT_EQ(board.Boot(), 0);
    std::map<uint32_t, uint32_t> values;
    for (uint32_t i = 0; i < 40; ++i) {
        values[1000 + 4 * (i % 8)] = i;
        board.Set(1000 + 4 * (i % 8), 4, i);
    }
    board.SetText(25792, "before");
    board.journal->ProcessDeletes();
    board.Compact();  // nv1.dat becomes dead space
    ASSERT_STREQ(board.journal->ActiveFile(), "nv2.dat");
    const std::vector<char> filler(0x20000, 'f');
    ASSERT_EQ(mon_tfsadd("filler", "", "", filler.data(), long(filler.size())), TFS_OKAY);
    values[48] = 0x12345678;
    board.Set(48, 4, 0x12345678);
    ASSERT_EQ(mon_tfsunlink("filler"), TFS_OKAY);
    board.SetText(25792, "after the filler");
    board.AskForPacking();
    board.Off();
    const auto packed = board.Files();

    auto check = [&](const std::string& where) {
        ASSERT_EQ(board.Boot(), 1) << where;
        for (const auto& [id, value] : values) {
            ASSERT_EQ(board.Get(id, 4), value) << where << ": object " << id;
        }
        ASSERT_EQ(board.Text(25792), "after the filler") << where;
        board.Set(1100, 4, 77);
        ASSERT_EQ(board.Boot(), 1) << where;
        ASSERT_EQ(board.Get(1100, 4), 77u) << where;
    };

    board.Boot(monitor::FaultPlan{});
    const uint64_t programmed = board.Flash().ProgrammedBytes();
    const uint64_t erases = board.Flash().Erases();
    ASSERT_GT(erases, 10u) << "the packing moved the journal";
    check("no cut");

    std::vector<monitor::FaultPlan> plans;
    for (uint64_t erase = 1; erase <= erases; ++erase) {
        plans.push_back({0, false, uint32_t(erase), erase});
    }
    for (uint64_t cut = 1; cut <= programmed; cut += programmed / 60 + 1) {
        plans.push_back({cut, cut % 2 == 0, uint32_t(cut)});
    }
    for (const monitor::FaultPlan& plan : plans) {
        const std::string where = "cut after byte " + std::to_string(plan.cutAfter) + " in erase " +
                                  std::to_string(plan.cutInErase);
        board.PutFiles(packed);
        board.Boot(plan);
        ASSERT_TRUE(board.Flash().PowerCut()) << where;
        check(where);
    }
}

int g_defragRestarts = 0;

// No room for the compaction's file: the monitor is asked to defragment the flash only when the
// dead space of removed files would make room.
TEST(FlashJournalOnMonitor, DefragmentationRestartOnlyWhenDeadSpaceMakesRoom) {
    for (bool removeFiller : {false, true}) {
        SCOPED_TRACE(removeFiller ? "filler removed" : "filler kept");
        MonitorBoard board;
        ASSERT_EQ(board.Boot(), 0);
        board.SetDefragRestart(+[] { ++g_defragRestarts; });
        g_defragRestarts = 0;
        board.Set(48, 4, 5);
        const long available = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
        ASSERT_GT(available, 0x10000);
        const std::vector<char> filler(static_cast<size_t>(available - 0x1000), 'f');
        ASSERT_EQ(mon_tfsadd("filler", "", "", filler.data(), static_cast<long>(filler.size())),
                  TFS_OKAY);
        if (removeFiller) {
            ASSERT_EQ(mon_tfsunlink("filler"), TFS_OKAY);
        }
        ASSERT_LT(mon_tfsctrl(TFS_AVAILABLE, 0, 0), 0x10000);
        board.Compact();
        EXPECT_EQ(g_defragRestarts, removeFiller ? 1 : 0);
        EXPECT_STREQ(board.journal->ActiveFile(), "nv1.dat");
        EXPECT_EQ(board.Boot(), 1);
        EXPECT_EQ(board.Get(48, 4), 5u);
    }
}

}  // namespace
