#include "app/board.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "app/system_wiring.h"
#include "comm/comm_task.h"
#include "comm/emac_driver.h"
#include "comm/network_standin.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/net/net_config.h"
#include "platform/net/slirp_wire.h"
#include "platform/net/stack_core.h"
#include "platform/sim/emac.h"
#include "platform/sim/hw.h"
#include "platform/sim/photocell.h"
#include "platform/sim/serial_ports.h"
#include "platform/sim/sign.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"
#include "runtime/timer_scheduler.h"
#include "system/startup.h"

namespace {

constexpr int kBootAttempts = 50;
constexpr unsigned kBootCounterIndex = 0xB;   // of the battery-backed bytes at 0xF0100000
constexpr uint32_t kRamBusBase = 0x00100000;  // the kernel's free memory as the bus sees it

// Moves the UARTs' characters at their baud, one step per kernel tick.
TX_TIMER g_uartClock;
void UartClockTick(ULONG_PTR ports) {
    reinterpret_cast<sim::SerialPorts*>(ports)->Tick();
}

void RaiseExternal() {
    kernel::RaiseInterrupt(kExternalInterruptLine);
}

}  // namespace

BoardEnd RunBoard(const CommandLine& line, int argc, char** argv, std::atomic<bool>& stop,
                  void (*pollStop)(std::atomic<bool>& stop)) {
    net::SetPortOffset(line.port_offset);
    for (unsigned boot = 1;; ++boot) {
        monitor::MonitorConfig config;
        config.boardDir = line.board_dir;
        // The flash of a controller that was just killed stays locked until the host has torn
        // the old process down: wait a little for it, as for power to settle.
        std::unique_ptr<monitor::Monitor> booted;
        for (int attempt = 0;; ++attempt) {
            booted = std::make_unique<monitor::Monitor>(config);
            if (booted->Boot()) {
                break;
            }
            booted.reset();
            if (attempt == kBootAttempts || stop.load()) {
                std::fprintf(stderr, "dmsc: cannot open the board directory %s\n",
                             line.board_dir.c_str());
                return BoardEnd::kFailed;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        monitor::Monitor& board = *booted;
        if (boot == 1 && isatty(STDIN_FILENO)) {
            board.GetConsole().AttachStdin();
        }
        sim::Uic uic;
        uic.Attach();
        uic.SetAssertHook(&RaiseExternal);
        // The sign comes up with the board: EPLD unprogrammed, frames drawn to frames/*.png.
        sim::SignConfig signConfig;
        signConfig.boardDir = line.board_dir;
        signConfig.frameRing = line.frame_ring;
        sim::Sign sign(signConfig);
        // The light level of the board: "echo 50 > BOARD/photocell".
        sim::BoardPhotocell().WatchFile(line.board_dir + "/photocell");
        if (!sign.Attach()) {
            std::fprintf(stderr, "dmsc: cannot write %s/frames\n", line.board_dir.c_str());
        }
        board.SetEpldLoadHook(
            [&sign](const uint8_t* bits, size_t size) { return sign.GetEpld().Load(bits, size); });
        // The two serial ports and their far ends.
        sim::SerialPorts serial(&uic);
        {
            sim::UartEndSpec specs[sim::SerialPorts::kPorts];
            for (int i = 0; i < sim::SerialPorts::kPorts; ++i) {
                sim::ParseUartEndSpec(line.uart[i], &specs[i]);
            }
            std::string log;
            std::string error;
            if (!serial.Open(line.board_dir, specs, line.port_offset, !line.uart_unpaced, &log,
                             &error)) {
                std::fprintf(stderr, "dmsc: %s\n", error.c_str());
            }
            // On standard error: the board console starts with the boot banner.
            std::fputs(log.c_str(), stderr);
        }
        // The Ethernet port: the MAC model on slirp's wire.
        sim::Emac emac(&uic);
        emac.Attach();
        emac.SetSchedule([](std::function<void()> fn) { kernel::PostAndServe(std::move(fn)); });
        net::SlirpWire wire;
        void* ram = nullptr;
        net::WireConfig wireConfig;
        ChooseNetworkAddresses(board.Env().Get("IPADD"), board.Env().Get("NETMASK"),
                               board.Env().Get("GIPADD"), &wireConfig.address, &wireConfig.mask,
                               &wireConfig.hostAlias);
        wireConfig.portOffset = line.port_offset;
        wireConfig.allowNetwork = line.allow_network;
        wireConfig.log = [](const std::string& text) {
            host_console_write(text.data(), text.size());
        };
        emac.SetSink([&wire](const uint8_t* frame, size_t length) { wire.Send(frame, length); });
        wire.Start(wireConfig,
                   [&emac](const uint8_t* frame, size_t length) { emac.Offer(frame, length); });
        {
            std::unique_ptr<Wiring> wiring = MakeWiring();
            System system(wiring->hooks);
            system.Main(argc, argv);

            kernel::Options options;
            options.clock = kernel::ClockMode::kRealTime;
            options.time_scale = line.time_scale;
            auto k = std::make_unique<kernel::Kernel>(options);
            k->Start([&](void* memory) {
                ram = memory;
                hw::MapMemory(kRamBusBase, memory, uint32_t(k->free_memory_size()));
                monitor::BindKernel(&board);
                InstallExternalInterruptVector();
                InstallEthernetInterruptHandlers();
                tx_timer_create(&g_uartClock, "uart line clock", &UartClockTick,
                                reinterpret_cast<ULONG_PTR>(&serial), 1, 1, TX_AUTO_ACTIVATE);
                tx_application_define(memory);
            });
            while (!k->StopRequested() && !stop.load()) {
                pollStop(stop);
            }
            k->Stop();
            wire.Stop();
            // Firmware threads may still run until the kernel ends them: the monitor is unbound
            // only once they are gone.
            k.reset();
            monitor::UnbindKernel(&board);
            uic.SetAssertHook(nullptr);
            board.SetEpldLoadHook(nullptr);
        }
        EmacResetDriver();
        net::EndOfBoot();
        NetworkStandInEndOfBoot();
        hw::UnmapMemory(ram);
        timer_scheduler_tx_rtos::Reset();
        ResetInterruptState();
        EndOfBoot();
        if (stop.load() || board.Cause() == monitor::RestartCause::None) {
            // A stop asked for from outside is a shutdown, not a start that failed: clear the
            // boot counter as a commanded restart does, so that quick stops never discard the
            // journal.
            board.Nvram().SetReg(kBootCounterIndex,
                                 uint8_t(board.Nvram().BootCounterByte() & 0xF0));
            return BoardEnd::kStopped;
        }
        std::fflush(stdout);
    }
}
