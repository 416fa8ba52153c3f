// The 16550 model: divisor latch, FIFOs and the interrupt identification, modem-status deltas,
// a far end that refuses bytes, paced characters and the NVRAM's scratch byte on UART 0.
#include "platform/sim/uart16550.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/hw.h"
#include "platform/sim/uart_pipe.h"
#include "platform/sim/uic.h"

namespace {

constexpr uint32_t kBase = sim::Uart16550::kPort1Base;
constexpr uint32_t kSource = sim::Uart16550::kPort1Source;

class UartModelTest : public ::testing::Test {
protected:
    UartModelTest() : uart_(kBase, kSource, &uic_) {
        uic_.Attach();
        uart_.Attach();
        pipe_ = std::make_unique<sim::UartPipe>(uart_);
        hw::Write8(kBase + 3, 0x80);
        hw::Write8(kBase + 0, 1);  // 115200
        hw::Write8(kBase + 1, 0);
        hw::Write8(kBase + 3, 0x03);
        hw::Write8(kBase + 2, 0x07);
    }
    ~UartModelTest() override {
        pipe_.reset();
        uart_.Detach();
        uic_.Detach();
    }
    uint8_t Reg(uint32_t offset) { return hw::Read8(kBase + offset); }

    sim::Uic uic_;
    sim::Uart16550 uart_;
    std::unique_ptr<sim::UartPipe> pipe_;
};

TEST_F(UartModelTest, InterruptSourcesInPriorityOrderAndTheirClearing) {
    EXPECT_EQ(uart_.Baud(), 115200u);
    EXPECT_EQ(Reg(2) & 0x0F, 0x01);  // nothing enabled
    hw::Write8(kBase + 1, 0x0B);     // receive, transmit empty, modem status
    EXPECT_EQ(Reg(2) & 0x0F, 0x02) << "enabling with THR empty raises transmit empty";
    EXPECT_EQ(Reg(2) & 0x0F, 0x00) << "read clears it; the pipe's lines left a modem delta";
    EXPECT_EQ(Reg(6) & 0xB0, 0xB0);  // CTS, DSR, DCD on
    EXPECT_EQ(Reg(2) & 0x0F, 0x01);
    pipe_->Inject("ab", 2);
    EXPECT_TRUE(uic_.Status() & kSource);
    EXPECT_EQ(Reg(2) & 0x0F, 0x04);
    EXPECT_EQ(Reg(5) & 0x01, 0x01);
    EXPECT_EQ(Reg(0), 'a');
    EXPECT_EQ(Reg(0), 'b');
    EXPECT_EQ(Reg(5) & 0x01, 0x00);
    pipe_->SetDcd(false);
    EXPECT_EQ(Reg(2) & 0x0F, 0x00);
    EXPECT_EQ(Reg(6), 0x38) << "DCD off with its delta bit";
    EXPECT_EQ(Reg(6), 0x30) << "deltas clear on reading";
    hw::Write8(kBase + 4, 0x03);
    EXPECT_TRUE(pipe_->Rts());
    EXPECT_TRUE(pipe_->Dtr());
}

TEST_F(UartModelTest, AFarEndThatCannotTakeABytesLeavesTheTransmitterFull) {
    pipe_->SetCapacity(0);
    for (uint8_t i = 0; i < 20; ++i) {
        hw::Write8(kBase, i);
    }
    EXPECT_EQ(Reg(5) & 0x60, 0x00) << "THR and transmitter busy";
    pipe_->SetCapacity(SIZE_MAX);
    EXPECT_EQ(Reg(5) & 0x60, 0x60);
    const auto out = pipe_->Collect();
    ASSERT_EQ(out.size(), 16u) << "a full FIFO drops further writes";
    EXPECT_EQ(out[15], 15);
}

TEST_F(UartModelTest, PacedCharactersMoveAtTheBaudPerTick) {
    uart_.SetPaced(true);
    hw::Write8(kBase + 3, 0x80);
    hw::Write8(kBase + 0, 12);  // 9600 baud: 9.6 characters per 10 ms tick
    hw::Write8(kBase + 3, 0x03);
    const std::vector<uint8_t> in(40, 'x');
    pipe_->Inject(in.data(), in.size());
    EXPECT_EQ(Reg(5) & 0x01, 0x00) << "nothing on the line before a tick";
    uart_.Tick();
    unsigned got = 0;
    while (Reg(5) & 0x01) {
        Reg(0);
        ++got;
    }
    EXPECT_EQ(got, 9u);
    // The tick's nine characters of transmit time go at once; the rest wait for the next.
    for (uint8_t i = 0; i < 12; ++i)
        hw::Write8(kBase, i);
    EXPECT_EQ(pipe_->Collect().size(), 9u);
    uart_.Tick();
    EXPECT_EQ(pipe_->Collect().size(), 3u);
}

TEST(UartModel, TheScratchByteOfUart0StaysWithTheDeviceThatOwnsIt) {
    class Scratch : public hw::Device {
    public:
        uint32_t Read(uint32_t, unsigned) override { return value; }
        void Write(uint32_t, unsigned, uint32_t v) override { value = v; }
        uint32_t value = 0x42;
    } scratch;
    sim::Uart16550 uart(sim::Uart16550::kPort0Base, sim::Uart16550::kPort0Source, nullptr);
    ASSERT_TRUE(hw::Register(sim::Uart16550::kPort0Base + 7, 1, &scratch));
    ASSERT_TRUE(uart.Attach());
    EXPECT_EQ(hw::Read8(sim::Uart16550::kPort0Base + 7), 0x42);
    hw::Write8(sim::Uart16550::kPort0Base + 4, 0x02);
    EXPECT_EQ(uart.ModemOutputs(), 0x02);
    hw::Unregister(&scratch);
}

}  // namespace
