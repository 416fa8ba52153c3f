#pragma once
// An event log in the global object store with the MIB linked (internal gets
// work), a settable global time and helpers to configure events and read entries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/time_registers.h"
#include "ntcip/event_logging.h"
#include "ntcip/mib_oid.h"
#include "ntcip/tests/agent_harness.h"
#include "ntcip/trap_buffer.h"

namespace event_test {

using Oid = std::vector<uint32_t>;

// auxIOv2PortValue.3.1 and .3.2: digital ports 1 and 2, plain 4-byte values.
inline const Oid kPort1 = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 7, 3, 1, 5, 3, 1};
inline const Oid kPort2 = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 7, 3, 1, 5, 3, 2};
inline const Oid kSysLocation = {1, 3, 6, 1, 2, 1, 1, 6, 0};

inline std::string OidBytes(const Oid& oid) {
    std::string bytes(oid.size() * 4 + 1, '\0');
    OidToBytes(reinterpret_cast<uint8_t*>(bytes.data()), oid.data(),
               static_cast<uint32_t>(oid.size()));
    bytes.pop_back();
    return bytes;
}

class EventLog : public ::testing::Test {
protected:
    void SetUp() override {
        g_DataBase.SetTimeRegisters(&clock_);
        SetTime(1000);
        ntcip_set_logging_disabled_source(nullptr);
        g_DataBase.Set(dbo::maxEventClasses, 16, kDbReplayFlags);
        g_DataBase.Set(dbo::maxEventLogSize, 255, kDbReplayFlags);
        g_DataBase.Set(dbo::fdotLogFullLatch, 0, kDbReplayFlags);
        for (uint32_t i = 0; i < CEventLogging::kConfigs; ++i) {
            g_DataBase.Set(dbo::eventConfigAction, 2, kDbReplayFlags, i);
        }
        for (uint32_t c = 0; c < 16; ++c) {
            g_DataBase.Set(dbo::eventClassLimit, 0, kDbReplayFlags, c);
            g_DataBase.Set(dbo::eventClassNumRowsInLog, 0, kDbReplayFlags, c);
            g_DataBase.Set(dbo::eventClassClearTime, 0, kDbReplayFlags, c);
        }
        for (uint32_t k = 0; k < 16 * 255; ++k) {
            g_DataBase.Set(dbo::eventLogID, 1, kDbReplayFlags, k);
            g_DataBase.Set(dbo::eventLogTime, 0, kDbReplayFlags, k);
            g_DataBase.SetText(dbo::eventLogValue, "", 0, kDbReplayFlags, k);
        }
        g_DataBase.Set(dbo::auxIOPortValue, 0, kDbReplayFlags, 0);
        g_DataBase.Set(dbo::auxIOPortValue, 0, kDbReplayFlags, 1);
        trap_record scratch;
        while (g_TrapBuffer.Pop(&scratch)) {
        }
    }
    void TearDown() override { g_DataBase.SetTimeRegisters(&BoardTimeRegisters::Instance()); }

    void SetTime(uint32_t seconds) {
        const DbObject& t = dbo::globalTime;
        g_DataBase.SetRegisterTime(t.id, t.width, seconds, t.image, 0);
        now_ = seconds;
    }
    void Advance(uint32_t seconds) { SetTime(now_ + seconds); }
    void Watch(uint32_t value) { g_DataBase.Set(dbo::auxIOPortValue, value, kDbReplayFlags, 0); }

    // Configuration i (0-based) logging into class c (1-based).
    void Configure(uint32_t i, uint32_t c, uint32_t mode, uint32_t cv1, uint32_t cv2,
                   const Oid& compare = kPort1, const Oid& log = kPort1) {
        g_DataBase.Set(dbo::eventConfigClass, c, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigMode, mode, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigCompareValue, cv1, kDbReplayFlags, i);
        g_DataBase.Set(dbo::eventConfigCompareValue2, cv2, kDbReplayFlags, i);
        SetOid(dbo::eventConfigCompareOID, i, OidBytes(compare));
        SetOid(dbo::eventConfigLogOID, i, OidBytes(log));
        g_DataBase.Set(dbo::eventConfigAction, 3, kDbReplayFlags, i);
    }
    static void SetOid(const DbObject& column, uint32_t i, const std::string& bytes) {
        g_DataBase.SetText(column, bytes.data(), static_cast<uint32_t>(bytes.size()),
                           kDbReplayFlags, i);
    }
    static void Limit(uint32_t c, uint32_t limit) {
        g_DataBase.Set(dbo::eventClassLimit, limit, kDbReplayFlags, c - 1u);
    }
    static uint32_t Rows(uint32_t c) { return g_DataBase.Get(dbo::eventClassNumRowsInLog, c - 1u); }
    static uint32_t Time(uint32_t c, uint32_t k) {
        return g_DataBase.Get(dbo::eventLogTime, 255 * (c - 1u) + (k - 1u));
    }
    static uint32_t Id(uint32_t c, uint32_t k) {
        return g_DataBase.Get(dbo::eventLogID, 255 * (c - 1u) + (k - 1u));
    }
    static std::string Value(uint32_t c, uint32_t k) {
        uint32_t length = 0;
        const char* text =
            g_DataBase.GetText(dbo::eventLogValue, &length, 255 * (c - 1u) + (k - 1u));
        return text == nullptr ? std::string() : std::string(text, length);
    }
    // Times of the used entries of class c, in entry order.
    static std::vector<uint32_t> Times(uint32_t c) {
        std::vector<uint32_t> times;
        for (uint32_t k = 1; k <= 255; ++k) {
            if (Time(c, k) != 0) {
                times.push_back(Time(c, k));
            }
        }
        return times;
    }
    // n entries in class c at times 1..n (configuration 0, recording port 1).
    void Fill(uint32_t c, uint32_t n) {
        Configure(0, c, 1, 0, 0);
        for (uint32_t t = 1; t <= n; ++t) {
            SetTime(t);
            engine_.Log(0);
        }
    }

    snmp_test::AgentHarness agent_;  // links the MIB the internal gets walk
    MemoryTimeRegisters clock_;
    CEventLogging engine_;
    uint32_t now_ = 0;
};

}  // namespace event_test
