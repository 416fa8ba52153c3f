// External interrupts are dispatched by source, acknowledged, throttled, in interrupt context.
#include "runtime/interrupts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/sim/uic.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

using testing_support::Captured;

std::vector<std::string>& Trace() {
    static std::vector<std::string> trace;
    return trace;
}

// A driver's handler: records its call and drops its level after `calls` calls.
class Recorder : public Interrupt {
public:
    Recorder(sim::Uic* uic, std::string name, uint32_t bit, int levelFor = 0)
        : uic_(uic), name_(std::move(name)), bit_(bit), levelFor_(levelFor) {}
    void Handler() override {
        Trace().push_back(name_);
        if (++calls == levelFor_) {
            uic_->SetLevel(bit_, false);
        }
    }
    int calls = 0;

private:
    sim::Uic* uic_;
    std::string name_;
    uint32_t bit_;
    int levelFor_;
};

class InterruptsTest : public ::testing::Test {
protected:
    InterruptsTest() {
        ResetInterruptState();
        Trace().clear();
        Captured().clear();
        DebugSetSink(&testing_support::Capture);
        uic_.Attach();
        SetEthernetInterruptHandlers({
            [] { Trace().push_back("MalSystemError"); },
            [] { Trace().push_back("MalTxEndOfBuffer"); },
            [] { Trace().push_back("MalRxEndOfBuffer"); },
            [] { Trace().push_back("MalTxDescriptorError"); },
            [] { Trace().push_back("MalRxDescriptorError"); },
            [] { Trace().push_back("Emac"); },
        });
    }
    ~InterruptsTest() override {
        ResetInterruptState();
        DebugSetSink(nullptr);
    }

    sim::Uic uic_;
};

TEST_F(InterruptsTest, EthernetPathFirstThenSourcesByBitPosition) {
    Recorder low(&uic_, "bit0", 0x1), mid(&uic_, "bit8", 0x100), high(&uic_, "bit31", 0x80000000);
    Interrupt::Register(0x80000000, &high);
    Interrupt::Register(0x100, &mid);
    Interrupt::Register(0x1, &low);
    uic_.DcrWrite(sim::Uic::kEnable, 0xFFFFFFFF);
    uic_.Pulse(0x80000000 | kIrqEthernetPath | 0x100 | 0x1);
    DispatchExternalInterrupt();
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{"MalSystemError", "MalTxEndOfBuffer", "MalRxEndOfBuffer",
                                        "MalTxDescriptorError", "MalRxDescriptorError", "Emac",
                                        "bit0", "bit8", "bit31"}));
    EXPECT_EQ(g_InterruptCount, 9u);
    EXPECT_EQ(g_EthernetInterruptCount, 6u);
    EXPECT_EQ(g_EthernetActivity, 1);
    EXPECT_EQ(uic_.Status(), 0u) << "every source acknowledged";
    EXPECT_EQ(uic_.Acknowledged(16), 1u);
}

TEST_F(InterruptsTest, UnhandledSourceIsCountedAndAcknowledged) {
    uic_.DcrWrite(sim::Uic::kEnable, 0x40);
    uic_.Pulse(0x40);
    DispatchExternalInterrupt();
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(g_InterruptCount, 1u);
    EXPECT_EQ(g_EthernetInterruptCount, 0u);
    EXPECT_EQ(g_EthernetActivity, 0);
    EXPECT_EQ(uic_.Acknowledged(6), 1u);
    EXPECT_EQ(uic_.Status(), 0u);
}

TEST_F(InterruptsTest, RegistrationTakesTheLowestBit) {
    Recorder first(&uic_, "first", 0x10), second(&uic_, "second", 0x10);
    Interrupt::Register(0x30, &first);
    EXPECT_EQ(g_IsrTable[4], &first);
    EXPECT_EQ(g_IsrTable[5], nullptr);
    Interrupt::Register(0x10, &second);
    EXPECT_EQ(g_IsrTable[4], &second) << "a later registration replaces";
    Interrupt::Register(0, &first);
    Interrupt::Register(0x8, nullptr);
    EXPECT_EQ(Captured(), "registering isr:0x00000000 failed\nregistering isr:0x00000008 failed\n");
    EXPECT_EQ(g_IsrTable[3], nullptr);
    Interrupt::Unregister(0);
    EXPECT_EQ(g_IsrTable[4], &second) << "an empty mask unregisters nothing";
    Interrupt::Unregister(0x30);
    EXPECT_EQ(g_IsrTable[4], nullptr);
}

TEST_F(InterruptsTest, SourceTwoIsAcknowledgedTwiceAndThrottledAtItsThousandth) {
    uic_.DcrWrite(sim::Uic::kEnable, 0x2 | 0x1);
    for (int i = 1; i <= 999; ++i) {
        uic_.Pulse(0x2);
        DispatchExternalInterrupt();
    }
    EXPECT_EQ(g_Source2Count, 999u);
    EXPECT_EQ(g_InterruptCount, 999u) << "counted in the bit loop";
    EXPECT_EQ(uic_.Enable() & 0x2, 0x2u);
    EXPECT_EQ(uic_.Acknowledged(1), 2u * 999) << "through the monitor and in the bit loop";
    uic_.Pulse(0x2);
    DispatchExternalInterrupt();
    EXPECT_EQ(g_Source2Count, 1000u);
    EXPECT_EQ(uic_.Enable(), 0x1u) << "disabled at the controller, the others stay";
    uic_.Pulse(0x2);
    DispatchExternalInterrupt();
    EXPECT_EQ(g_Source2Count, 1000u) << "no longer seen";
}

TEST_F(InterruptsTest, SourceThatStaysAssertedIsServedAgain) {
    Recorder level(&uic_, "level", 0x800, 3);
    Interrupt::Register(0x800, &level);
    uic_.DcrWrite(sim::Uic::kEnable, 0x800);
    uic_.SetLevel(0x800, true);
    DispatchExternalInterrupt();
    EXPECT_EQ(level.calls, 3) << "one pass per loop until the device lets go";
    EXPECT_EQ(uic_.MaskedStatus(), 0u);
}

TEST_F(InterruptsTest, LaterConstructionsLeaveTheTableAlone) {
    // Once the table is set up, later objects leave it alone.
    Recorder a(&uic_, "a", 0x4);
    Interrupt::Register(0x4, &a);
    Recorder b(&uic_, "b", 0x8);
    EXPECT_EQ(g_IsrTable[2], &a);
}

TEST_F(InterruptsTest, ControllerRaisesTheKernelLineAndTheDispatcherRunsInInterruptContext) {
    testing_support::Captured().clear();
    kernel::Kernel k;
    uic_.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
    k.Start([](void*) { ASSERT_TRUE(InstallExternalInterruptVector()); });
    struct ContextProbe : Interrupt {
        kernel::Context seen = kernel::Context::kOutside;
        void Handler() override { seen = kernel::CurrentContext(); }
    } probe;
    Interrupt::Register(0x20, &probe);
    uic_.DcrWrite(sim::Uic::kEnable, 0x20);
    uic_.Pulse(0x20);
    k.Advance(1);
    EXPECT_EQ(probe.seen, kernel::Context::kIsr);
    EXPECT_EQ(uic_.Status(), 0u);
    uic_.SetAssertHook(nullptr);
    RemoveExternalInterruptVector();
}

}  // namespace
