#pragma once
// The display task over a recording sign driver on the stepped clock, with the factory defaults
// of a first start: the sign is 32 x 96 pixels of RGB modules (type 116) at 10 cycles a second.
// Helpers store messages and activate them through request slot 6.

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
#include "render/msg_activation_code.h"
#include "render/render_sign_store.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/tests/kernel_fixture.h"

namespace display_test {

// Every frame the sign receives (its pixels) and every brightness sent.
class FrameRecorder : public display_driver {
public:
    void SetBrightness(uint32_t level) override { brightness.push_back(level); }
    uint32_t GetBrightness() override { return 255; }
    bool Init(uint32_t, uint32_t, uint32_t) override { return true; }
    // Colours row by row.
    int32_t WriteFrame(CSurface* surface, uint32_t, uint32_t) override {
        std::vector<uint32_t> frame;
        for (int32_t y = 0; y < surface->Height(); ++y) {
            for (int32_t x = 0; x < surface->Width(); ++x) {
                frame.push_back(surface->GetPixel(x, y) >> 16);
            }
        }
        firstPixel.push_back(frame.empty() ? 0 : frame[0]);
        frames.push_back(std::move(frame));
        return 0;
    }
    std::vector<std::vector<uint32_t>> frames;
    std::vector<uint32_t> firstPixel;
    std::vector<uint32_t> brightness;
};

class TimeRegisters : public DbTimeRegisters {
public:
    uint8_t Read(uint32_t address) override { return bytes[address]; }
    void Write(uint32_t address, uint8_t value) override { bytes[address] = value; }
    std::map<uint32_t, uint8_t> bytes;
};

inline constexpr uint32_t kHeight = 32;
inline constexpr uint32_t kWidth = 96;

class DisplayTest : public testing_support::KernelTest {
protected:
    DisplayTest() : store_(RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)}) {
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
        g_DataBase.SetTimeRegisters(&time_);
        g_DataBase.SetNotificationEnabled(false);
        g_DataBase.SetValidationEnabled(false);
        dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        global_factory_defaults(g_DataBase, kDefaultsFirstStart);
        dms_volatile_defaults(g_DataBase);
        private_volatile_defaults(g_DataBase);
        g_DataBase.SetValidationEnabled(true);
        InstallModuleTypeTable();
        display_ = std::make_unique<CDisplay>(g_PostOffice, &events_);
        display_->Start();
        Boot([this](uint8_t*) {
            ASSERT_EQ(tx_event_flags_create(&events_, "database"), TX_SUCCESS);
            ASSERT_TRUE(display_->Create(&stacks_));
            g_DataBase.Set(dbo::brenModuleID, 116, 0);
            display_->SetSignDriver(&driver_);
            display_->BuildDisplayConfiguration(kHeight, kWidth, 15);
            ASSERT_EQ(display_->FaceCount(), 1u);
        });
        Advance(150);  // the first tick starts the task
    }
    ~DisplayTest() override {
        Shutdown();
        display_.reset();
        g_DataBase.SetTimeRegisters(&BoardTimeRegisters::Instance());
        std::destroy_at(&g_DataBase);
        std::construct_at(&g_DataBase);
    }

    // Changeable message n (1-based) with its text, CRC and status as the agent leaves them.
    static void StoreMessage(uint16_t n, const std::string& text, uint32_t status = 4,
                             uint16_t crc = 0) {
        g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                           kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageCRC, crc, kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageStatus, status, kDbSkipValidation, n - 1u);
        g_DataBase.Set(dbo::dmsMessageRunTimePriority, 1, kDbSkipValidation, n - 1u);
    }
    static CMsgActivationCode Code(uint8_t type, uint16_t number, uint16_t crc) {
        CMsgActivationCode c;
        c.duration = 65535;
        c.priority = 255;
        c.memoryType = type;
        c.messageNumber = number;
        c.crc = crc;
        std::memset(c.sourceAddress, 0, sizeof c.sourceAddress);
        c.Pack();
        return c;
    }
    // Activation through slot 6, served by letter 91 within the next cycle.
    void Activate(const CMsgActivationCode& code) {
        InThread([&] {
            g_DataBase.Set(dbo::requestSourceMode, 8, 0, 6);
            g_DataBase.Set(dbo::requestOrigin, 2, 0, 6);
            g_DataBase.SetText(dbo::requestCode, code.raw, 12, 0, 6);
            g_PostOffice.PostLetter(kLetterActivationRequest);
        });
        Advance(10);
    }

    TimeRegisters time_;
    // The database's events to the display task (nothing notifies here but the task itself).
    TX_EVENT_FLAGS_GROUP events_{};
    CRenderSignStore store_;
    FrameRecorder driver_;
    std::unique_ptr<CDisplay> display_;
};

}  // namespace display_test
