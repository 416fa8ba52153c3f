// Journal start-up and deletion pass on a file filled to 3 MB.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/journal_record.h"
#include "database/memory_journal_services.h"

namespace {

// 8000 integer objects and some texts, each written many times: about 3 MB of records.
const std::vector<uint8_t>& FullJournal() {
    static const std::vector<uint8_t> file = [] {
        std::vector<uint8_t> out(journal::kFileSize, 0xFF);
        journal::Header previous;
        journal::BuildHeader(&previous, kNvImageSize, out.data());
        std::vector<uint32_t> ids;
        for (uint32_t id = 40; ids.size() < 8000 && id + 4 <= kNvImageSize; id += 4) {
            if (CDataBase::IsStringObject(id) == 0) {
                ids.push_back(id);
            }
        }
        size_t at = journal::kHeaderSize;
        const char text[] = "A message text of some length, as signs carry them.";
        for (uint32_t round = 0; at < journal::kCompactAbove; ++round) {
            for (uint32_t id : ids) {
                at += journal::BuildIntRecord(id, 4, round, out.data() + at, out.size() - at);
            }
            for (uint32_t row = 0; row < 600; ++row) {
                at += journal::BuildStringRecord(25792 + 4 * row,
                                                 reinterpret_cast<const uint8_t*>(text),
                                                 sizeof text - 1, out.data() + at, out.size() - at);
            }
        }
        return out;
    }();
    return file;
}

void BM_LoadFullJournal(benchmark::State& state) {
    MemoryJournalServices flash;
    flash.Put("nv1.dat", FullJournal());
    for (auto _ : state) {
        state.PauseTiming();
        auto db = std::make_unique<CDataBase>();
        CFlashDatabase journal(db.get(), &flash);
        state.ResumeTiming();
        benchmark::DoNotOptimize(journal.Load());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * journal::kCompactAbove);
}
BENCHMARK(BM_LoadFullJournal)->Unit(benchmark::kMillisecond);

// One pass with the index full: every object's older records are marked.
void BM_DeletionPassFullIndex(benchmark::State& state) {
    MemoryJournalServices flash;
    for (auto _ : state) {
        state.PauseTiming();
        flash.Put("nv1.dat", FullJournal());
        auto db = std::make_unique<CDataBase>();
        CFlashDatabase journal(db.get(), &flash);
        journal.Load();  // objects met twice fill the index
        if (journal.Index().Count() != 8000) {
            state.SkipWithError("index not full");
            break;
        }
        state.ResumeTiming();
        journal.ProcessDeletes();
    }
}
BENCHMARK(BM_DeletionPassFullIndex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
