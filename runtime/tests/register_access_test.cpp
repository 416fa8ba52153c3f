// Device and control registers are read and written, and the machine state is masked and restored.
#include "runtime/register_access.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/sim/hw.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

class RegisterFile : public hw::Device, public hw::DcrDevice {
public:
    uint32_t Read(uint32_t offset, unsigned) override { return memory[offset]; }
    void Write(uint32_t offset, unsigned, uint32_t value) override { memory[offset] = value; }
    uint32_t DcrRead(uint32_t reg) override { return dcrs[reg]; }
    void DcrWrite(uint32_t reg, uint32_t value) override { dcrs[reg] = value; }
    std::map<uint32_t, uint32_t> memory;
    std::map<uint32_t, uint32_t> dcrs;
};

class RegisterAccessTest : public testing_support::KernelTest {
protected:
    ~RegisterAccessTest() override {
        hw::Unregister(&file_);
        hw::UnregisterDcr(&file_);
    }
    RegisterFile file_;
};

TEST_F(RegisterAccessTest, DeviceAndControlRegisters) {
    ASSERT_TRUE(hw::Register(0x7F000000, 0x100, &file_));
    ASSERT_TRUE(hw::RegisterDcr(0xB0, 0x140, &file_));
    sync_write32(0x7F000010, 0x12345678);
    EXPECT_EQ(file_.memory[0x10], 0x12345678u);
    EXPECT_EQ(sync_read32(0x7F000010), 0x12345678u);
    uic_write_enable(0x30);
    EXPECT_EQ(file_.dcrs[dcr::kUicEnable], 0x30u);
    EXPECT_EQ(uic_read_enable(), 0x30u);
    file_.dcrs[dcr::kUicMaskedStatus] = 0x2;
    EXPECT_EQ(uic_read_masked_status(), 0x2u);
    mal_write(dcr::kMalRxBufferSize0, 96);
    EXPECT_EQ(mal_read(dcr::kMalRxBufferSize0), 96u);
}

TEST_F(RegisterAccessTest, MachineStateMaskAndRestore) {
    Boot();
    uint32_t before = 0, masked = 0, inner = 0, restored = 0;
    InThread([&] {
        before = read_msr();
        const uint32_t saved = msr_mask(~kMsrExternalEnable);
        masked = read_msr();
        const uint32_t nested = msr_mask(~kMsrExternalEnable);
        inner = read_msr();
        msr_restore(nested);
        msr_restore(saved);
        restored = read_msr();
    });
    EXPECT_EQ(before & kMsrExternalEnable, kMsrExternalEnable);
    EXPECT_EQ(masked & kMsrExternalEnable, 0u);
    EXPECT_EQ(inner & kMsrExternalEnable, 0u);
    EXPECT_EQ(restored, before);
}

}  // namespace
