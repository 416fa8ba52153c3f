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

// Appends with the index full: an object's first record needs no scan, a rewrite of an object
// outside the index scans the file to retire its older records.
void BM_AppendWithFullIndex(benchmark::State& state) {
    const bool firstRecord = state.range(0) != 0;
    MemoryJournalServices flash;
    flash.Put("nv1.dat", FullJournal());
    auto db = std::make_unique<CDataBase>();
    CFlashDatabase journal(db.get(), &flash);
    journal.Load();
    std::vector<uint32_t> fresh;
    // Byte objects inside the words of the file's objects: ids the journal has never seen.
    for (uint32_t word = 40; fresh.size() < 6000 && word + 4 <= kNvImageSize; word += 4) {
        if (CDataBase::IsStringObject(word) == 0) {
            fresh.insert(fresh.end(), {word + 1, word + 2, word + 3});
        }
    }
    size_t next = 0;
    uint32_t value = 0;
    for (auto _ : state) {
        // A rewrite: a message text is in the file but not in the full index.
        const uint32_t id = firstRecord ? fresh[next++] : 25792;
        const uint8_t text[] = "a rewritten text";
        benchmark::DoNotOptimize(firstRecord
                                     ? journal.WriteInt8(id, static_cast<uint8_t>(++value), nullptr)
                                     : journal.WriteString(id, text, sizeof text - 1, nullptr));
    }
}
BENCHMARK(BM_AppendWithFullIndex)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->Iterations(1000);

}  // namespace

BENCHMARK_MAIN();
