// Post and receive of one letter through the post office.
#include <benchmark/benchmark.h>

#include "platform/kernel/kernel.h"
#include "runtime/post_office.h"

namespace {

constexpr uint32_t kIds[] = {79, 0};

// Seven subscribers as at start-up; the letter reaches one of them.
void PostAndReceive(benchmark::State& state, bool withEvents) {
    kernel::Kernel kernel;
    TX_EVENT_FLAGS_GROUP events{};
    kernel.Start([&](void*) { tx_event_flags_create(&events, "bench"); });
    PostOffice office;
    const uint32_t* lists[] = {kCommunicationLetters, kDisplayLetters, kScheduleLetters, kIds,
                               kMonitorLetters,       kDatabaseLetters};
    subscriber* subs[6];
    for (int i = 0; i < 6; ++i) {
        subs[i] = new subscriber(&office, i == 3 && withEvents ? &events : nullptr, 0x1, nullptr);
        subs[i]->Start(lists[i]);
    }
    subscriber& target = *subs[3];
    for (auto _ : state) {
        letter_s letter(kLetterSystemRestart);
        letter.param1 = 1;
        office.Broadcast(letter);
        letter_s* got = nullptr;
        target.Receive(&got);
        benchmark::DoNotOptimize(got->param1);
        target.Release(got);
    }
    for (subscriber* s : subs) {
        delete s;
    }
}

void BM_PostReceive(benchmark::State& state) {
    PostAndReceive(state, false);
}
void BM_PostReceiveWithEventFlag(benchmark::State& state) {
    PostAndReceive(state, true);
}
BENCHMARK(BM_PostReceive);
BENCHMARK(BM_PostReceiveWithEventFlag);

}  // namespace

BENCHMARK_MAIN();
