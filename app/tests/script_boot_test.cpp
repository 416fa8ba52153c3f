// The controller's flash files across boots: SCRIPT.XML applied once when triggered, monrc
// written on a network change and taken up by the monitor at the next start, and the files each
// commanded reset discards before the board boots again.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "app/board.h"
#include "app/tests/job_queue_runner.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"

namespace {

std::mutex g_lock;
std::string g_console;
std::string g_seen;

void Capture(const char* text) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_console += text;
}

size_t Count(const std::string& what) {
    std::lock_guard<std::mutex> lock(g_lock);
    size_t n = 0;
    for (size_t at = g_console.find(what); at != std::string::npos;
         at = g_console.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::string Console() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_console;
}

bool WaitFor(const std::string& what, size_t count) {
    for (int i = 0; i < 6000 && Count(what) < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Count(what) >= count;
}

// Runs fn on the job queue's thread (journal writes need a thread) and waits for it.
void OnThread(std::function<void()> fn) {
    ASSERT_TRUE(app_test::RunOnJobQueue(std::move(fn)));
}

// Runs fn in the controller (ISR context) and waits for it.
void InBoard(std::function<void()> fn) {
    std::atomic<bool> done{false};
    kernel::Post([&] {
        fn();
        done.store(true);
    });
    for (int i = 0; i < 6000 && !done.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(done.load());
}

std::string Contact() {
    std::string text;
    InBoard([&] {
        uint32_t n = 0;
        const char* stored = g_DataBase.GetString(98616, 4, DbImage::kNv, &n);  // sysContact
        text.assign(stored, n);
    });
    return text;
}

void Nap(std::atomic<bool>&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

const char kLaunched[] = "Launching Thread(s)";
const char kDetected[] = " - Detected Script File";
const char kJournalOn[] = "enabling flash database";

TEST(FlashFilesAcrossBoots, ScriptAppliedOnceAndMonrcTakenUp) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_files_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_console.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.time_scale = 20;
    std::atomic<bool> stop{false};
    BoardEnd end = BoardEnd::kFailed;
    std::thread runner([&] { end = RunBoard(line, 0, nullptr, stop, &Nap); });

    // A first start writes the built-in script and applies it.
    ASSERT_TRUE(WaitFor(kLaunched, 1));
    EXPECT_EQ(Count(" - Writing SCRIPT.XML\t\t\t\t\t[ OK ]"), 1u);
    EXPECT_EQ(Count(kDetected), 1u);
    ASSERT_TRUE(WaitFor(kJournalOn, 1));

    // A triggered start applies the stored script.
    OnThread([] {
        const std::string script =
            "<SCRIPT>\r\n\t<OBJ oid=\"1.3.6.1.2.1.1.4.0\" str=\"night desk\"/>\r\n</SCRIPT>\r\n";
        mon_tfsadd("SCRIPT.XML", "", "", script.data(), static_cast<long>(script.size()));
        g_DataBase.Set(dbo::scriptFileTrigger, 1, 0);
    });
    InBoard([] { mon_restart(0); });
    ASSERT_TRUE(WaitFor(kLaunched, 2));
    EXPECT_EQ(Count(kDetected), 2u);
    EXPECT_EQ(Contact(), "night desk");
    ASSERT_TRUE(WaitFor(kJournalOn, 2));

    // A value changed afterwards survives the next start; the script is not applied again.
    OnThread([] {
        g_DataBase.SetString(98616, 4, "day desk", 8, DbImage::kNv, kDbNotify);
        g_DataBase.Set(dbo::ipAdEntAddr, 0x0A00020F, 0);
        g_DataBase.Set(dbo::ipAdEntNetMask, 0xFFFFFF00, 0);
        g_DataBase.Set(dbo::ipRouteDest, 0x0A000202, 0);
        g_PostOffice.PostLetter(kLetterNetworkSettingsChanged);
    });
    ASSERT_TRUE(WaitFor(" - Writing monrc\t\t\t\t\t[ OK ]", 1)) << Console();
    ASSERT_TRUE(WaitFor(kLaunched, 3)) << Console();
    EXPECT_EQ(Count(kDetected), 2u);
    EXPECT_EQ(Contact(), "day desk");
    std::string ip;
    std::string mask;
    InBoard([&] {
        const char* a = mon_getenv("IPADD");
        const char* m = mon_getenv("NETMASK");
        ip = a != nullptr ? a : "";
        mask = m != nullptr ? m : "";
    });
    EXPECT_EQ(ip, "10.0.2.15");
    EXPECT_EQ(mask, "255.255.255.0");

    stop.store(true);
    runner.join();
    EXPECT_EQ(end, BoardEnd::kStopped);
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

bool Exists(const char* name) {
    bool found = false;
    InBoard([&] { found = mon_tfsstat(name) != nullptr; });
    return found;
}

TEST(FlashFilesAcrossBoots, CommandedResetsDiscardTheirFilesAndBootAgain) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_reset_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    g_console.clear();
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.time_scale = 20;
    std::atomic<bool> stop{false};
    BoardEnd end = BoardEnd::kFailed;
    std::thread runner([&] { end = RunBoard(line, 0, nullptr, stop, &Nap); });
    ASSERT_TRUE(WaitFor(kJournalOn, 1));

    const char kCreated[] = "\tCreating nv1.dat";
    const char kRestore[] = " - Restore Config File";
    const char kNoConfig[] = " - Restore Config File\t\t\t\t\t[FAIL]\n\tFile Does Not Exist";
    struct Case {
        uint32_t kind;
        bool journalDiscarded;
        bool configMissing;
        bool bitmapKept;
        bool scriptRun;  // asked for, or a start on factory defaults
    } cases[] = {
        {4, false, false, true, false}, {2, true, false, true, true},  {5, true, false, true, true},
        {3, true, true, false, true},   {7, false, false, true, true}, {6, true, true, false, true},
    };
    size_t boots = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        const size_t created = Count(kCreated);
        const size_t restores = Count(kRestore);
        const size_t missing = Count(kNoConfig);
        const size_t scripts = Count(kDetected);
        OnThread([&] {
            mon_tfsadd("Bitmaps/A.bmp", "", "", "BM", 2);
            g_DataBase.Set(dbo::brenResetCommand, c.kind, kDbNotify);
        });
        ++boots;
        ASSERT_TRUE(WaitFor(kJournalOn, boots)) << g_console;
        EXPECT_EQ(Count(kLaunched), boots);
        // Without a journal the start creates one (after reclaiming the flash when the dead
        // journals fill it) and restores CONFIG.XML over the factory defaults when there is one.
        if (c.journalDiscarded) {
            EXPECT_GT(Count(kCreated), created);
            EXPECT_EQ(Count(kRestore), restores + 1);
        } else {
            EXPECT_EQ(Count(kCreated), created);
            EXPECT_EQ(Count(kRestore), restores);
        }
        EXPECT_EQ(Count(kNoConfig), missing + (c.configMissing ? 1 : 0));
        EXPECT_EQ(Count(kDetected), scripts + (c.scriptRun ? 1 : 0));
        EXPECT_EQ(Exists("Bitmaps/A.bmp"), c.bitmapKept);
        EXPECT_TRUE(Exists("nv1.dat") || Exists("nv2.dat"));
        EXPECT_TRUE(Exists("CONFIG.XML")) << "written again at a start without one";
    }

    stop.store(true);
    runner.join();
    EXPECT_EQ(end, BoardEnd::kStopped);
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
