// The pixel test as the display task runs it on the stepped clock over the simulated sign:
// activation, the test frame, the failure tables and pages, the result registry, the blanks for
// pixel errors with their trap, and the requests that come at the wrong time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/diag_5520.h"
#include "display/display.h"
#include "display/display_driver.h"
#include "display/module_type.h"
#include "display/tests/factory_database.h"
#include "ntcip/report_objects.h"
#include "ntcip/send_trap.h"
#include "platform/sim/epld_bitstream.h"
#include "platform/sim/hw.h"
#include "platform/sim/sign.h"
#include "render/msg_activation_code.h"
#include "render/msg_id_code.h"
#include "render/render_sign_store.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

// Lit pixels of each frame the sign receives, in all and by row.
class CountingDriver : public display_driver {
public:
    void SetBrightness(uint32_t) override {}
    uint32_t GetBrightness() override { return 255; }
    bool Init(uint32_t, uint32_t, uint32_t) override { return true; }
    int32_t WriteFrame(CSurface* surface, uint32_t, uint32_t) override {
        uint32_t lit = 0;
        rows.assign(size_t(surface->Height()), 0);
        for (int32_t y = 0; y < surface->Height(); ++y) {
            for (int32_t x = 0; x < surface->Width(); ++x) {
                rows[size_t(y)] += surface->GetPixel(x, y) != 0;
            }
            lit += rows[size_t(y)];
        }
        frames.push_back(lit);
        return 0;
    }
    std::vector<uint32_t> frames;
    std::vector<uint32_t> rows;  // of the last frame
};

// Change notices as the database task delivers them: letters and the "database" flags.
class Notices : public DbNotifySink {
public:
    void PostLetter(uint32_t id) override { g_PostOffice.PostLetter(id); }
    void SetEventFlags(uint32_t bits) override {
        if (group != nullptr) {
            tx_event_flags_set(group, bits, TX_OR);
        }
    }
    TX_EVENT_FLAGS_GROUP* group = nullptr;
};

struct Trap {
    uint32_t generic, specific, count;
};
std::vector<Trap>& Traps() {
    static std::vector<Trap> traps;
    return traps;
}
int RecordTrap(uint32_t generic, uint32_t specific, uint32_t count, const trap_varbind*) {
    Traps().push_back({generic, specific, count});
    return 1;
}

constexpr uint32_t kHeight = 16;
constexpr uint32_t kWidth = 48;

class PixelTestTask : public testing_support::KernelTest {
protected:
    explicit PixelTestTask(uint32_t height = kHeight, uint32_t width = kWidth)
        : store_(RenderSignGeometry{int32_t(width), int32_t(height)}),
          sign_(SignOf(height, width)) {
        fdot_factory_defaults(g_DataBase, kDefaultsFirstStart);
        InstallModuleTypeTable();
        sign_.Attach();
        const std::vector<uint8_t> bits = sim::MakeEpldBitstream(12, 64);
        EXPECT_TRUE(sign_.GetEpld().Load(bits.data(), bits.size()));
        hw::Write16(0xF0400002, uint16_t(width));
        hw::Write16(0xF0400004, uint16_t(height));
        Traps().clear();
        ntcip_set_send_trap(&RecordTrap);
        display_ = std::make_unique<CDisplay>(g_PostOffice, &events_);
        display_->Start();
        Boot([&](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            notices_.group = &events_;
            g_DataBase.SetNotifySink(&notices_);
            g_DataBase.SetNotificationEnabled(true);
            ASSERT_TRUE(display_->Create(&stacks_));
            g_DataBase.Set(dbo::brenModuleID, 116, 0);
            display_->SetSignDriver(&driver_);
            display_->BuildDisplayConfiguration(uint16_t(height), uint16_t(width), 15);
            built_ = display_->FaceCount() == 1;
        });
        // The first cycle reloads the configuration the build notified, which restarts the
        // task's timer: the cycles run regularly from the second one on.
        Advance(150);
        for (uint32_t i = 0; i < 100 && display_->runs < 3; ++i) {
            Advance(10);
        }
    }
    ~PixelTestTask() override {
        Shutdown();
        display_.reset();
        ntcip_set_send_trap(nullptr);
        sign_.Detach();
    }
    static sim::SignConfig SignOf(uint32_t height, uint32_t width) {
        sim::SignConfig c;
        c.lineLengths.assign(height / 8 != 0 ? height / 8 : 1, width / 8 != 0 ? width / 8 : 1);
        return c;
    }

    void Set(const DbObject& object, uint32_t value, uint32_t row = 0) {
        InThread([&] { g_DataBase.Set(object, value, kDbNotify | kDbSkipValidation, row); });
    }
    // Asks for a pixel test and runs the clock until it is over (or the limit).
    void RunPixelTest(uint32_t cycles = 50) {
        Set(dbo::pixelTestActivation, 3);
        for (uint32_t i = 0; i < cycles && (i < 2 || display_->PixelTestRunning()); ++i) {
            Advance(10);
        }
    }
    void ShowMessage(const std::string& text) {
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsMessageCRC, 0x1235, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation, 0);
        CMsgActivationCode c;
        c.duration = 65535;
        c.priority = 255;
        c.memoryType = 3;
        c.messageNumber = 1;
        c.crc = 0x1235;
        std::fill(std::begin(c.sourceAddress), std::end(c.sourceAddress), 0);
        c.Pack();
        Request(6, c, 8);
    }
    void Request(uint32_t slot, const CMsgActivationCode& code, uint32_t sourceMode) {
        InThread([&] {
            g_DataBase.Set(dbo::requestSourceMode, sourceMode, 0, slot);
            g_DataBase.Set(dbo::requestOrigin, 2, 0, slot);
            g_DataBase.SetText(dbo::requestCode, code.raw, 12, kDbNotify, slot);
        });
        Advance(20);
    }
    // The failure rows of the pixel test: (x, y, status, colour bits) in row order.
    std::vector<std::vector<uint32_t>> TestRows() {
        std::vector<std::vector<uint32_t>> rows;
        for (uint32_t n = 0; n < g_DataBase.Get(dbo::dmsPixelFailureTestRows); ++n) {
            const uint32_t s = 500 + n;
            rows.push_back({g_DataBase.Get(dbo::pixelFailureXLocation, s),
                            g_DataBase.Get(dbo::pixelFailureYLocation, s),
                            g_DataBase.Get(dbo::pixelFailureStatus, s),
                            g_DataBase.Get(dbo::pixelFailureColorBits, s)});
        }
        return rows;
    }
    static std::string Text(const DbObject& o, uint32_t row = 0) {
        uint32_t length = 0;
        const char* text = g_DataBase.GetText(o, &length, row);
        return std::string(text, length);
    }
    sim::ModuleBus& Modules() { return sign_.Modules(); }

    display_test::FactoryDatabase database_;
    CRenderSignStore store_;
    sim::Sign sign_;
    Notices notices_;
    TX_EVENT_FLAGS_GROUP events_{};
    CountingDriver driver_;
    std::unique_ptr<CDisplay> display_;
    bool built_ = false;
};

TEST_F(PixelTestTask, FinishedTestFillsTheTables) {
    ASSERT_TRUE(built_);
    for (auto [x, y] : {std::pair{0, 0}, {5, 0}, {2, 1}}) {
        for (unsigned colour = 0; colour < 3; ++colour) {
            Modules().SetDeadLed(unsigned(x), unsigned(y), colour);
        }
    }
    Modules().SetDeadLed(40, 12, 0);  // red and blue of one pixel
    Modules().SetDeadLed(40, 12, 2);
    RunPixelTest();
    ASSERT_FALSE(display_->PixelTestRunning());
    EXPECT_EQ(TestRows(),
              (std::vector<std::vector<uint32_t>>{
                  {1, 1, 6, 0x15}, {6, 1, 6, 0x15}, {3, 2, 6, 0x15}, {41, 13, 6, 0x11}}));
    EXPECT_EQ(g_DataBase.Get(dbo::brenPixelFailureCountType2), 4u);
    EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x20u, 0x20u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestActivation), 2u);
    // Modules 0 and 5 of the 2 x 6 face hold failures.
    EXPECT_EQ(Text(dbo::moduleErrorBitmap), std::string("\x01\x08", 2));
    // The pixel error page: bits x + 48 y.
    const std::string page = Text(dbo::pixelErrorPage, 0);
    ASSERT_EQ(page.size(), 96u);
    EXPECT_EQ(uint8_t(page[0]), 0x21);                   // bits 0 and 5
    EXPECT_EQ(uint8_t(page[50 / 8]), 1u << (50 % 8));    // (2, 1)
    EXPECT_EQ(uint8_t(page[616 / 8]), 1u << (616 % 8));  // (40, 12)
    EXPECT_EQ(Text(dbo::pixelErrorPage, 1), "");
    // "Pixel Test Errors" is slot 8 of face 1: the 3-bit test frame in its chunks.
    EXPECT_EQ(Text(dbo::pixelTestSlotName, 7), "Pixel Test Errors");
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestSlotDepth, 7), 4u);
    const std::string chunk = Text(dbo::pixelTestResultChunk, 7 * 63);
    ASSERT_EQ(chunk.size(), 288u);
    EXPECT_EQ(uint8_t(chunk[0]) & 7u, 7u);
}

TEST_F(PixelTestTask, TestWithoutFailuresClearsTheErrorBit) {
    Set(dbo::shortErrorStatus, 0x20);
    Set(dbo::dmsPixelFailureTestRows, 7);
    RunPixelTest();
    EXPECT_EQ(g_DataBase.Get(dbo::dmsPixelFailureTestRows), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x20u, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestActivation), 2u);
}

TEST_F(PixelTestTask, ActivationValues) {
    Modules().SetDeadLed(1, 1, 1);
    RunPixelTest();
    ASSERT_EQ(TestRows().size(), 1u);
    Set(dbo::pixelTestActivation, 1);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestActivation), 2u) << "1 becomes 2";
    EXPECT_EQ(TestRows().size(), 1u) << "and nothing else happens";
    Set(dbo::pixelTestActivation, 4);
    Advance(10);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestActivation), 2u);
    EXPECT_EQ(TestRows().size(), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::pixelFailureXLocation, 500), 1u) << "cleared rows hold 1, 1";
    EXPECT_EQ(g_DataBase.Get(dbo::pixelFailureStatus, 500), 0u);
    EXPECT_EQ(g_Diag5520.TestErrorFrame()->LitCount(), 0u);
}

TEST_F(PixelTestTask, TooManyFailuresBlankTheSignOnceWithOneTrap) {
    ShowMessage("AB");
    Set(dbo::fdotMaxNumPixelFailure, 2);
    for (auto [x, y] : {std::pair{0, 0}, {5, 0}, {2, 1}}) {
        Modules().SetDeadLed(unsigned(x), unsigned(y), 1);
    }
    RunPixelTest();
    Advance(100 * 10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMsgSourceMode), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::activationOrigin), 3u);
    ASSERT_EQ(Traps().size(), 1u);
    EXPECT_EQ(Traps()[0].generic, 6u);
    EXPECT_EQ(Traps()[0].specific, 16u);
    EXPECT_EQ(Traps()[0].count, 2u);
    CMsgIDCode blanked;
    blanked.Unpack(reinterpret_cast<const uint8_t*>(Text(dbo::pixelErrorBlankedMessage).data()));
    EXPECT_EQ(blanked.memoryType, 3);
    EXPECT_EQ(blanked.messageNumber, 1);

    // A new message takes the sign back; the failures blank it again, with a second trap.
    ShowMessage("CD");
    Advance(10 * 10);
    EXPECT_EQ(g_DataBase.Get(dbo::activationOrigin), 3u);
    EXPECT_EQ(Traps().size(), 2u);
    // Under the limit: no more blanks.
    Set(dbo::fdotMaxNumPixelFailure, 3);
    ShowMessage("EF");
    Advance(10 * 10);
    EXPECT_EQ(g_DataBase.Get(dbo::activationOrigin), 2u);
    EXPECT_EQ(Traps().size(), 2u);
}

TEST_F(PixelTestTask, BlankHeldBehindProtectiveBlankingSendsOneTrap) {
    ShowMessage("AB");
    CMsgActivationCode blank;
    blank.duration = 65535;
    blank.priority = 255;
    blank.memoryType = 7;
    blank.messageNumber = 1;
    blank.crc = 0;
    std::fill(std::begin(blank.sourceAddress), std::end(blank.sourceAddress), 0);
    blank.Pack();
    Request(2, blank, 1);  // protective blanking holds slot 2
    ASSERT_EQ(g_DataBase.Get(dbo::dmsMsgSourceMode), 1u);
    ASSERT_EQ(g_DataBase.Get(dbo::activationOrigin), 2u);
    Set(dbo::fdotMaxNumPixelFailure, 0);
    Modules().SetDeadLed(7, 7, 0);
    RunPixelTest();
    Advance(300 * 10);
    EXPECT_EQ(Traps().size(), 1u) << "one trap, not one a cycle";
    EXPECT_EQ(g_DataBase.Get(dbo::requestOrigin, 6), 3u) << "the request stays in slot 6";

    // The failures clear and come back: a new crossing, a new trap.
    Set(dbo::pixelTestActivation, 4);
    Advance(10 * 10);
    EXPECT_EQ(Traps().size(), 1u);
    RunPixelTest();
    Advance(10 * 10);
    EXPECT_EQ(Traps().size(), 2u);
}

TEST_F(PixelTestTask, LegibilityCountsTheLitPixelsLeft) {
    ShowMessage("WWWW");
    Advance(10);
    const std::vector<uint32_t> rows = driver_.rows;
    const uint32_t lit = driver_.frames.back();
    uint32_t lower = 0;
    for (uint32_t y = 8; y < kHeight; ++y) {
        lower += rows[y];
    }
    ASSERT_GT(lower, 0u);
    ASSERT_LT(lower, lit);
    Modules().SetDataLineFault(1, 0x0040);  // module line 1 fails whole
    RunPixelTest();
    Advance(3 * 10);
    const uint32_t ratio = (lit - lower) * 100 / lit;
    EXPECT_EQ(g_DataBase.Get(dbo::brenLegibilityRatio), ratio);
    EXPECT_EQ(Traps().size(), 0u) << "no threshold";

    Set(dbo::brenLegibilityRatioThreshold, ratio + 1);
    Advance(3 * 10);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMsgSourceMode), 1u);
    EXPECT_EQ(g_DataBase.Get(dbo::activationOrigin), 4u);
    EXPECT_EQ(Traps().size(), 1u);
}

TEST_F(PixelTestTask, RequestsAtTheWrongTimeStillFinishATest) {
    Modules().SetDeadLed(3, 3, 1);
    Set(dbo::pixelTestActivation, 3);
    Advance(30);                       // started: the sign holds its frame
    Set(dbo::pixelTestActivation, 3);  // asked again before the results are stored
    for (uint32_t i = 0; i < 60 && display_->PixelTestRunning(); ++i) {
        Advance(10);
    }
    EXPECT_FALSE(display_->PixelTestRunning());
    EXPECT_EQ(TestRows().size(), 1u);
    const size_t sent = driver_.frames.size();
    Advance(5 * 10);
    EXPECT_GE(driver_.frames.size(), sent + 4) << "frames flow again";
}

TEST_F(PixelTestTask, ModuleWalkRunsWithTheWatchdogOff) {
    static std::vector<std::string> calls;
    calls.clear();
    display_->SetWatchdogControl([] { calls.push_back("off"); }, [] { calls.push_back("on"); });
    InThread([] {
        letter_s letter(kLetterModuleWork);
        letter.param1 = 1;  // no such face
        g_PostOffice.Broadcast(letter);
    });
    Advance(10);
    EXPECT_TRUE(calls.empty());
    InThread([] {
        letter_s letter(kLetterModuleWork);
        letter.param1 = 0;
        g_PostOffice.Broadcast(letter);
    });
    Advance(10);
    EXPECT_EQ(calls, (std::vector<std::string>{"off"})) << "12 modules, 10 ticks each";
    Advance(13 * 10);
    EXPECT_EQ(calls, (std::vector<std::string>{"off", "on"}));
}

class EmptyFace : public PixelTestTask {
protected:
    // Beyond the DMA buffer: the configuration is refused and no face is built.
    EmptyFace() : PixelTestTask(2048, 2048) {}
};

TEST_F(EmptyFace, TestOnNoFaceFinishes) {
    EXPECT_FALSE(built_);
    RunPixelTest();
    EXPECT_FALSE(display_->PixelTestRunning());
    EXPECT_EQ(g_DataBase.Get(dbo::pixelTestActivation), 2u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsPixelFailureTestRows), 0u);
}

}  // namespace
