// Wall time of the database start-up: a first start (factory defaults, font import, CONFIG.XML,
// journal commit) and a start that replays the journal of a first start. Budget of a first start:
// 2 s.

#include <benchmark/benchmark.h>

#include <memory>

#include "database/database_task.h"
#include "database/file_config.h"
#include "database/memory_journal_services.h"
#include "database/monitor_journal_services.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/tests/temp_board.h"
#include "runtime/debug_print.h"
#include "runtime/post_office.h"

namespace {

uint8_t g_register = 0;

struct Board {
    Board() {
        DebugSetSink([](const char*) {});
        monitor = temp.Boot(1u << 20);
        g_FileSystem.Mount(&media, "system drive");
    }
    ~Board() {
        g_FileSystem.Unmount(&media);
        DebugSetSink(nullptr);
    }
    // One boot over the given journal flash; the journal's default geometry, as on the board.
    int Start(MemoryJournalServices& services) {
        task.reset();
        journal.reset();
        db = std::make_unique<CDataBase>();
        CFile_Config::AttachDatabase(db.get());
        journal = std::make_unique<CFlashDatabase>(db.get(), &services);
        DatabaseTaskConfig config;
        config.media = &media;
        config.driver = &g_FileSystem;
        config.readBootRegister = [] { return g_register; };
        config.writeBootRegister = [](uint8_t value) { g_register = value; };
        task = std::make_unique<CDatabaseTask>(office, *db, *journal, services, config);
        return task->InitDatabase();
    }
    void Finish() {
        task.reset();
        journal.reset();
        CFile_Config::AttachDatabase(nullptr);
        db.reset();
    }

    monitor_test::TempBoard temp;
    std::unique_ptr<monitor::Monitor> monitor;
    FsMedia media;
    PostOffice office;
    std::unique_ptr<CDataBase> db;
    std::unique_ptr<CFlashDatabase> journal;
    std::unique_ptr<CDatabaseTask> task;
};

void BM_FirstStart(benchmark::State& state) {
    Board board;
    for (auto _ : state) {
        state.PauseTiming();
        mon_tfsunlink("CONFIG.XML");
        auto services = std::make_unique<MemoryJournalServices>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(board.Start(*services));
        state.PauseTiming();
        board.Finish();
        services.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstStart)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JournalStart(benchmark::State& state) {
    Board board;
    MemoryJournalServices services;
    board.Start(services);
    board.task->Cycle();
    board.Finish();
    for (auto _ : state) {
        services.Reboot();
        benchmark::DoNotOptimize(board.Start(services));
        state.PauseTiming();
        board.Finish();
        g_register = 0;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_JournalStart)->Unit(benchmark::kMillisecond)->UseRealTime();

// The board as it boots: a fresh board directory, the journal in the monitor's flash, the
// start-up flow in the start-up context of a stepped kernel; then a second boot that replays it.
void BM_BoardStarts(benchmark::State& state) {
    DebugSetSink([](const char*) {});
    const bool replay = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto temp = std::make_unique<monitor_test::TempBoard>();
        for (int boot = 0; boot < (replay ? 2 : 1); ++boot) {
            auto monitor = temp->Boot(monitor::Flash::kDefaultSize);
            FsMedia media;
            g_FileSystem.Mount(&media, "system drive");
            auto db = std::make_unique<CDataBase>();
            CFile_Config::AttachDatabase(db.get());
            MonitorJournalServices services;
            CFlashDatabase journal(db.get(), &services);
            PostOffice office;
            DatabaseTaskConfig config;
            config.media = &media;
            config.driver = &g_FileSystem;
            config.readBootRegister = [] { return g_register; };
            config.writeBootRegister = [](uint8_t value) { g_register = value; };
            CDatabaseTask task(office, *db, journal, services, config);
            const bool timed = boot == (replay ? 1 : 0);
            {
                kernel::Kernel kernel;
                if (timed) {
                    state.ResumeTiming();
                }
                kernel.Start([&](void*) { benchmark::DoNotOptimize(task.InitDatabase()); });
                if (timed) {
                    state.PauseTiming();
                }
            }
            CFile_Config::AttachDatabase(nullptr);
            g_FileSystem.Unmount(&media);
        }
        temp.reset();
        state.ResumeTiming();
    }
    DebugSetSink(nullptr);
}
BENCHMARK(BM_BoardStarts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
