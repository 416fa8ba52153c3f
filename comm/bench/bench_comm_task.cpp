// 24 simulated hours of communication-task passes on the stepped clock, with the object store
// and fakes for the network parts: the wall time it takes (goal: under 1 s, no busy wait).
// CPU is the whole process's (the task runs on its own host thread).
//
// Figures (8 shared cores, load 5 to 10): 1.0 to 1.75 s wall, 1.1 s CPU, about 86,000 host
// context switches a day while the driver woke for every pass; 0.25 to 0.35 s wall, 0.2 to
// 0.27 s CPU, about 3,000 switches since the task's thread moves the stepped clock itself.
// What is left is mostly the console write of the 33,000 "Comm Loss" lines.

#include <benchmark/benchmark.h>

#include <memory>

#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/ntcip_transports.h"
#include "comm/tests/comm_task_fake_services.h"
#include "database/data_base.h"
#include "database/rtos_notify_sink.h"
#include "database/time_registers.h"
#include "ntcip/snmp_set_staging.h"
#include "platform/kernel/kernel.h"
#include "runtime/post_office.h"
#include "runtime/timer_scheduler.h"

namespace {

constexpr uint32_t kMinuteTicks = 6000;
constexpr uint32_t kDayMinutes = 24 * 60;

void BM_CommTaskDay(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        MemoryTimeRegisters clock;
        static TX_EVENT_FLAGS_GROUP events;
        static TX_BYTE_POOL stacks;
        RtosNotifySink sink(&g_PostOffice, &events);
        CDataBase db(0x10000);
        db.SetTimeRegisters(&clock);
        db.SetNotifySink(&sink);
        db.SetNotificationEnabled(true);
        db.Set(dbo::dmsTimeCommLoss, 5, 0);
        db.Set(dbo::brenHeartBeatThreshold, 600, 0);
        db.Set(dbo::fdotDmsMaxPollTime, 10, 0);
        db.Set(dbo::fdotDmsMaxPollTimeEnable, 1, 0);
        const uint8_t message[5] = {3, 0, 1, 0, 0};
        db.SetText(dbo::dmsCommunicationsLossMessage, message, 5, 0);
        BuildTransports();
        CommSetDatabase(&db);
        FakeCommServices services;
        services.sntpConfigured = true;
        services.serverAnswers = true;
        services.interruptSeen = true;
        auto task = std::make_unique<comm_task>(g_PostOffice, &events, &services);
        task->Start();
        auto k = std::make_unique<kernel::Kernel>();
        k->Start([&](void* memory) {
            tx_byte_pool_create(&stacks, "thread stacks", static_cast<uint8_t*>(memory), 0x30000);
            timer_scheduler_tx_rtos::Instance();
            tx_event_flags_create(&events, "database");
            task->Create(&stacks);
        });
        uint32_t now = 1000000;
        state.ResumeTiming();
        for (uint32_t minute = 0; minute < kDayMinutes; ++minute) {
            // Requests for ten minutes of every hour; the rest is silence.
            if (minute % 60 < 10) {
                g_SnmpActivity = 1;
            }
            now += 60;
            db.SetRegisterTime(dbo::globalTime.id, dbo::globalTime.width, now,
                               dbo::globalTime.image, 0);
            k->Advance(kMinuteTicks);
        }
        state.PauseTiming();
        state.counters["passes"] = double(services.trapPasses);
        k.reset();
        timer_scheduler_tx_rtos::Reset();
        task.reset();
        CommSetDatabase(nullptr);
        EndTransports();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CommTaskDay)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
