// A peripheral reports its state, is found, enabled and polled, and raises its hook when gone.
#include "peripherals/peripheral.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/debug_print.h"

namespace {

std::string g_log;
int g_destroyed = 0;

class Probe : public CPeripheral {
public:
    Probe(uint16_t id) : CPeripheral(9, id) {}
    void Poll() override { ++polls; }
    int polls = 0;
};

TEST(Peripheral, ConstructionStateTextsAndStatusLine) {
    Probe p(90);
    EXPECT_STREQ(p.name, "        ");
    EXPECT_EQ(p.classCode, 9);
    EXPECT_EQ(p.word, 0);
    EXPECT_EQ(p.listSlot, 0);
    EXPECT_EQ(p.state, 0);
    struct Case {
        uint8_t state;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "SETTING UP"}, Case{1, "INIT ERROR"}, Case{2, "READING"}, Case{3, "COMM ERROR"},
          Case{4, "UNKNOWN"}, Case{5, "READING"}, Case{6, "VALID"}, Case{200, "UNKNOWN"}}) {
        p.state = c.state;
        const char* text = nullptr;
        EXPECT_EQ(p.GetStateText(&text), c.state == 6);
        EXPECT_STREQ(text, c.text);
    }
    g_log.clear();
    DebugSetSink([](const char* t) { g_log += t; });
    p.name = "CLOCK";
    p.state = 6;
    p.PrintStatus();
    DebugSetSink(nullptr);
    EXPECT_EQ(g_log, "CLOCK is currently VALID\n");
}

TEST(Peripheral, DestructorRaisesTheHook) {
    g_destroyed = 0;
    PeripheralSetDestroyHook([] { ++g_destroyed; });
    { Probe p(1); }
    PeripheralSetDestroyHook(nullptr);
    EXPECT_EQ(g_destroyed, 1);
}

TEST(Mediator, FindEnablePollPeriodAndPolling) {
    pl_mediator m;
    Probe a(301), b(301), c(90);
    m.Add(&a);
    m.Add(&b);
    m.Add(&c);
    CPeripheral* found = nullptr;
    EXPECT_TRUE(m.Find(301, &found));
    EXPECT_EQ(found, &a) << "the first live one";
    EXPECT_FALSE(m.Find(7, &found));
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(m.Enable(7));
    EXPECT_TRUE(m.Enable(301));
    EXPECT_EQ(a.enabled, 1);
    EXPECT_EQ(b.enabled, 0);

    uint16_t old = 99;
    a.pollCounter = 1;
    EXPECT_TRUE(m.SetPollPeriod(301, 2, &old));
    EXPECT_EQ(old, 0);
    EXPECT_EQ(a.pollCounter, 0);
    // Divider 2: the counter counts 1, 2, then Poll runs and it restarts.
    for (int i = 0; i < 6; ++i) {
        m.PollAll();
    }
    EXPECT_EQ(a.polls, 2);
    EXPECT_EQ(b.polls, 0) << "disabled";
    m.SetPollCounter(301, 2);
    m.PollAll();
    EXPECT_EQ(a.polls, 3);
    EXPECT_TRUE(m.Disable(301));
    m.Remove(&a);
    EXPECT_TRUE(m.Find(301, &found));
    EXPECT_EQ(found, &b);
    m.Close();
    EXPECT_FALSE(m.Find(90, &found));
}

}  // namespace
