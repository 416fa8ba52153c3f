// Memory clear serves each request once: the cleared stores, the factory reset with its blank
// request, and every reset kind's files, options, dmsSWReset and rest value.

#include "display/memory_clear.h"

#include <vector>

#include "display/tests/bitmap_store_fixture.h"
#include "render/msg_activation_code.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

std::vector<int> g_defaultRuns;

class MemoryClearTest : public BitmapBoardTest {
protected:
    void SetUp() override {
        BitmapBoardTest::SetUp();
        g_defaultRuns.clear();
        services_.media = &media_;
        services_.setFactoryDefaults = [](int mode) { g_defaultRuns.push_back(mode); };
        services_.setVolatileDefaults = [] { g_defaultRuns.push_back(-1); };
        services_.updateBrightness = [] { g_defaultRuns.push_back(-2); };
        services_.resetOptions = &resetOptions_;
        clear_ = std::make_unique<CMemoryClear>(*db_, services_);
        Rest();
    }
    void Rest() {
        ASSERT_EQ(db_->Set(dbo::dmsMemoryMgmt, 2, kDbReplayFlags), kDbOk);
        ASSERT_EQ(db_->Set(dbo::brenResetCommand, 1, kDbReplayFlags), kDbOk);
    }
    void Request(const DbObject& object, uint32_t value) {
        ASSERT_EQ(db_->Set(object, value, kDbNotify), kDbOk) << value;
        clear_->ClearMemory();
    }

    MemoryClearServices services_;
    std::unique_ptr<CMemoryClear> clear_;
    uint8_t resetOptions_ = 0;
};

TEST_F(MemoryClearTest, ClearOfAStoreLeavesTheOtherStoresAndTheSign) {
    for (uint32_t k : {0u, 250u, 499u, 500u, 599u}) {
        Message(k, "[ms47,g,1,1,A.bmp]TEXT", 4);
    }
    for (uint32_t k = 0; k < 4; ++k) {
        Message(k, "VOLATILE", 4, false);
    }
    // The message on the sign (current buffer) is not a store entry: it stays.
    ASSERT_EQ(db_->SetString(34208, 4, "ON SIGN", 7, DbImage::kNv, kDbReplayFlags), kDbOk);
    AddFile("Bitmaps/A.bmp");
    ASSERT_EQ(db_->Set(dbo::dmsMessageCRC, 0x1234, kDbReplayFlags, 3), kDbOk);

    Request(dbo::dmsMemoryMgmt, 3);
    for (uint32_t k : {0u, 250u, 499u}) {
        EXPECT_EQ(Text(dbo::dmsMessageMultiString, k), "") << k;
        EXPECT_EQ(db_->Get(dbo::dmsMessageStatus, k), 1u) << k;
        EXPECT_EQ(db_->Get(dbo::dmsMessageRunTimePriority, k), 1u) << k;
    }
    EXPECT_EQ(db_->Get(dbo::dmsMessageCRC, 3), 0u);
    for (uint32_t k : {500u, 599u}) {
        EXPECT_EQ(Text(dbo::dmsMessageMultiString, k), "[ms47,g,1,1,A.bmp]TEXT") << k;
        EXPECT_EQ(db_->Get(dbo::dmsMessageStatus, k), 4u) << k;
    }
    EXPECT_EQ(Text(dbo::dmsMessageMultiStringVolatile, 2), "VOLATILE");
    EXPECT_EQ(db_->Get(dbo::dmsMemoryMgmt), 2u);
    EXPECT_EQ(Files().count("Bitmaps/A.bmp"), 0u) << "two permanent messages: every bitmap goes";
    uint32_t length = 0;
    EXPECT_EQ(std::string(db_->GetString(34208, 4, DbImage::kNv, &length)), "ON SIGN");

    Request(dbo::dmsMemoryMgmt, 4);
    for (uint32_t k = 0; k < 4; ++k) {
        EXPECT_EQ(Text(dbo::dmsMessageMultiStringVolatile, k), "") << k;
        EXPECT_EQ(db_->Get(dbo::dmsMessageStatusVolatile, k), 1u) << k;
    }
    EXPECT_EQ(Text(dbo::dmsMessageMultiString, 500), "[ms47,g,1,1,A.bmp]TEXT");
    EXPECT_EQ(db_->Get(dbo::dmsMemoryMgmt), 2u);
    EXPECT_TRUE(g_defaultRuns.empty());
}

TEST_F(MemoryClearTest, FactoryResetRunsTheDefaultsAndBlanksTheSign) {
    AddFile("Bitmaps/A.bmp");
    Request(dbo::dmsMemoryMgmt, 1);
    EXPECT_EQ(g_defaultRuns, (std::vector<int>{1, -1, -2}));
    EXPECT_EQ(db_->Get(dbo::requestSourceMode, CMemoryClear::kBlankSlot), 2u);
    EXPECT_EQ(db_->Get(dbo::requestOrigin, CMemoryClear::kBlankSlot), 2u);
    uint32_t length = 0;
    const char* raw = db_->GetText(dbo::requestCode, &length, CMemoryClear::kBlankSlot);
    ASSERT_EQ(length, CMsgActivationCode::kSize);
    CMsgActivationCode code;
    code.Unpack(reinterpret_cast<const uint8_t*>(raw));
    EXPECT_EQ(code.memoryType, 7);
    EXPECT_EQ(code.messageNumber, 1);
    EXPECT_EQ(code.crc, 0);
    EXPECT_EQ(code.duration, 65535);
    EXPECT_EQ(code.priority, 255);
    EXPECT_EQ(db_->Get(dbo::dmsMemoryMgmt), 2u);
    EXPECT_EQ(Files().count("Bitmaps/A.bmp"), 0u);
}

TEST_F(MemoryClearTest, OtherRequestValuesOnlyGoBackToRest) {
    Message(0, "KEEP", 4);
    AddFile("Bitmaps/A.bmp");
    for (uint32_t value : {0u, 2u, 5u, 200u}) {
        ASSERT_EQ(db_->SetInt(dbo::dmsMemoryMgmt.id, 1, value, DbImage::kVolatile, kDbReplayFlags),
                  kDbOk);
        clear_->ClearMemory();
        EXPECT_EQ(db_->Get(dbo::dmsMemoryMgmt), 2u) << value;
    }
    EXPECT_EQ(Text(dbo::dmsMessageMultiString, 0), "KEEP");
    EXPECT_EQ(Files().count("Bitmaps/A.bmp"), 1u);
    EXPECT_TRUE(g_defaultRuns.empty());
}

TEST_F(MemoryClearTest, ResetKindsDiscardTheirFilesAndAskForTheirRestart) {
    struct Case {
        uint32_t kind;
        std::set<std::string> left;
        uint8_t options;  // g_ResetOptions after, from 0x07
        uint32_t swReset;
        uint32_t scriptTrigger;
        uint32_t after;  // brenResetCommand
    } cases[] = {
        {1, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 0, 0, 1},
        {2, {"CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 1, 0, 2},
        {3, {}, 0x00, 1, 0, 3},
        {4, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x04, 1, 0, 4},
        {5, {"CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x00, 1, 0, 5},
        {6, {}, 0x00, 1, 0, 6},
        {7, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 1, 1, 1},
        {8, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 4, 0, 1},
        {9, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 0, 0, 1},
        {0, {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}, 0x07, 0, 0, 1},
    };
    for (const Case& c : cases) {
        for (const char* name : {"nv1.dat", "nv2.dat", "CONFIG.XML", "Bitmaps/A.bmp", "Top.bmp"}) {
            if (Files().count(name) == 0) {
                AddFile(name);
            }
        }
        resetOptions_ = 0x07;
        ASSERT_EQ(db_->Set(dbo::dmsSWReset, 0, kDbReplayFlags), kDbOk);
        ASSERT_EQ(db_->Set(dbo::scriptFileTrigger, 0, kDbReplayFlags), kDbOk);
        ASSERT_EQ(
            db_->SetInt(dbo::brenResetCommand.id, 1, c.kind, DbImage::kVolatile, kDbReplayFlags),
            kDbOk);
        clear_->ClearMemory();
        EXPECT_EQ(Files(), c.left) << "kind " << c.kind;
        EXPECT_EQ(resetOptions_, c.options) << "kind " << c.kind;
        EXPECT_EQ(db_->Get(dbo::dmsSWReset), c.swReset) << "kind " << c.kind;
        EXPECT_EQ(db_->Get(dbo::scriptFileTrigger), c.scriptTrigger) << "kind " << c.kind;
        EXPECT_EQ(db_->Get(dbo::brenResetCommand), c.after) << "kind " << c.kind;
    }
}

// Two requests at once (agent thread and display thread): the second run waits for the first.
class MemoryClearThreads : public testing_support::KernelTest {
protected:
    static void SecondEntry(ULONG_PTR input) {
        auto* self = reinterpret_cast<MemoryClearThreads*>(input);
        ULONG actual = 0;
        tx_event_flags_get(&self->wake_, 1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        self->db_.Set(dbo::dmsMemoryMgmt, 1, kDbNotify);
        self->clear_->ClearMemory();
    }
    static void Defaults(int) {
        g_defaultRuns.push_back(1);
        if (g_self != nullptr && g_defaultRuns.size() == 1) {
            tx_event_flags_set(&g_self->wake_, 1, TX_OR);  // the second thread runs now
        }
        g_defaultRuns.push_back(0);
    }

    static MemoryClearThreads* g_self;
    CDataBase db_{64 * 1024};
    std::unique_ptr<CMemoryClear> clear_;
    TX_EVENT_FLAGS_GROUP wake_{};
    TX_THREAD second_{};
    alignas(16) uint8_t stack_[16384];
};
MemoryClearThreads* MemoryClearThreads::g_self = nullptr;

TEST_F(MemoryClearThreads, OverlappingRequestsRunOneAfterTheOther) {
    g_defaultRuns.clear();
    g_self = this;
    MemoryClearServices services;
    services.setFactoryDefaults = &Defaults;
    clear_ = std::make_unique<CMemoryClear>(db_, services);
    Boot([this](uint8_t*) {
        ASSERT_TRUE(clear_->Create());
        ASSERT_EQ(tx_event_flags_create(&wake_, "second"), TX_SUCCESS);
        ASSERT_EQ(
            tx_thread_create(&second_, "second", &SecondEntry, reinterpret_cast<ULONG_PTR>(this),
                             stack_, sizeof stack_, 1, 1, 0, TX_AUTO_START),
            TX_SUCCESS);
    });
    Advance(1);
    InThread([this] {
        db_.Set(dbo::dmsMemoryMgmt, 1, kDbNotify);
        clear_->ClearMemory();
    });
    Advance(1);
    EXPECT_EQ(g_defaultRuns, (std::vector<int>{1, 0, 1, 0})) << "begin and end of each run";
    EXPECT_EQ(db_.Get(dbo::dmsMemoryMgmt), 2u);
    Shutdown();
    g_self = nullptr;
}

}  // namespace
