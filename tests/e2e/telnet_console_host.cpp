// A small controller for the telnet console's end-to-end test: the boot monitor, the object
// store with its factory defaults (administrator community "quartermaster"), the Ethernet port
// (MAC model, driver and stack on slirp's wire, ports forwarded from 127.0.0.1 + the offset) and
// the monitor task on the kernel in real time. --console sets the telnet service bit (0x08) of
// brenFeatureSet, which the defaults leave clear. The network comes up at once (letter 104). A
// thread prints "alive N" at trace level 1 every second.
//
//   telnet_console_host --board-dir DIR [--port-offset N] [--console]

#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "comm/emac_driver.h"
#include "comm/network_standin.h"
#include "comm/telnet_server.h"
#include "database/data_base.h"
#include "database/factory_defaults.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/net/net_config.h"
#include "platform/net/slirp_wire.h"
#include "platform/net/stack_core.h"
#include "platform/sim/emac.h"
#include "platform/sim/hw.h"
#include "platform/sim/uic.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/post_office.h"
#include "runtime/timer_scheduler.h"
#include "system/monitor_task.h"
#include "system/vms_command.h"

namespace {

constexpr ULONG kStackPoolSize = 0x40000;
constexpr uint32_t kNetworkArea = 0x3F00000;  // the 1 MB the Ethernet driver and pool live in
constexpr uint32_t kNetworkAreaSize = 0x100000;
TX_BYTE_POOL g_stacks;
TX_THREAD g_alive;
alignas(16) uint8_t g_aliveStack[4096];

void AliveEntry(ULONG_PTR) {
    for (unsigned n = 1;; ++n) {
        tx_thread_sleep(kernel::kTicksPerSecond);
        DebugPrintLevel1("alive %u\n", n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string boardDir = "var/board";
    bool console = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--console") == 0) {
            console = true;
        } else if (std::strcmp(argv[i], "--board-dir") == 0 && i + 1 < argc) {
            boardDir = argv[++i];
        } else if (std::strcmp(argv[i], "--port-offset") == 0 && i + 1 < argc) {
            net::SetPortOffset(std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--board-dir DIR] [--port-offset N] [--console]\n",
                         argv[0]);
            return 2;
        }
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
    auto db = std::make_unique<CDataBase>();
    db->SetValidationEnabled(false);
    dms_factory_defaults(*db, kDefaultsFirstStart);
    mib2_factory_defaults(*db, kDefaultsFirstStart);
    private_factory_defaults(*db, kDefaultsFirstStart);
    global_factory_defaults(*db, kDefaultsFirstStart);
    db->SetValidationEnabled(true);
    if (console) {
        db->Set(dbo::brenFeatureSet, db->Get(dbo::brenFeatureSet) | CMonitorTask::kTelnetFeature,
                kDbReplayFlags);
    }
    mon_addcommand(g_MonitorCommandTable, nullptr);

    // The Ethernet port: the MAC model on slirp's wire.
    sim::Uic uic;
    uic.Attach();
    uic.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
    sim::Emac emac(&uic);
    emac.Attach();
    emac.SetSchedule([](std::function<void()> fn) { kernel::PostAndServe(std::move(fn)); });
    net::SlirpWire wire;
    net::WireConfig wireConfig;
    ChooseNetworkAddresses(board.Env().Get("IPADD"), board.Env().Get("NETMASK"),
                           board.Env().Get("GIPADD"), &wireConfig.address, &wireConfig.mask,
                           &wireConfig.hostAlias);
    wireConfig.portOffset = net::PortOffset();
    wireConfig.log = [](const std::string& text) { std::fputs(text.c_str(), stdout); };
    emac.SetSink([&wire](const uint8_t* frame, size_t length) { wire.Send(frame, length); });
    wire.Start(wireConfig,
               [&emac](const uint8_t* frame, size_t length) { emac.Offer(frame, length); });
    std::vector<uint8_t> area(kNetworkAreaSize);
    hw::MapMemory(kNetworkArea, area.data(), kNetworkAreaSize);
    EthernetSetBufferArea(area.data());

    std::unique_ptr<CMonitorTask> task;
    kernel::Options options;
    options.clock = kernel::ClockMode::kRealTime;
    {
        kernel::Kernel k(options);
        k.Start([&](void* memory) {
            monitor::BindKernel(&board);
            InstallExternalInterruptVector();
            InstallEthernetInterruptHandlers();
            tx_byte_pool_create(&g_stacks, const_cast<char*>("thread stacks"), memory,
                                kStackPoolSize);
            timer_scheduler_tx_rtos::Instance();
            StartNetworkStandIn(NetworkStandInSettings{});
            task = std::make_unique<CMonitorTask>(g_PostOffice, *db, &g_stacks);
            task->Start();
            task->Create(&g_stacks);
            tx_thread_create(&g_alive, const_cast<char*>("alive"), &AliveEntry, 0, g_aliveStack,
                             sizeof g_aliveStack, 10, 10, TX_NO_TIME_SLICE, TX_AUTO_START);
            g_PostOffice.PostLetter(kLetterCommNetworkStarted);
        });
        std::printf("console host: telnet on port %d\n", 23 + net::PortOffset());
        std::fflush(stdout);
        while (!k.StopRequested()) {
            const timespec wait{0, 200'000'000};
            const int signal = sigtimedwait(&stopSignals, nullptr, &wait);
            if (signal == SIGINT || signal == SIGTERM) {
                k.Stop();
            }
        }
        wire.Stop();
    }
    monitor::UnbindKernel(&board);
    uic.SetAssertHook(nullptr);
    EmacResetDriver();
    net::EndOfBoot();
    NetworkStandInEndOfBoot();
    CTelnetServer::EndOfBoot();
    task.reset();
    hw::UnmapMemory(area.data());
    timer_scheduler_tx_rtos::Reset();
    ResetInterruptState();
    std::printf("console host: stopped\n");
    return 0;
}
