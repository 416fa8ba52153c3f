// The schedule task on the stepped clock with a settable board clock: which day-plan event is in
// effect, what reaches activation slot 6, and the power-up restore with its traps.
#include "schedule/schedule_task.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/ntcip_ip.h"
#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/send_trap.h"
#include "peripherals/clock.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/rtc.h"
#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

constexpr int64_t kHostNow = 1780000000;  // the host's clock, fixed for the tests
constexpr uint32_t kSchedule = 9;

// 2026-03-04 (a Wednesday) at hh:mm, seconds since 1970.
uint32_t At(int hour, int minute, int day = 4) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 2;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    uint32_t seconds = 0;
    DateTimeToSeconds(&t, &seconds);
    return seconds;
}

std::vector<std::string>& Traps() {
    static std::vector<std::string> traps;
    return traps;
}

int RecordTrap(uint32_t generic, uint32_t specific, uint32_t count, const trap_varbind*) {
    Traps().push_back(std::to_string(generic) + "/" + std::to_string(specific) + "/" +
                      std::to_string(count));
    return 1;
}

class ScheduleTaskTest : public testing_support::KernelTest {
protected:
    ScheduleTaskTest() {
        sim::Rtc::SetHostClock([] { return kHostNow; });
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("dms_schedule_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        monitor::MonitorConfig config;
        config.boardDir = dir_.string();
        board_ = std::make_unique<monitor::Monitor>(config);
        EXPECT_TRUE(board_->Boot());
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        g_DataBase.SetNotificationEnabled(false);
        g_DataBase.SetValidationEnabled(false);
        dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        global_factory_defaults(g_DataBase, kDefaultsFirstStart);
        dms_volatile_defaults(g_DataBase);
        private_volatile_defaults(g_DataBase);
        CClock::Objects zone;
        zone.get = [](uint32_t, uint32_t, bool) { return 0u; };  // local time is global time
        clock_ = std::make_unique<CClock>(zone);
        Traps().clear();
        ntcip_set_send_trap(&RecordTrap);
    }
    ~ScheduleTaskTest() override {
        Shutdown();
        task_.reset();
        ntcip_set_send_trap(nullptr);
        board_.reset();
        sim::Rtc::SetHostClock(nullptr);
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        std::filesystem::remove_all(dir_);
    }

    void SetTime(uint32_t seconds) { board_->Nvram().SetGlobalTime(seconds); }

    // Starts the task: its first tick, the start-up check and the first cycle.
    void Start(uint8_t powerUpKind = 2) {
        if (!kernel_) {
            kernel_ = std::make_unique<kernel::Kernel>();
        }
        CScheduleTask::Services services;
        services.findClock = [this] { return clock_.get(); };
        services.powerUpKind = [powerUpKind] { return powerUpKind; };
        task_ = std::make_unique<CScheduleTask>(g_PostOffice, &events_, services);
        task_->Start();
        Boot([this](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(task_->Create(&stacks_));
        });
        Advance(100 + 40 + 50);
        ASSERT_TRUE(task_->ResetCheckDone());
    }
    // Ends the task and its kernel, for a fresh start.
    void Restart() {
        Shutdown();
        task_.reset();
    }
    // Puts the sign under schedule control and clears slot 6.
    void UnderSchedule() {
        g_DataBase.Set(dbo::dmsMsgSourceMode, kSchedule, 0);
        ClearSlot();
    }
    void ClearSlot() { g_DataBase.SetText(dbo::requestCode, "", 0, 0, 6); }
    void Cycle() { Advance(50); }

    // Schedule row (1-based) with its masks and day plan.
    static void Entry(uint32_t row, uint32_t months, uint32_t days, uint32_t dates, uint32_t plan) {
        g_DataBase.Set(dbo::timeBaseScheduleMonth, months, 0, row - 1);
        g_DataBase.Set(dbo::timeBaseScheduleDay, days, 0, row - 1);
        g_DataBase.Set(dbo::timeBaseScheduleDate, dates, 0, row - 1);
        g_DataBase.Set(dbo::timeBaseScheduleDayPlan, plan, 0, row - 1);
    }
    static void AllDays(uint32_t row, uint32_t plan) { Entry(row, 0x1FFE, 0xFE, 0xFFFFFFFE, plan); }
    // Event e of plan p at hh:mm whose action OID is the given sub-identifiers.
    static void EventOid(uint32_t plan, uint32_t event, uint32_t hour, uint32_t minute,
                         const std::vector<uint32_t>& oid) {
        const uint32_t row = 24 * (plan - 1) + (event - 1);
        g_DataBase.Set(dbo::dayPlanHour, hour, 0, row);
        g_DataBase.Set(dbo::dayPlanMinute, minute, 0, row);
        std::vector<uint8_t> bytes;
        for (uint32_t s : oid) {
            for (int shift = 24; shift >= 0; shift -= 8) {
                bytes.push_back(uint8_t(s >> shift));
            }
        }
        g_DataBase.SetText(dbo::dayPlanActionNumberOID, bytes.data(), uint32_t(bytes.size()), 0,
                           row);
    }
    static std::vector<uint32_t> ActionOid(uint32_t action) {
        return {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 8, 2, 1, 1, action};
    }
    static void Event(uint32_t plan, uint32_t event, uint32_t hour, uint32_t minute,
                      uint32_t action) {
        EventOid(plan, event, hour, minute, ActionOid(action));
    }
    static void IdCode(const DbObject& object, uint32_t row, uint8_t type, uint16_t number,
                       uint16_t crc) {
        CMsgIDCode id;
        id.Set(type, number, crc);
        g_DataBase.SetText(object, id.raw, CMsgIDCode::kSize, 0, row);
    }
    // Action n shows changeable message m (CRC given, or 0: resolved from the store).
    static void Action(uint32_t n, uint8_t type, uint16_t number, uint16_t crc) {
        IdCode(dbo::dmsActionMsgCode, n - 1, type, number, crc);
    }
    // Changeable message n: text "MSG n", CRC 0x100 + n, the given status.
    static void Message(uint16_t n, uint32_t status = 4, uint16_t crc = 0) {
        const std::string text = "MSG " + std::to_string(n);
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()), 0,
                           n - 1u);
        g_DataBase.Set(dbo::dmsMessageCRC, crc != 0 ? crc : 0x100u + n, 0, n - 1u);
        g_DataBase.Set(dbo::dmsMessageStatus, status, 0, n - 1u);
    }
    // Actions 1..4 name changeable messages 1..4.
    static void Actions() {
        for (uint16_t n = 1; n <= 4; ++n) {
            Message(n);
            Action(n, 3, n, uint16_t(0x100 + n));
        }
    }

    // Slot 6 as "type/number/duration/crc source", "-" when empty.
    static std::string Slot() {
        uint8_t raw[13] = {};
        if (g_DataBase.ReadString(dbo::requestCode.Row(6), dbo::requestCode.image, raw,
                                  sizeof raw) != 12) {
            return "-";
        }
        CMsgActivationCode c;
        c.Unpack(raw);
        char text[80];
        std::snprintf(text, sizeof text, "%u/%u/%u/%X p%u %u.%u.%u.%u src%u", c.memoryType,
                      c.messageNumber, c.duration, c.crc, c.priority, c.sourceAddress[0],
                      c.sourceAddress[1], c.sourceAddress[2], c.sourceAddress[3],
                      g_DataBase.Get(dbo::requestSourceMode, 6));
        return text;
    }
    static std::string ScheduleMessage() {
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(dbo::scheduleMessageMultiString, &length);
        return std::string(text, length) + "/" +
               std::to_string(g_DataBase.Get(dbo::scheduleMessageCRC));
    }

    std::filesystem::path dir_;
    std::unique_ptr<monitor::Monitor> board_;
    std::unique_ptr<CClock> clock_;
    std::unique_ptr<CScheduleTask> task_;
    TX_EVENT_FLAGS_GROUP events_{};
};

// Which event is in effect, and what reaches slot 6.
TEST_F(ScheduleTaskTest, EventInEffect) {
    const uint32_t wednesday = 1u << 4;
    const uint32_t tuesday = 1u << 3;
    const uint32_t march = 1u << 3;
    const uint32_t fourth = 1u << 4;
    struct Case {
        const char* name;
        std::function<void()> setUp;
        uint32_t now;
        std::string slot;  // message number requested, "-" none
        uint32_t dayPlanStatus;
    };
    const std::vector<Case> cases = {
        {"the latest time, not the highest event",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 30, 1);
             Event(1, 2, 8, 10, 2);
         },
         At(9, 0), "1", 1},
        {"the same minute: the later event",
         [] {
             AllDays(1, 1);
             Event(1, 1, 7, 0, 1);
             Event(1, 2, 7, 0, 2);
         },
         At(7, 30), "2", 2},
        {"an event of this very minute is in effect",
         [] {
             AllDays(1, 1);
             Event(1, 1, 7, 0, 1);
             Event(1, 2, 8, 30, 2);
         },
         At(8, 30), "2", 2},
        {"before today's first event: yesterday's last",
         [=] {
             Entry(1, 0x1FFE, wednesday, 0xFFFFFFFE, 1);
             Entry(2, 0x1FFE, tuesday, 0xFFFFFFFE, 2);
             Event(1, 1, 6, 0, 1);
             Event(2, 1, 20, 0, 2);
             Event(2, 2, 23, 0, 3);
             Event(2, 3, 7, 0, 4);
         },
         At(0, 30), "3", 2},
        {"nothing yet today and no entry yesterday",
         [=] {
             Entry(1, 0x1FFE, wednesday, 0xFFFFFFFE, 1);
             Event(1, 1, 6, 0, 1);
         },
         At(0, 30), "-", 0},
        {"a narrower row replaces the first",
         [=] {
             AllDays(1, 1);
             Entry(2, march, 0xFE, 0xFFFFFFFE, 2);
             Event(1, 1, 1, 0, 1);
             Event(2, 1, 1, 0, 2);
         },
         At(9, 0), "2", 1},
        {"each row narrower in one mask: the later row (month, date)",
         [=] {
             Entry(1, 0x1FFE, 0xFE, fourth, 1);
             Entry(2, march, 0xFE, 0xFFFFFFFE, 2);
             Event(1, 1, 1, 0, 1);
             Event(2, 1, 1, 0, 2);
         },
         At(9, 0), "2", 1},
        {"each row narrower in one mask: the later row (date, month)",
         [=] {
             Entry(1, march, 0xFE, 0xFFFFFFFE, 1);
             Entry(2, 0x1FFE, 0xFE, fourth, 2);
             Event(1, 1, 1, 0, 1);
             Event(2, 1, 1, 0, 2);
         },
         At(9, 0), "2", 1},
        {"a row with no bits never applies",
         [] {
             Entry(1, 0, 0, 0, 1);
             Event(1, 1, 1, 0, 1);
         },
         At(9, 0), "-", 0},
        {"a day plan outside 1..20 has no events",
         [] {
             AllDays(1, 21);
             Event(1, 1, 1, 0, 1);
         },
         At(9, 0), "-", 0},
        {"hours and minutes out of range are no time of day",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             Event(1, 2, 8, 75, 2);
             Event(1, 3, 24, 0, 3);
         },
         At(9, 30), "1", 1},
        {"an OID of only the action table's prefix is no action",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             EventOid(1, 2, 8, 30, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 8, 2, 1, 1});
         },
         At(9, 0), "1", 1},
        {"an OID of another object is no action",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             EventOid(1, 2, 8, 30, {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 6, 3, 0});
         },
         At(9, 0), "1", 1},
        {"action numbers outside 1..255 request nothing",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             Event(1, 2, 8, 30, 256);
         },
         At(9, 0), "-", 0},
        {"an action without its message code requests nothing",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 9);
         },
         At(9, 0), "-", 0},
        {"a message that is not valid is not requested",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             Message(1, 3);
         },
         At(9, 0), "-", 0},
        {"an action naming a volatile message does nothing",
         [] {
             AllDays(1, 1);
             Event(1, 1, 8, 0, 1);
             Action(1, 4, 1, 0);
         },
         At(9, 0), "-", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        for (uint32_t row = 0; row < 29; ++row) {
            g_DataBase.Set(dbo::timeBaseScheduleMonth, 0, 0, row);
        }
        for (uint32_t row = 0; row < 480; ++row) {
            g_DataBase.SetText(dbo::dayPlanActionNumberOID, "", 0, 0, row);
        }
        Actions();
        c.setUp();
        g_DataBase.Set(dbo::dayPlanStatus, 0, 0);
        g_DataBase.Set(dbo::scheduleMessageCRC, 0, 0);
        SetTime(c.now);
        Start();
        UnderSchedule();
        Cycle();
        if (c.slot == "-") {
            EXPECT_EQ(Slot(), "-");
        } else {
            char text[80];
            const unsigned n = unsigned(std::stoul(c.slot));
            std::snprintf(text, sizeof text, "3/%u/65535/%X p255 127.0.0.1 src9", n, 0x100 + n);
            EXPECT_EQ(Slot(), text);
            EXPECT_EQ(ScheduleMessage(), "MSG " + c.slot + "/" + std::to_string(0x100 + n));
        }
        EXPECT_EQ(g_DataBase.Get(dbo::dayPlanStatus), c.dayPlanStatus);
    }
}

// The schedule asks for a message once, again only when the action's message changes; it sleeps
// while another source has the sign; letter 118 puts the sign back under its control.
TEST_F(ScheduleTaskTest, RequestsOnceAndOnlyUnderScheduleControl) {
    AllDays(1, 1);
    Event(1, 1, 8, 0, 1);
    Actions();
    Action(1, 3, 1, 0);  // CRC 0: the stored CRC counts
    SetTime(At(9, 0));
    Start();
    ClearSlot();  // the restore after the reset
    Cycle();
    EXPECT_EQ(Slot(), "-") << "not under schedule control after a reset";

    UnderSchedule();
    Cycle();
    EXPECT_EQ(Slot(), "3/1/65535/101 p255 127.0.0.1 src9");
    ClearSlot();
    Cycle();
    EXPECT_EQ(Slot(), "-") << "already requested";

    Message(1, 4, 0x777);  // the message is edited
    Cycle();
    EXPECT_EQ(Slot(), "3/1/65535/777 p255 127.0.0.1 src9");
    EXPECT_EQ(ScheduleMessage(), "MSG 1/1911");

    // A central message takes over: the schedule keeps still, even at its next event.
    g_DataBase.Set(dbo::dmsMsgSourceMode, 8, 0);
    ClearSlot();
    Event(1, 2, 9, 0, 2);
    Cycle();
    EXPECT_EQ(Slot(), "-");

    InThread([] { g_PostOffice.PostLetter(kLetterScheduleClear); });
    Cycle();
    EXPECT_EQ(Slot(), "7/255/65535/0 p255 127.0.0.1 src9");
    EXPECT_EQ(ScheduleMessage(), "/0");
    g_DataBase.Set(dbo::dmsMsgSourceMode, kSchedule, 0);  // the blank was served
    Cycle();
    EXPECT_EQ(Slot(), "3/2/65535/102 p255 127.0.0.1 src9");
}

// When the schedule no longer has an entry or an event, the sign is blanked once.
TEST_F(ScheduleTaskTest, BlankedOnceWhenTheScheduleRunsOut) {
    AllDays(1, 1);
    Event(1, 1, 8, 0, 1);
    Actions();
    SetTime(At(9, 0));
    Start();
    UnderSchedule();
    Cycle();
    ASSERT_EQ(Slot(), "3/1/65535/101 p255 127.0.0.1 src9");

    struct Step {
        const char* name;
        std::function<void()> change;
    };
    for (const Step& step : {
             Step{"the event is gone",
                  [] { g_DataBase.SetText(dbo::dayPlanActionNumberOID, "", 0, 0, 0); }},
             Step{"the entry is gone", [] { Entry(1, 0, 0, 0, 1); }},
         }) {
        SCOPED_TRACE(step.name);
        AllDays(1, 1);
        Event(1, 1, 8, 0, 1);
        g_DataBase.Set(dbo::scheduleMessageCRC, 0, 0);
        Cycle();
        ClearSlot();
        step.change();
        Cycle();
        EXPECT_EQ(Slot(), "7/255/65535/0 p255 127.0.0.1 src9");
        EXPECT_EQ(ScheduleMessage(), "/0");
        ClearSlot();
        Cycle();
        EXPECT_EQ(Slot(), "-") << "once";
    }
}

// Bad rows leave the task running at its period.
TEST_F(ScheduleTaskTest, KeepsItsPeriodWithBadRows) {
    Entry(1, 0xFFFF, 0xFF, 0xFFFFFFFF, 1);
    for (uint32_t row = 2; row <= 29; ++row) {
        Entry(row, 0xFFFF, 0xFF, 0xFFFFFFFF, 200);
    }
    for (uint32_t e = 1; e <= 24; ++e) {
        std::vector<uint32_t> oid = ActionOid(1);
        oid.resize(40, 0xFFFFFFFF);
        EventOid(1, e, 255, 255, oid);
    }
    Actions();
    SetTime(At(9, 0));
    Start();
    UnderSchedule();
    const uint32_t before = task_->ticks;
    Advance(50 * 10);
    EXPECT_EQ(task_->ticks - before, 10u);
    EXPECT_EQ(Slot(), "-");
}

// Power-up restore: what slot 6 holds after the start-up check, and the traps.
TEST_F(ScheduleTaskTest, PowerUpRestore) {
    struct Case {
        const char* name;
        uint8_t kind;
        uint32_t offSeconds;
        uint32_t shortLoss;
        uint8_t resetType;   // dmsResetMessage / the recovery messages name this type
        const char* stored;  // storedActivateMessage "type/number/crc", "" none, "bad"
        uint32_t remaining;  // dmsMessageTimeRemaining
        std::string slot;
        uint32_t origin;  // activationOrigin after the check
        std::string traps;
    };
    const std::vector<Case> cases = {
        {"short power loss", 0, 90, 120, 3, "", 0, "3/1/65535/101 p255 127.0.0.1 src10", 1,
         "0/0/0 6/19/2"},
        {"long power loss", 0, 600, 120, 3, "", 0, "3/2/65535/102 p255 127.0.0.1 src10", 7,
         "0/0/0 6/19/2"},
        {"no short time set: always long", 0, 10, 0, 3, "", 0, "3/2/65535/102 p255 127.0.0.1 src10",
         7, "0/0/0 6/19/2"},
        {"warm start", 1, 90, 120, 3, "", 0, "3/3/65535/103 p255 127.0.0.1 src11", 1,
         "1/0/0 6/20/2"},
        {"reset", 2, 90, 120, 3, "", 0, "3/3/65535/103 p255 127.0.0.1 src11", 1, ""},
        {"the message on display with its time left", 2, 180, 120, 5, "3/4/104", 5,
         "3/4/2/104 p255 127.0.0.1 src11", 1, ""},
        {"its time ran out while off: blank", 2, 360, 120, 5, "3/4/104", 5,
         "7/1/65535/0 p255 127.0.0.1 src11", 1, ""},
        {"its time exactly used up: blank", 2, 300, 120, 5, "3/4/104", 5,
         "7/1/65535/0 p255 127.0.0.1 src11", 1, ""},
        {"shown for ever", 2, 100000, 120, 5, "3/4/104", 65535,
         "3/4/65535/104 p255 127.0.0.1 src11", 1, ""},
        {"after a short power loss", 0, 90, 120, 5, "3/4/104", 5, "3/4/4/104 p255 127.0.0.1 src10",
         1, "0/0/0 6/19/2"},
        {"a volatile message does not come back", 2, 0, 120, 5, "4/1/0", 5,
         "7/1/65535/0 p255 127.0.0.1 src11", 1, ""},
        {"a stored code of the wrong length", 2, 0, 120, 5, "bad", 5, "-", 1, ""},
        {"no message named", 2, 0, 120, 0, "", 0, "-", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        Traps().clear();
        Actions();
        g_DataBase.Set(dbo::activationOrigin, 1, 0);
        g_DataBase.Set(dbo::dmsShortPowerLossTime, c.shortLoss, 0);
        ClearSlot();
        if (c.resetType == 0) {
            g_DataBase.SetText(dbo::dmsResetMessage, "", 0, 0);
        } else {
            const bool buffer = c.resetType == 5;
            IdCode(dbo::dmsShortPowerRecoveryMessage, 0, c.resetType, 1, buffer ? 0 : 0x101);
            IdCode(dbo::dmsLongPowerRecoveryMessage, 0, c.resetType, buffer ? 1 : 2,
                   buffer ? 0 : 0x102);
            IdCode(dbo::dmsResetMessage, 0, c.resetType, buffer ? 1 : 3, buffer ? 0 : 0x103);
        }
        if (std::string(c.stored) == "bad") {
            g_DataBase.SetText(dbo::storedActivateMessage, "short", 5, 0);
        } else if (*c.stored != '\0') {
            unsigned type = 0, number = 0, crc = 0;
            ASSERT_EQ(std::sscanf(c.stored, "%u/%u/%x", &type, &number, &crc), 3);
            CMsgActivationCode code;
            code.duration = 10;
            code.priority = 3;
            code.memoryType = uint8_t(type);
            code.messageNumber = uint16_t(number);
            code.crc = uint16_t(crc);
            std::memset(code.sourceAddress, 0, 4);
            code.Pack();
            g_DataBase.SetText(dbo::storedActivateMessage, code.raw, 12, 0);
        }
        g_DataBase.Set(dbo::dmsMessageTimeRemaining, c.remaining, 0);
        // The time saved before the restart, and the board's clock after the time off.
        const uint32_t saved = At(12, 0);
        SetTime(saved);
        board_->Rtc().Set(int64_t(saved) + c.offSeconds);
        clock_ = std::make_unique<CClock>();
        clock_->Poll();
        Start(c.kind);
        EXPECT_EQ(Slot(), c.slot);
        EXPECT_EQ(g_DataBase.Get(dbo::activationOrigin), c.origin);
        std::string traps;
        for (const std::string& t : Traps()) {
            traps += (traps.empty() ? "" : " ") + t;
        }
        EXPECT_EQ(traps, c.traps);
        EXPECT_EQ(clock_->ReadGlobalTime(), saved + c.offSeconds) << "the clock caught up";
    }
}

TEST_F(ScheduleTaskTest, MissingClockReportsAndRestoresWithoutOffTime) {
    IdCode(dbo::dmsResetMessage, 0, 7, 4, 0);
    clock_.reset();
    Start(2);
    EXPECT_NE(Captured().find("CScheduleTask::CheckResetType: error finding clock\n"),
              std::string::npos);
    EXPECT_EQ(Slot(), "7/4/65535/0 p255 127.0.0.1 src11");
}

// A change of the central system's address reaches the trap side on its database event only.
TEST_F(ScheduleTaskTest, CentralAddressOnItsDatabaseEvent) {
    Start();
    g_NtcipIp = CNTCIP_IP{};
    g_DataBase.Set(dbo::brenRemoteIPAddress, 0x0A010203, 0);
    g_DataBase.Set(dbo::brenRemoteIPPort, 2162, 0);
    Cycle();
    EXPECT_EQ(g_NtcipIp.central, 0u);
    InThread([this] { tx_event_flags_set(&events_, CScheduleTask::kEventRemoteAddress, TX_OR); });
    Cycle();
    EXPECT_EQ(g_NtcipIp.central, 0x0A010203u);
    EXPECT_EQ(g_NtcipIp.centralBytes[0], 10);
    EXPECT_EQ(g_NtcipIp.centralTrapPort, 2162);
    g_NtcipIp = CNTCIP_IP{};
}

}  // namespace
