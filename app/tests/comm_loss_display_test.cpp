// The comm-loss message reaches the sign: the communication task and the display task on the
// stepped clock over one object store with its notices, the network parts left out.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/ntcip_transports.h"
#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/rtos_notify_sink.h"
#include "display/display.h"
#include "display/display_driver.h"
#include "display/module_type.h"
#include "ntcip/snmp_set_staging.h"
#include "render/pavor_font.h"
#include "render/render_sign_store.h"
#include "runtime/gp_buffer.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

class LitPixelDriver : public display_driver {
public:
    void SetBrightness(uint32_t) override {}
    uint32_t GetBrightness() override { return 255; }
    bool Init(uint32_t, uint32_t, uint32_t) override { return true; }
    int32_t WriteFrame(CSurface* surface, uint32_t, uint32_t) override {
        uint32_t count = 0;
        for (int32_t y = 0; y < surface->Height(); ++y) {
            for (int32_t x = 0; x < surface->Width(); ++x) {
                count += surface->GetPixel(x, y) != 0;
            }
        }
        lit = count;
        return 0;
    }
    uint32_t lit = 0;
};

class NoNetwork : public CommTaskServices {
public:
    bool StartNetwork() override { return false; }
    void SntpSetInterval(uint32_t) override {}
    bool SntpPoll() override { return false; }
    uint32_t UdpClientReceive(uint8_t*, uint32_t) override { return 0; }
    void EthernetLinkCheck() override {}
    uint8_t EthernetLinkState() override { return 1; }
    bool PhyFailed() override { return false; }
    bool EthernetInterruptSeen() override { return false; }
    uint32_t EthernetInterruptCount() override { return 0; }
    void EmacConfigure() override {}
    void EthernetReset() override {}
    uint32_t DhcpForceRenew() override { return 0; }
    void DhcpStop() override {}
    void DhcpStart() override {}
    void HttpServerStop() override {}
    bool PanelManagerPresent() override { return false; }
    void SetPanelIndicator(uint32_t, uint32_t) override {}
    void ProcessTraps() override {}
    void FileTransferStep(bool) override {}
};

constexpr uint32_t kHeight = 16;
constexpr uint32_t kWidth = 48;
constexpr uint16_t kCrc = 0x1235;

class CommLossOnTheSign : public testing_support::KernelTest {
protected:
    CommLossOnTheSign() {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        g_DataBase.SetTimeRegisters(&time_);
        g_DataBase.SetNotificationEnabled(false);
        g_DataBase.SetValidationEnabled(false);
        // The sign store's fonts are read into heap buffers, not the pool of an ended boot.
        CPavorFont::UsePool(&heapFonts_);
        store_ = std::make_unique<CRenderSignStore>(
            RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)});
        dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        global_factory_defaults(g_DataBase, kDefaultsFirstStart);
        dms_volatile_defaults(g_DataBase);
        private_volatile_defaults(g_DataBase);
        g_DataBase.SetValidationEnabled(true);
        g_DataBase.SetNotifySink(&sink_);
        g_DataBase.SetNotificationEnabled(true);
        SetTime(1000000);
        InstallModuleTypeTable();
        // Changeable message 1.
        const std::string text = "AB";
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation);
        g_DataBase.Set(dbo::dmsMessageCRC, kCrc, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsMessageRunTimePriority, 1, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsTimeCommLoss, 1, 0);
        BuildTransports();
        CommSetDatabase(&g_DataBase);
        display_ = std::make_unique<CDisplay>(g_PostOffice, nullptr);
        display_->Start();
        comm_ = std::make_unique<comm_task>(g_PostOffice, &events_, &services_);
        comm_->Start();
        Boot([this](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(display_->Create(&stacks_));
            g_DataBase.Set(dbo::brenModuleID, 116, 0);
            display_->SetSignDriver(&driver_);
            display_->BuildDisplayConfiguration(kHeight, kWidth, 15);
            ASSERT_EQ(display_->FaceCount(), 1u);
            ASSERT_TRUE(comm_->Create(&stacks_));
        });
        Advance(1200);
    }
    ~CommLossOnTheSign() override {
        Shutdown();
        comm_.reset();
        display_.reset();
        store_.reset();
        CPavorFont::UsePool(nullptr);
        CommSetDatabase(nullptr);
        EndTransports();
        g_DataBase.SetNotifySink(nullptr);
        g_DataBase.SetTimeRegisters(&BoardTimeRegisters::Instance());
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
    }

    void SetTime(uint32_t seconds) {
        now_ = seconds;
        g_DataBase.SetRegisterTime(dbo::globalTime.id, dbo::globalTime.width, seconds,
                                   dbo::globalTime.image, 0);
    }
    void Seconds(uint32_t seconds) {
        for (uint32_t i = 0; i < seconds; ++i) {
            SetTime(now_ + 1);
            Advance(100);
        }
    }
    void LossMessage(uint8_t type, uint16_t number, uint16_t crc) {
        const uint8_t id[5] = {type, uint8_t(number >> 8), uint8_t(number), uint8_t(crc >> 8),
                               uint8_t(crc)};
        g_DataBase.SetText(dbo::dmsCommunicationsLossMessage, id, 5, 0);
    }

    MemoryTimeRegisters time_;
    TX_EVENT_FLAGS_GROUP events_{};
    RtosNotifySink sink_{&g_PostOffice, &events_};
    CGPBuffer heapFonts_;  // never created: fonts fall back to the heap
    std::unique_ptr<CRenderSignStore> store_;
    LitPixelDriver driver_;
    NoNetwork services_;
    std::unique_ptr<CDisplay> display_;
    std::unique_ptr<comm_task> comm_;
    uint32_t now_ = 0;
};

TEST_F(CommLossOnTheSign, AMinuteWithoutRequestsShowsTheMessage) {
    LossMessage(3, 1, kCrc);
    Seconds(50);
    EXPECT_EQ(driver_.lit, 0u);
    Seconds(15);
    EXPECT_NE(g_DataBase.Get(dbo::shortErrorStatus) & 0x2, 0u);
    EXPECT_GT(driver_.lit, 0u) << "the sign shows the comm-loss message";
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMsgSourceMode), 12u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 2u);

    g_SnmpActivity = 1;
    Seconds(3);
    EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x2, 0u);
}

TEST_F(CommLossOnTheSign, AMissingMessageIsRefusedOncePerLoss) {
    LossMessage(3, 9, 0);
    Seconds(65);
    EXPECT_NE(g_DataBase.Get(dbo::shortErrorStatus) & 0x2, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 4u) << "an empty slot";
    EXPECT_EQ(driver_.lit, 0u);
    g_DataBase.Set(dbo::dmsActivateMsgError, 2, 0);
    Seconds(30);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 2u) << "no retry every pass";
}

}  // namespace
