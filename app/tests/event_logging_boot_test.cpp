// On the booted controller event logging runs on the schedule task: a periodic event configured
// through the agent makes entries every cycle, and a clear time set through the agent clears them.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/board.h"
#include "app/tests/job_queue_runner.h"
#include "comm/ntcip_interface.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_oid.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "platform/kernel/kernel.h"
#include "runtime/debug_print.h"

namespace {

std::mutex g_lock;
std::string g_console;

void Capture(const char* text) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_console += text;
}

bool Seen(const std::string& what) {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_console.find(what) != std::string::npos;
}

void Await(std::atomic<bool>& stop) {
    if (!stop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Runs fn on the job queue's thread (string stores need a thread) and waits for it.
bool OnThread(std::function<void()> fn) {
    return app_test::RunOnJobQueue(std::move(fn));
}

snmp_test::Varbind Value(std::vector<uint32_t> name, uint32_t value,
                         uint16_t syntax = kSnmpInteger) {
    snmp_test::Varbind v;
    v.name = std::move(name);
    v.syntax = syntax;
    v.integer = value;
    return v;
}

std::vector<uint32_t> Report(std::initializer_list<uint32_t> tail) {
    std::vector<uint32_t> name = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 4};
    name.insert(name.end(), tail);
    return name;
}

void Send(const snmp_test::Bytes& request) {
    ASSERT_TRUE(OnThread([&] {
        const uint8_t row = FindPortByName("ethernet_udp");
        ASSERT_NE(row, CNTCIP::kNoRow);
        SnmpMessageReceive(&CNTCIP::Row(row).interface->agent, request.data(),
                           static_cast<uint32_t>(request.size()));
    }));
}

uint32_t Rows(uint32_t c) {
    std::atomic<uint32_t> rows{0};
    EXPECT_TRUE(OnThread([&] { rows = g_DataBase.Get(dbo::eventClassNumRowsInLog, c - 1); }));
    return rows.load();
}

TEST(EventLoggingBoot, PeriodicEventFillsAndClearTimeEmptiesAClass) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / ("dmsc_events_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    DebugSetSink(&Capture);
    CommandLine line;
    line.board_dir = dir.string();
    line.time_scale = 20;
    std::atomic<bool> stop{false};
    std::thread runner([&] { RunBoard(line, 0, nullptr, stop, &Await); });
    for (int i = 0; i < 6000 && !Seen("Launching Thread(s)"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(Seen("Launching Thread(s)"));

    // The recorded object (sysUpTime.0) as SCRIPT.XML would store it; the rest through the agent:
    // class 3 limit 20, configuration 5 periodic every cycle into class 3, action log.
    ASSERT_TRUE(OnThread([] {
        const uint32_t up_time[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
        uint8_t bytes[sizeof up_time + 1];
        OidToBytes(bytes, up_time, 9);
        g_DataBase.SetText(dbo::eventConfigLogOID, bytes, sizeof up_time, kDbNotify, 4);
    }));
    Send(snmp_test::Request(0, "quartermaster", kSnmpSetRequest,
                            {Value(Report({6, 1, 2, 3}), 20), Value(Report({2, 1, 2, 5}), 3),
                             Value(Report({2, 1, 3, 5}), 6), Value(Report({2, 1, 4, 5}), 0),
                             Value(Report({2, 1, 8, 5}), 3)}));
    for (int i = 0; i < 400 && Rows(3) < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(Rows(3), 3u) << "entries made by the schedule cycles";
    std::atomic<uint32_t> id{0};
    ASSERT_TRUE(OnThread([&] { id = g_DataBase.Get(dbo::eventLogID, 255 * 2); }));
    EXPECT_EQ(id.load(), 5u);

    // Stop the event, then clear the class up to now: the letter reaches the schedule task.
    Send(snmp_test::Request(0, "quartermaster", kSnmpSetRequest, {Value(Report({2, 1, 8, 5}), 2)}));
    Send(snmp_test::Request(0, "quartermaster", kSnmpSetRequest,
                            {Value(Report({6, 1, 3, 3}), 0xFFFFFFF0, kSnmpCounter)}));
    for (int i = 0; i < 400 && Rows(3) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Rows(3), 0u);
    stop.store(true);
    runner.join();
    DebugSetSink(nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
