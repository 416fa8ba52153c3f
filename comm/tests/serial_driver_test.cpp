// The serial driver over the 16550 model: line set-up per handshake code, flow control, water
// marks, the delayed RTS drop, ring handling and refusals.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "comm/ntcip_transports.h"
#include "comm/q2_serial_driver.h"
#include "comm/ring_buffer.h"
#include "comm/tests/serial_fixture.h"

namespace {

using testing_support::Captured;

std::vector<uint8_t> Bytes(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class SerialDriverTest : public testing_support::SerialBoardTest {
protected:
    SerialDriverTest() { CQ2SerialDriver::ResetSharedFlags(); }
    ~SerialDriverTest() override { Shutdown(); }

    // Opens port 0 in start-up context (as the transports do) with the line of a handshake code.
    void OpenWithHandshake(uint32_t code, uint32_t baud = 9600, uint32_t ring = 2000) {
        const SerialLineMode line = LineModeOfHandshake(code, false);
        BootBoard([&, line](uint8_t*) {
            opened_ = driver_.Open(0, baud, 8, line.mode, line.handshake, ring);
            driver_.SetRxCallback(&CountRx, reinterpret_cast<uintptr_t>(&rxCalls_), 0);
        });
    }
    static void CountRx(uintptr_t counter, uintptr_t) { ++*reinterpret_cast<unsigned*>(counter); }

    std::vector<uint8_t> ReadAll() {
        std::vector<uint8_t> out;
        InThread([&] {
            uint32_t value = 0;
            while (driver_.GetChar(&value) == 1) {
                out.push_back(uint8_t(value));
            }
        });
        return out;
    }
    void Send(const std::vector<uint8_t>& bytes) {
        InThread([&] { driver_.Write(bytes.data(), uint32_t(bytes.size())); });
    }

    CQ2SerialDriver driver_;
    int opened_ = -1;
    unsigned rxCalls_ = 0;
};

TEST_F(SerialDriverTest, HandshakeCodesSetModeWordLinesAndFlowMode) {
    struct Case {
        uint32_t code, mode;
        uint8_t flow, dtrMode;
        bool rts, dtr;
    };
    const Case cases[] = {
        {0, 0x3121, 0, 0, false, false},  {1, 0x1821, 3, 0, false, false},
        {2, 0x5221, 1, 1, true, true},    {3, 0x5421, 2, 1, false, true},
        {7, 0x5021, 4, 1, true, true},    {8, 0x5421, 5, 1, false, true},
        {99, 0x3121, 0, 0, false, false},
    };
    BootBoard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const SerialLineMode line = LineModeOfHandshake(c.code, false);
        EXPECT_EQ(line.mode, c.mode);
        EXPECT_EQ(LineModeOfHandshake(c.code, true).mode, (c.mode & ~1u) | 2u);
        InThread([&] { EXPECT_EQ(driver_.Open(0, 9600, 8, line.mode, line.handshake, 2000), 1); });
        EXPECT_EQ(driver_.FlowMode(), c.flow);
        EXPECT_EQ(driver_.DtrMode(), c.dtrMode);
        EXPECT_EQ(pipe_->Rts(), c.rts);
        EXPECT_EQ(pipe_->Dtr(), c.dtr);
    }
}

TEST_F(SerialDriverTest, BytesTravelBothWaysInOrder) {
    ASSERT_TRUE(booted_);
    OpenWithHandshake(2, 115200);
    ASSERT_EQ(opened_, 1);
    EXPECT_EQ(uart_.Baud(), 115200u);
    const auto in = Bytes(700);
    pipe_->Inject(in.data(), in.size());
    Advance(1);
    EXPECT_EQ(ReadAll(), in);
    EXPECT_GT(rxCalls_, 0u);
    const auto out = Bytes(1500, 7);
    Send(out);
    Advance(1);
    EXPECT_EQ(pipe_->Collect(), out);
}

TEST_F(SerialDriverTest, CtsGatesSendingInFlowModes2And4) {
    for (uint32_t code : {3u, 7u}) {
        SCOPED_TRACE(code);
        OpenWithHandshake(code);
        pipe_->SetCts(false);
        Advance(1);
        Send(Bytes(40));
        Advance(2);
        EXPECT_TRUE(pipe_->Collect().empty());
        pipe_->SetCts(true);
        Advance(1);
        EXPECT_EQ(pipe_->Collect(), Bytes(40));
        Shutdown();
        kernel_ = std::make_unique<kernel::Kernel>();
    }
}

TEST_F(SerialDriverTest, DcdOffDropsReceivedBytesOnlyInFlowMode2) {
    for (uint32_t code : {3u, 8u}) {
        SCOPED_TRACE(code);
        rxCalls_ = 0;
        OpenWithHandshake(code);
        pipe_->SetDcd(false);
        Advance(1);
        pipe_->Inject("abc", 3);
        Advance(1);
        const bool kept = code == 8;
        EXPECT_EQ(ReadAll().size(), kept ? 3u : 0u);
        EXPECT_EQ(rxCalls_, kept ? 3u : 0u);
        pipe_->SetDcd(true);
        Shutdown();
        kernel_ = std::make_unique<kernel::Kernel>();
    }
}

// A kernel timer that moves the model's characters at its baud.
TX_TIMER g_lineClock;
sim::Uart16550* g_pacedUart = nullptr;
void LineTick(ULONG_PTR) {
    g_pacedUart->Tick();
}

TEST_F(SerialDriverTest, RtsDropsOnlyAfterTheTransmitterHasSentTheLastCharacter) {
    uart_.SetPaced(true);
    g_pacedUart = &uart_;
    const SerialLineMode line = LineModeOfHandshake(3, false);
    BootBoard([&](uint8_t*) {
        tx_timer_create(&g_lineClock, "line clock", &LineTick, 0, 1, 1, TX_AUTO_ACTIVATE);
        driver_.Open(0, 9600, 8, line.mode, line.handshake, 2000);
    });
    Send(Bytes(100));
    std::vector<uint8_t> seen;
    int ticks = 0;
    while (seen.size() < 100 && ticks < 50) {
        EXPECT_TRUE(pipe_->Rts()) << "after " << seen.size() << " bytes";
        Advance(1);
        ++ticks;
        const auto more = pipe_->Collect();
        seen.insert(seen.end(), more.begin(), more.end());
    }
    EXPECT_EQ(seen, Bytes(100));
    EXPECT_GE(ticks, 9);  // 9600 baud: 9.6 characters per tick
    Advance(2);
    EXPECT_FALSE(pipe_->Rts());
    tx_timer_deactivate(&g_lineClock);
}

TEST_F(SerialDriverTest, FlowMode5WaitsOnceBeforeRaisingRts) {
    OpenWithHandshake(8);
    Send(Bytes(5));
    EXPECT_FALSE(pipe_->Rts());
    EXPECT_TRUE(pipe_->Collect().empty());
    Advance(CQ2SerialDriver::kFirstRtsDelay);
    EXPECT_EQ(pipe_->Collect(), Bytes(5));
    Advance(2);
    EXPECT_FALSE(pipe_->Rts());
}

TEST_F(SerialDriverTest, FlowMode4RtsFollowsTheReceiveWaterMarks) {
    OpenWithHandshake(7);
    ASSERT_TRUE(pipe_->Rts());
    const auto in = Bytes(1499);
    pipe_->Inject(in.data(), in.size());
    Advance(1);
    EXPECT_TRUE(pipe_->Rts());
    pipe_->Inject("x", 1);
    Advance(1);
    EXPECT_FALSE(pipe_->Rts()) << "1500th unread byte";
    uint32_t value = 0;
    InThread([&] {
        for (int i = 0; i < 999; ++i)
            driver_.GetChar(&value);
    });
    EXPECT_FALSE(pipe_->Rts()) << "501 unread";
    InThread([&] { driver_.GetChar(&value); });
    EXPECT_TRUE(pipe_->Rts()) << "500 unread";
}

TEST_F(SerialDriverTest, SecondOpenKeepsTheRingsAndTheirContents) {
    OpenWithHandshake(0, 9600);
    pipe_->Inject("hello", 5);
    Advance(1);
    InThread([&] { EXPECT_EQ(driver_.Open(0, 38400, 8, 0x3121, 0, 10), 1); });
    EXPECT_EQ(uart_.Baud(), 38400u);
    EXPECT_EQ(driver_.RxSize(), 2000u);
    EXPECT_EQ(ReadAll(), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(SerialDriverTest, RefusalsBeforeOpenAndOnEmptyRing) {
    BootBoard();
    uint32_t value = 0;
    InThread([&] {
        EXPECT_EQ(driver_.PutChar('a'), 0);
        EXPECT_EQ(driver_.GetChar(&value), 0);
        EXPECT_EQ(value, 0xFFFFFFFFu);
        EXPECT_EQ(driver_.Open(0, 9600, 8, 0x3121, 0, 100), 1);
        EXPECT_EQ(driver_.GetChar(&value), 0);
        EXPECT_EQ(value, 0xFFFFFFFFu);
        // Mode bit 0x8000 alone: DTR off and a failed open.
        EXPECT_EQ(driver_.Open(0, 9600, 8, 0x9121, 0, 100), 0);
    });
}

TEST_F(SerialDriverTest, RingsThatCannotBeAllocatedKeepThePortClosed) {
    BootBoard();
    InThread([&] {
        EXPECT_EQ(driver_.Open(0, 9600, 8, 0x3121, 0, 0), 0);
        EXPECT_EQ(driver_.PutChar('a'), 0);
        uint32_t value = 0;
        EXPECT_EQ(driver_.GetChar(&value), 0);
        EXPECT_EQ(driver_.RxFree(), 0u);
    });
    EXPECT_FALSE(driver_.Opened());
}

TEST_F(SerialDriverTest, RefusedBaudKeepsTheOldSpeed) {
    OpenWithHandshake(0, 19200);
    InThread([&] { EXPECT_EQ(driver_.SetBaud(230400), 1); });
    EXPECT_EQ(uart_.Baud(), 19200u);
    EXPECT_NE(Captured().find("baud 230400 refused"), std::string::npos);
}

TEST_F(SerialDriverTest, AFrameLongerThanTheRingWaitsForRoomInsteadOfBeingCut) {
    OpenWithHandshake(7, 9600, 100);
    pipe_->SetCts(false);
    Advance(1);
    const auto frame = Bytes(250);
    int result = -1;
    StartInThread([&] { result = driver_.Write(frame.data(), uint32_t(frame.size())); });
    Advance(5);
    EXPECT_EQ(result, -1) << "still waiting for room";
    pipe_->SetCts(true);
    Advance(5);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(pipe_->Collect(), frame);
    EXPECT_EQ(driver_.TxDropped(), 0u);

    // CTS never returns: the byte that finds no room in time is counted and refused.
    pipe_->SetCts(false);
    Advance(1);
    result = -1;
    StartInThread([&] { result = driver_.Write(frame.data(), uint32_t(frame.size())); });
    Advance(CQ2SerialDriver::kPutCharWait + 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(driver_.TxDropped(), 1u);
}

TEST(RingBufferTest, WrapsDropsWhenFullAndReportsWaterMarks) {
    CRingBuffer ring(8);
    ASSERT_TRUE(ring.Valid());
    uint8_t byte = 0;
    for (int round = 0; round < 3; ++round) {
        for (uint8_t i = 0; i < 8; ++i)
            EXPECT_TRUE(ring.Put(uint8_t(round * 10 + i)));
        EXPECT_TRUE(ring.Full());
        EXPECT_FALSE(ring.Put(99));
        EXPECT_TRUE(ring.AtHighWater());
        for (uint8_t i = 0; i < 5; ++i) {
            EXPECT_TRUE(ring.Get(&byte));
            EXPECT_EQ(byte, round * 10 + i);
        }
        EXPECT_FALSE(ring.AtLowWater());  // 3 of 8 > 2
        EXPECT_TRUE(ring.Get(&byte));
        EXPECT_TRUE(ring.AtLowWater());
        ring.Clear();
        EXPECT_FALSE(ring.Get(&byte));
    }
    for (uint32_t size : {0u, 70000u}) {
        CRingBuffer bad(size);
        EXPECT_FALSE(bad.Valid());
        EXPECT_FALSE(bad.Put(1));
        EXPECT_FALSE(bad.Get(&byte));
    }
}

}  // namespace
