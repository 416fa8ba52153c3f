// The display task on the stepped clock: page, flash and duration sequencing of an activated
// message, request slots with priorities and pre-emption, every activation error, drift warning.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/time_registers.h"
#include "display/display.h"
#include "display/display_driver.h"
#include "display/module_type.h"
#include "display/tests/factory_database.h"
#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"
#include "render/render_sign_store.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

// Lit pixel count of every frame the sign receives.
class RecordingDriver : public display_driver {
public:
    void SetBrightness(uint32_t) override {}
    uint32_t GetBrightness() override { return 255; }
    bool Init(uint32_t, uint32_t, uint32_t) override { return true; }
    int32_t WriteFrame(CSurface* surface, uint32_t, uint32_t) override {
        uint32_t lit = 0;
        for (int32_t y = 0; y < surface->Height(); ++y) {
            for (int32_t x = 0; x < surface->Width(); ++x) {
                lit += surface->GetPixel(x, y) != 0;
            }
        }
        frames.push_back(lit);
        return 0;
    }
    std::vector<uint32_t> frames;
};

constexpr uint32_t kHeight = 16;
constexpr uint32_t kWidth = 48;

class DisplayTaskTest : public testing_support::KernelTest {
protected:
    DisplayTaskTest() : store_(RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)}) {
        SetTime(1000);
        InstallModuleTypeTable();
        display_ = std::make_unique<CDisplay>(g_PostOffice, nullptr);
        display_->Start();
        Boot([this](uint8_t*) {
            ASSERT_TRUE(display_->Create(&stacks_));
            g_DataBase.Set(dbo::brenModuleID, 116, 0);
            display_->SetSignDriver(&driver_);
            display_->BuildDisplayConfiguration(kHeight, kWidth, 15);
            ASSERT_EQ(display_->FaceCount(), 1u);
        });
        Advance(150);  // the first tick starts the task
    }
    ~DisplayTaskTest() override {
        Shutdown();
        display_.reset();
    }

    void SetTime(uint32_t seconds) {
        g_DataBase.SetRegisterTime(dbo::globalTime.id, dbo::globalTime.width, seconds,
                                   dbo::globalTime.image, 0);
    }
    // Changeable message n: its text, CRC 0x1234 + n, status valid, run-time priority 1.
    void StoreMessage(uint16_t n, const std::string& text, uint32_t status = 4) {
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageCRC, 0x1234u + n, kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageStatus, status, kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageRunTimePriority, 1, kDbSkipValidation, n - 1u);
    }
    static CMsgActivationCode Code(uint8_t type, uint16_t number, uint16_t duration = 65535,
                                   uint8_t priority = 255, int crc = -1) {
        CMsgActivationCode c;
        c.duration = duration;
        c.priority = priority;
        c.memoryType = type;
        c.messageNumber = number;
        c.crc = crc >= 0 ? uint16_t(crc) : type == 3 ? uint16_t(0x1234 + number) : 0;
        const uint8_t address[4] = {10, 1, 2, 3};
        std::memcpy(c.sourceAddress, address, 4);
        c.Pack();
        return c;
    }
    // A request written into a slot as its writers do, served by letter 91 on the next cycle.
    void Request(uint32_t slot, const CMsgActivationCode& code, uint32_t sourceMode = 8) {
        InThread([&] {
            g_DataBase.Set(dbo::requestSourceMode, sourceMode, 0, slot);
            g_DataBase.Set(dbo::requestOrigin, 2, 0, slot);
            g_DataBase.SetText(dbo::requestCode, code.raw, 12, 0, slot);
            g_PostOffice.PostLetter(kLetterActivationRequest);
        });
        Advance(10);
    }
    void Release(uint32_t slot) {
        const uint8_t zero[12] = {};
        InThread([&] {
            g_DataBase.SetText(dbo::requestCode, zero, 12, 0, slot);
            g_PostOffice.PostLetter(kLetterActivationRequest);
        });
        Advance(10);
    }
    uint32_t Error() { return g_DataBase.Get(dbo::dmsActivateMsgError); }
    uint32_t ShownNumber() {
        uint8_t raw[5] = {};
        g_DataBase.ReadString(dbo::dmsMsgTableSource.id, dbo::dmsMsgTableSource.image, raw, 5);
        CMsgIDCode id;
        id.Unpack(raw);
        return id.memoryType * 1000u + id.messageNumber;
    }

    // Runs of equal frames from the given frame on: pages become letters A, B, ... in order of
    // appearance, a dark frame '-'; e.g. "A30 -5 A30".
    std::string Runs(size_t from, size_t count) {
        std::map<uint32_t, char> names;
        std::string out;
        const auto& f = driver_.frames;
        for (size_t i = from; i < f.size() && count > 0; --count) {
            size_t j = i;
            while (j < f.size() && f[j] == f[i]) {
                ++j;
            }
            if (j == f.size()) {
                break;  // the last run may go on
            }
            const char name =
                f[i] == 0 ? '-' : names.emplace(f[i], char('A' + names.size())).first->second;
            out += (out.empty() ? "" : " ") + std::string(1, name) + std::to_string(j - i);
            i = j;
        }
        return out;
    }

    display_test::FactoryDatabase database_;
    CRenderSignStore store_;
    RecordingDriver driver_;
    std::unique_ptr<CDisplay> display_;
};

TEST_F(DisplayTaskTest, PagesFlashAndPageTimesInCycles) {
    struct Case {
        std::string text, runs;
    };
    const Case cases[] = {
        {"[pt30o5]AB", "A30 -5 A30 -5"},
        {"[pt10o3]A[np]BB", "A10 -3 B10 -3 A10 -3"},
        {"[pt30o0][flt3o2]AB[/fl]", "A3 -2 A3 -2 A3"},
        {"[pt0o2]A[np]BB", "A1 -2 B1 -2 A1"},
    };
    uint16_t n = 1;
    for (const Case& c : cases) {
        StoreMessage(n, c.text);
        Request(6, Code(3, n));
        ASSERT_EQ(Error(), 2u) << c.text;
        const size_t from = driver_.frames.size();
        Advance(10 * 100);
        // The activation cycle sends no frame; the first frame is the first page rendered.
        EXPECT_EQ(Runs(from, 8).substr(0, c.runs.size()), c.runs) << c.text;
        ++n;
    }
}

TEST_F(DisplayTaskTest, OnePageWithoutOffTimeStaysLit) {
    for (const std::string text : {"[pt30]AB", "AB"}) {
        StoreMessage(1, text);
        Request(6, Code(3, 1));
        const size_t from = driver_.frames.size();
        Advance(10 * 100);
        ASSERT_GT(driver_.frames.size(), from + 90);
        for (size_t i = from; i < driver_.frames.size(); ++i) {
            ASSERT_GT(driver_.frames[i], 0u) << text << " frame " << i - from;
        }
    }
}

TEST_F(DisplayTaskTest, DurationEndsWithTheEndDurationMessage) {
    StoreMessage(1, "AB");
    StoreMessage(2, "[pt30]CD");
    CMsgIDCode end;
    end.Set(3, 2, 0x1236);
    g_DataBase.SetText(dbo::dmsEndDurationMessage, end.raw, 5, kDbSkipValidation);
    Request(6, Code(3, 1, 2));
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 2u);
    SetTime(1059);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 2u);
    SetTime(1060);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 1u);
    EXPECT_EQ(ShownNumber(), 3001u);
    SetTime(1120);
    Advance(10);  // the count-down writes slot 6; without notices the letter is posted here
    InThread([] { g_PostOffice.PostLetter(kLetterActivationRequest); });
    Advance(10);
    EXPECT_EQ(ShownNumber(), 3002u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMsgSourceMode), 14u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 65535u);
}

TEST_F(DisplayTaskTest, RefusedEndDurationIsAskedForOnce) {
    StoreMessage(1, "AB");
    CMsgIDCode end;
    end.Set(3, 9, 0x9999);  // no such CRC: refused
    g_DataBase.SetText(dbo::dmsEndDurationMessage, end.raw, 5, kDbSkipValidation);
    Request(6, Code(3, 1, 1));
    SetTime(1060);
    uint32_t writes = 0;
    for (int cycle = 0; cycle < 30; ++cycle) {
        g_DataBase.Set(dbo::requestOrigin, 0, 0, 6);
        Advance(10);
        writes += g_DataBase.Get(dbo::requestOrigin, 6) == 2;
    }
    EXPECT_EQ(writes, 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 0u);
}

TEST_F(DisplayTaskTest, BlankingPreemptsAndGivesTheMessageBack) {
    StoreMessage(1, "AB");
    Request(6, Code(3, 1, 10, 100));
    ASSERT_EQ(ShownNumber(), 3001u);
    Request(2, Code(7, 1, 65535, 255), 1);
    EXPECT_EQ(Error(), 2u);
    EXPECT_EQ(ShownNumber(), 7001u);
    SetTime(1000 + 4 * 60);
    Release(2);
    EXPECT_EQ(ShownNumber(), 3001u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageTimeRemaining), 6u);

    // Released after the message's time ran out: the end-duration message instead.
    Request(2, Code(7, 1, 65535, 255), 1);
    SetTime(1000 + 20 * 60);
    CMsgIDCode end;
    end.Set(7, 2, 0);
    g_DataBase.SetText(dbo::dmsEndDurationMessage, end.raw, 5, kDbSkipValidation);
    Release(2);
    InThread([] { g_PostOffice.PostLetter(kLetterActivationRequest); });
    Advance(10);
    EXPECT_EQ(ShownNumber(), 7002u);
}

TEST_F(DisplayTaskTest, PriorityAgainstTheCurrentMessage) {
    StoreMessage(1, "AB");
    StoreMessage(2, "CD");
    Request(6, Code(7, 50, 65535, 255));  // a blank of run-time priority 50
    struct Case {
        uint8_t priority;
        uint32_t error, shown;
    };
    for (const Case& c : {Case{49, 3, 7050}, Case{50, 2, 3001}}) {
        Request(6, Code(3, 1, 65535, c.priority));
        EXPECT_EQ(Error(), c.error) << int(c.priority);
        EXPECT_EQ(ShownNumber(), c.shown) << int(c.priority);
    }
    // Message 1 runs at priority 1: anything from 1 up replaces it.
    Request(6, Code(3, 2, 65535, 1));
    EXPECT_EQ(Error(), 2u);
}

TEST_F(DisplayTaskTest, EveryActivationErrorLeavesTheSignAlone) {
    StoreMessage(1, "AB");
    StoreMessage(2, "AB", 1);    // not valid
    StoreMessage(3, "[xyz]AB");  // unknown tag
    StoreMessage(4, "50 MPH");
    g_DataBase.Set(dbo::dmsCurrentSpeedLimit, 45, kDbSkipValidation);
    struct Case {
        const char* name;
        std::vector<uint8_t> code;
        uint32_t error;
    };
    auto raw = [](const CMsgActivationCode& c) { return std::vector<uint8_t>(c.raw, c.raw + 12); };
    std::vector<uint8_t> shortCode = raw(Code(3, 1));
    shortCode.pop_back();
    const Case cases[] = {
        {"11 octets", shortCode, 1},
        {"speed above the limit", raw(Code(3, 4)), 1},
        {"memory type 1", raw(Code(1, 1)), 5},
        {"memory type 8", raw(Code(8, 1)), 5},
        {"number 0", raw(Code(3, 0)), 6},
        {"changeable 501", raw(Code(3, 501)), 6},
        {"volatile 5", raw(Code(4, 5)), 6},
        {"schedule 2", raw(Code(6, 2)), 6},
        {"blank 256", raw(Code(7, 256)), 6},
        {"permanent 3", raw(Code(2, 3)), 6},
        {"status", raw(Code(3, 2)), 4},
        {"crc", raw(Code(3, 1, 65535, 255, 0x4321)), 7},
        {"blank with a crc", raw(Code(7, 1, 65535, 255, 1)), 7},
        {"multi", raw(Code(3, 3)), 8},
    };
    Request(6, Code(3, 1, 65535, 200));
    ASSERT_EQ(ShownNumber(), 3001u);
    g_DataBase.Set(dbo::dmsMultiSyntaxError, 0, kDbSkipValidation);
    for (const Case& c : cases) {
        InThread([&] {
            g_DataBase.SetText(dbo::dmsActivateMessage, c.code.data(), uint32_t(c.code.size()), 0);
            EXPECT_TRUE(display_activate_requested_message()) << c.name;
        });
        EXPECT_EQ(Error(), c.error) << c.name;
        EXPECT_EQ(ShownNumber(), 3001u) << c.name;
        EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x80u, 0x80u) << c.name;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxError),
                  c.error == 8 ? uint32_t(kMultiUnsupportedTag) : 2u)
            << c.name;
    }
    EXPECT_NE(Captured().find("50 <= 45 ?\nspeed failed to validate\n"), std::string::npos);
    const std::vector<uint8_t> good = raw(Code(3, 1, 65535, 255));
    InThread([&] {
        g_DataBase.SetText(dbo::dmsActivateMessage, good.data(), 12, 0);
        EXPECT_FALSE(display_activate_requested_message());
    });
    EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x80u, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMsgRequesterID), 0x0A010203u);
}

TEST_F(DisplayTaskTest, LateCyclePrintsTheDriftWarning) {
    Captured().clear();
    // Hold the display thread's cycle back two ticks: a higher-priority runner busy with the
    // mutex the cycle takes.
    Advance(10);
    const uint16_t before = display_->rescheduleCount;
    display_->timeOfLastCycle -= 2;
    Advance(10);
    EXPECT_NE(Captured().find("warning Display ticks:12, desired 10\n"), std::string::npos)
        << Captured();
    EXPECT_EQ(display_->rescheduleCount, before + 1);
}

}  // namespace

namespace {

TEST_F(DisplayTaskTest, StoreSplitLettersAndTheEditCountdown) {
    struct Case {
        uint32_t split, controlMode, maxBefore;
        uint32_t maxAfter, countdown, splitAfter;
    };
    // Central control (4) keeps the limit; a limit already at 600 outside local control ends
    // the edit window at once.
    for (const Case& c :
         {Case{2, 2, 500, 600, 8999, 2}, Case{2, 5, 500, 600, 8999, 2},
          Case{2, 4, 500, 500, 8999, 2}, Case{2, 4, 600, 500, 0, 1}, Case{1, 2, 600, 500, 0, 1}}) {
        g_DataBase.Set(dbo::messageStoreSplit, c.split, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsControlMode, c.controlMode, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsMaxChangeableMsg, c.maxBefore, kDbSkipValidation);
        InThread([] { g_PostOffice.PostLetter(kLetterMessageStoreSplit); });
        Advance(10);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsMaxChangeableMsg), c.maxAfter) << c.controlMode;
        EXPECT_EQ(display_->EditCountdown(), c.countdown) << c.controlMode;
        EXPECT_EQ(g_DataBase.Get(dbo::messageStoreSplit), c.splitAfter) << c.controlMode;
    }
}

TEST_F(DisplayTaskTest, PermanentMessageRecount) {
    for (uint32_t k = 500; k < 600; ++k) {
        g_DataBase.Set(dbo::dmsMessageStatus, 1, kDbSkipValidation, k);
    }
    InThread([] { g_PostOffice.PostLetter(kLetterObjectsRestored); });
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsNumPermanentMsg), 2u);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation, 500);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation, 599);
    InThread([] { g_PostOffice.PostLetter(kLetterObjectsRestored); });
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsNumPermanentMsg), 4u);
}

TEST_F(DisplayTaskTest, PixelPowerLimitSwitchesOnOnly) {
    for (const auto& [mode, on] : {std::pair{1u, false}, {2u, true}, {1u, true}}) {
        g_DataBase.Set(dbo::pixelPowerLimitMode, mode, kDbSkipValidation);
        InThread([] { g_PostOffice.PostLetter(kLetterPixelPowerLimitMode); });
        Advance(10);
        EXPECT_EQ((display_->powerLimitFlags & 0x80000000u) != 0, on) << mode;
    }
}

// The lit-pixel cap of a shown message: measured after the face update, applied in the next
// cycle to the level in force; afterwards it only falls until a new message starts.
TEST_F(DisplayTaskTest, LitPixelCapLimitsTheLevelOfAShownMessage) {
    g_DataBase.Set(dbo::litPixelThreshold, 1, kDbSkipValidation, 0);
    g_DataBase.Set(dbo::dmsIllumControl, 4, kDbSkipValidation);
    g_DataBase.Set(dbo::dmsIllumManLevel, 200, kDbSkipValidation);
    g_DataBase.Set(dbo::pixelPowerLimitMode, 2, kDbSkipValidation);
    InThread([] { g_PostOffice.PostLetter(kLetterPixelPowerLimitMode); });
    Advance(10);
    EXPECT_EQ(display_->BrightnessCap(), 255u) << "a dark sign draws little";

    StoreMessage(1, "[pt30o0]AB");
    Request(6, Code(3, 1));
    Advance(50);
    const uint32_t cap = display_->BrightnessCap();
    EXPECT_LT(cap, 200u);
    EXPECT_GE(cap, 2u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsIllumBrightLevelStatus), cap);
    EXPECT_EQ(g_DataBase.Get(dbo::illumLimitStatus), 3u);
    EXPECT_EQ(g_DataBase.Get(dbo::illumRequestedLevel), 200u);

    // The sign goes dark: the cap stays where it was.
    Release(6);
    Advance(50);
    EXPECT_EQ(display_->BrightnessCap(), cap);
}

}  // namespace
