// A small board for the serial end-to-end test: UART 0 with its far end from the command line
// (pty or tcp:PORT), driven at 115200 baud on the real-time kernel by the serial driver; a
// firmware thread echoes every byte it receives. Prints "serial echo host: PATH" once ready.
//
//   serial_echo_host --board-dir DIR [--uart0 pty|tcp:PORT]

#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "comm/q2_serial_driver.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/sim/serial_ports.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"

namespace {

CQ2SerialDriver g_driver;
TX_EVENT_FLAGS_GROUP g_received;
TX_THREAD g_echo;
TX_TIMER g_lineClock;
alignas(16) uint8_t g_echoStack[8192];

void Received(uintptr_t, uintptr_t) {
    tx_event_flags_set(&g_received, 1, TX_OR);
}

void EchoEntry(ULONG_PTR) {
    for (;;) {
        ULONG actual = 0;
        tx_event_flags_get(&g_received, 1, TX_OR_CLEAR, &actual, TX_WAIT_FOREVER);
        uint32_t value = 0;
        while (g_driver.GetChar(&value) == 1) {
            g_driver.PutChar(uint8_t(value));
        }
    }
}

void LineTick(ULONG_PTR ports) {
    reinterpret_cast<sim::SerialPorts*>(ports)->Tick();
}

}  // namespace

int main(int argc, char** argv) {
    std::string boardDir;
    sim::UartEndSpec specs[sim::SerialPorts::kPorts];
    specs[1].kind = sim::UartEndSpec::Kind::kNone;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--board-dir") == 0) {
            boardDir = argv[i + 1];
        } else if (std::strcmp(argv[i], "--uart0") != 0 ||
                   !sim::ParseUartEndSpec(argv[i + 1], &specs[0])) {
            boardDir.clear();
            break;
        }
    }
    if (boardDir.empty()) {
        std::fprintf(stderr, "usage: %s --board-dir DIR [--uart0 pty|tcp:PORT]\n", argv[0]);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    monitor::MonitorConfig config;
    config.boardDir = boardDir;
    monitor::Monitor board(config);
    if (!board.Boot()) {
        std::fprintf(stderr, "cannot boot the board in %s\n", boardDir.c_str());
        return 1;
    }
    sim::Uic uic;
    uic.Attach();
    uic.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
    sim::SerialPorts ports(&uic);
    std::string log;
    std::string error;
    if (!ports.Open(boardDir, specs, 0, true, &log, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    {
        kernel::Kernel k(options);
        k.Start([&](void*) {
            monitor::BindKernel(&board);
            InstallExternalInterruptVector();
            tx_timer_create(&g_lineClock, "line clock", &LineTick,
                            reinterpret_cast<ULONG_PTR>(&ports), 1, 1, TX_AUTO_ACTIVATE);
            tx_event_flags_create(&g_received, "received");
            g_driver.Open(0, 115200, 8, 0x3121, 0, 2000);
            g_driver.SetRxCallback(&Received, 0, 0);
            tx_thread_create(&g_echo, "echo", &EchoEntry, 0, g_echoStack, sizeof g_echoStack, 5, 5,
                             TX_NO_TIME_SLICE, TX_AUTO_START);
        });
        std::printf("serial echo host: %s", log.c_str());
        std::fflush(stdout);
        while (!k.StopRequested()) {
            const timespec wait{0, 200'000'000};
            const int signal = sigtimedwait(&stopSignals, nullptr, &wait);
            if (signal == SIGINT || signal == SIGTERM) {
                k.Stop();
            }
        }
        monitor::UnbindKernel(&board);
    }
    uic.SetAssertHook(nullptr);
    ResetInterruptState();
    return 0;
}
