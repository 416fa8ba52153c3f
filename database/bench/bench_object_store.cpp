// Object store hot paths: notified and journalled integer writes, string reads.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "database/recording_journal.h"
#include "database/recording_notify_sink.h"

namespace {
struct Fixture {
    Fixture() {
        db = std::make_unique<CDataBase>();
        journal.SetCountOnly(true);
        sink.SetCountOnly(true);
        db->SetJournal(&journal);
        db->SetNotifySink(&sink);
        db->SetNotificationEnabled(true);
        db->SetValidationEnabled(true);
    }
    RecordingJournal journal;
    RecordingNotifySink sink;
    std::unique_ptr<CDataBase> db;
};

// A changed write that is validated, journalled, posts a letter, sets event flags and walks the
// configuration catalogue (brenSpecialFeatureSet: letter 119, flags 0x100000, letter 93).
void BM_SetIntNotifyJournal(benchmark::State& state) {
    Fixture f;
    uint32_t value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            f.db->SetInt(dbo::brenSpecialFeatureSet.id, 4, ++value, DbImage::kNv, kDbNotify));
    }
    state.counters["records"] = static_cast<double>(f.journal.Count());
}
BENCHMARK(BM_SetIntNotifyJournal);

// A changed write of a message status (transition rule, flag row, no letter).
void BM_SetIntMessageStatus(benchmark::State& state) {
    Fixture f;
    const uint32_t id = dbo::dmsMessageStatus.Row(300);
    f.db->SetInt(id, 1, 6, DbImage::kNv, kDbReplayFlags);
    for (auto _ : state) {
        // 6 -> 2 -> 6: both accepted by the rule.
        benchmark::DoNotOptimize(f.db->SetInt(id, 1, 2, DbImage::kNv, kDbNotify));
        benchmark::DoNotOptimize(f.db->SetInt(id, 1, 6, DbImage::kNv, kDbNotify));
    }
    state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_SetIntMessageStatus);

// An unchanged write: one compare, a kind-1 notice lookup, no record.
void BM_SetIntUnchanged(benchmark::State& state) {
    Fixture f;
    f.db->SetInt(dbo::dmsSignType.id, 1, 6, DbImage::kNv, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.db->SetInt(dbo::dmsSignType.id, 1, 6, DbImage::kNv, kDbNotify));
    }
}
BENCHMARK(BM_SetIntUnchanged);

void BM_GetInt(benchmark::State& state) {
    Fixture f;
    f.db->SetInt(dbo::brenFeatureSet.id, 4, 0x12345678, DbImage::kNv, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.db->GetInt(dbo::brenFeatureSet.id, 4, DbImage::kNv));
    }
}
BENCHMARK(BM_GetInt);

// GetString of a 2000-byte string: copied out under the pool's lock.
void BM_GetString2000(benchmark::State& state) {
    Fixture f;
    const DbImage image = state.range(0) == 0 ? DbImage::kNv : DbImage::kVolatile;
    const uint32_t id = image == DbImage::kNv ? dbo::dmsMessageMultiString.id : 17208;
    const std::string text(2000, 'm');
    f.db->SetString(id, 4, text.data(), 2000, image, kDbReplayFlags);
    for (auto _ : state) {
        uint32_t length = 0;
        benchmark::DoNotOptimize(f.db->GetString(id, 4, image, &length));
        benchmark::DoNotOptimize(length);
    }
    state.SetBytesProcessed(2000 * state.iterations());
}
BENCHMARK(BM_GetString2000)->Arg(0)->Arg(1)->ArgNames({"volatile"});

// Replacing a 2000-byte string by one of another length (release and allocate).
void BM_SetString2000(benchmark::State& state) {
    Fixture f;
    const std::string a(2000, 'a');
    const std::string b(1999, 'b');
    bool flip = false;
    for (auto _ : state) {
        const std::string& text = (flip = !flip) ? a : b;
        benchmark::DoNotOptimize(f.db->SetString(dbo::externalText.id, 4, text.data(),
                                                 static_cast<uint32_t>(text.size()),
                                                 DbImage::kVolatile, kDbNotify));
    }
}
BENCHMARK(BM_SetString2000);
}  // namespace

BENCHMARK_MAIN();
