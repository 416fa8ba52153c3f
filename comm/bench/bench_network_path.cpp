// UDP request/response through the whole Ethernet path (127.0.0.1 forward, slirp, the EMAC
// model, the EMAC driver, lwIP, the stack's API and a firmware echo thread) side by side with a
// plain Linux UDP echo server; and the CPU the network threads take while idle.
//
// Loaded machine (load average 19-21), each side in one run: with the received frame carried
// from the wire to the interrupt handler by the idle clock thread and into lwIP by the IP thread,
// median 61-79 us against 13-32 us and 16-17 k against 61-75 k answers/s; with the wire's thread
// serving it and lwIP taking it in the handler, 37-50 us against 13-18 us (2.8-3.1x) and 16-28 k
// against 54-73 k answers/s (0.28-0.49x). Quiet machine: the wire's thread waking the firmware
// thread, 47 us against 12 us (4x) and 0.42-0.46x; the last firmware thread to block polling
// slirp itself, 23-25 us against 12-16 us (1.5-2.0x) and 0.42-0.52x; with most of slirp's kernel
// calls answered in the process (datagrams read ahead), 19.7-21.4 us against 11.5-15.1 us
// (1.3-1.7x) and 0.54-0.89x in nine runs of ten.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "comm/emac_driver.h"
#include "comm/network_standin.h"
#include "platform/kernel/kernel.h"
#include "platform/net/net_config.h"
#include "platform/net/slirp_wire.h"
#include "platform/sim/emac.h"
#include "platform/sim/hw.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"

namespace {

constexpr int kOffset = 41000;

// The controller side: a real-time kernel with the Ethernet port on slirp's wire.
struct Board {
    sim::Uic uic;
    sim::Emac emac{&uic};
    net::SlirpWire wire;
    std::unique_ptr<kernel::Kernel> k;
    std::vector<uint8_t> area = std::vector<uint8_t>(2u << 20);

    Board() {
        net::SetPortOffset(kOffset);
        uic.Attach();
        uic.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
        emac.Attach();
        emac.SetSchedule([](std::function<void()> fn) { kernel::PostAndServe(std::move(fn)); });
        emac.SetSink([this](const uint8_t* f, size_t n) { wire.Send(f, n); });
        wire.Start(net::WireConfig{}, [this](const uint8_t* f, size_t n) { emac.Offer(f, n); });
        hw::MapMemory(0x3F00000, area.data(), uint32_t(area.size()));
        EthernetSetBufferArea(area.data());
        kernel::Options options;
        options.clock = kernel::ClockMode::kRealTime;
        k = std::make_unique<kernel::Kernel>(options);
        k->Start([](void*) {
            InstallExternalInterruptVector();
            InstallEthernetInterruptHandlers();
            StartNetworkStandIn(NetworkStandInSettings{});
        });
    }
};

Board& TheBoard() {
    static Board* board = new Board;  // lives to the end of the process
    return *board;
}

// A plain Linux UDP echo server on 127.0.0.1.
struct LinuxEcho {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    uint16_t port = 0;
    std::thread thread;
    LinuxEcho() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        thread = std::thread([this] {
            char buffer[2048];
            for (;;) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t got = ::recvfrom(fd, buffer, sizeof buffer, 0,
                                               reinterpret_cast<sockaddr*>(&from), &length);
                if (got > 0) {
                    ::sendto(fd, buffer, size_t(got), 0, reinterpret_cast<sockaddr*>(&from),
                             length);
                }
            }
        });
        thread.detach();
    }
};

uint16_t Port(bool controller) {
    if (controller) {
        TheBoard();
        return uint16_t(kOffset + 7);
    }
    static LinuxEcho* echo = new LinuxEcho;
    return echo->port;
}

int Client(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

bool RoundTrip(int fd, const char* data, size_t length, int timeoutMs) {
    char buffer[2048];
    if (::send(fd, data, length, 0) != ssize_t(length)) {
        return false;
    }
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && ::recv(fd, buffer, sizeof buffer, 0) == ssize_t(length);
}

// Waits until the controller's echo answers (its network starts with the kernel), then drops
// the late answers to earlier tries, which would pair each later request with the answer before.
void Ready(int fd) {
    for (int i = 0; i < 200 && !RoundTrip(fd, "ready", 5, 100); ++i) {
    }
    char buffer[2048];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 200) == 1 && ::recv(fd, buffer, sizeof buffer, 0) >= 0) {
    }
}

void BM_UdpRoundTrip(benchmark::State& state) {
    const bool controller = state.range(0) == 1;
    const int fd = Client(Port(controller));
    Ready(fd);
    char payload[64] = {};
    std::vector<double> times;
    int lost = 0;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!RoundTrip(fd, payload, sizeof payload, 1000)) {
            ++lost;
            continue;
        }
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    state.counters["median_us"] = median;
    // The controller's median against the Linux server's of the same run (budget: 2x).
    static double linuxMedian = 0;
    if (!controller) {
        linuxMedian = median;
    } else if (linuxMedian > 0) {
        state.counters["x_linux"] = median / linuxMedian;
    }
    // Thread sleeps of the whole process (client included) per round trip.
    state.counters["switches"] =
        double(after.ru_nvcsw - before.ru_nvcsw) / double(std::max<int64_t>(state.iterations(), 1));
    state.counters["lost"] = lost;
    state.SetLabel(controller ? "controller" : "linux");
    ::close(fd);
}
BENCHMARK(BM_UdpRoundTrip)->Arg(0)->Arg(1)->Iterations(3000)->UseRealTime();

// Datagrams answered per second with 8 in flight.
void BM_UdpThroughput(benchmark::State& state) {
    const bool controller = state.range(0) == 1;
    const int fd = Client(Port(controller));
    Ready(fd);
    char payload[512] = {};
    char buffer[2048];
    int64_t answered = 0;
    int stalls = 0;
    double worstMs = 0;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        int inFlight = 0;
        for (int i = 0; i < 8; ++i) {
            inFlight += ::send(fd, payload, sizeof payload, 0) > 0;
        }
        while (inFlight > 0) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) != 1) {
                if (controller) {
                    Board& b = TheBoard();
                    const sim::Emac::Counters e = b.emac.GetCounters();
                    const EmacFigures f = EmacGetFigures();
                    NX_IP* ip = EthernetIpInstance();
                    std::fprintf(stderr,
                                 "stall: in flight %d: wire in %llu, emac rx %llu, driver rx %u, "
                                 "ip rx %u, udp rx %u, udp tx %u, driver tx %u, emac tx %llu, "
                                 "wire out %llu\n",
                                 inFlight, (unsigned long long)b.wire.FramesIn(),
                                 (unsigned long long)e.framesReceived, f.framesReceived,
                                 ip->nx_ip_counters.packets_received,
                                 ip->nx_ip_counters.udp_datagrams_received,
                                 ip->nx_ip_counters.udp_datagrams_sent, f.framesSent,
                                 (unsigned long long)e.framesSent,
                                 (unsigned long long)b.wire.FramesOut());
                }
                break;  // a lost datagram
            }
            if (::recv(fd, buffer, sizeof buffer, 0) > 0) {
                ++answered;
                --inFlight;
            }
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        worstMs = std::max(worstMs, ms);
        stalls += ms > 20;
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    // Thread sleeps of the whole process (client included) per answer.
    state.counters["switches"] =
        double(after.ru_nvcsw - before.ru_nvcsw) / double(std::max<int64_t>(answered, 1));
    // CPU of the whole process (client included) per answer.
    auto cpuUs = [](const rusage& r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e6 + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    state.counters["cpu_us"] =
        (cpuUs(after) - cpuUs(before)) / double(std::max<int64_t>(answered, 1));
    // Rounds of 8 that took over 20 ms, and the slowest.
    state.counters["stalls"] = stalls;
    state.counters["worst_ms"] = worstMs;
    state.SetItemsProcessed(answered);
    // The controller's answers per second against the Linux server's (budget: at least 0.5x).
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double rate = seconds > 0 ? double(answered) / seconds : 0;
    static double linuxRate = 0;
    if (!controller) {
        linuxRate = rate;
    } else if (linuxRate > 0) {
        state.counters["x_linux"] = rate / linuxRate;
    }
    state.SetLabel(controller ? "controller" : "linux");
    ::close(fd);
}
BENCHMARK(BM_UdpThroughput)->Arg(0)->Arg(1)->Iterations(500)->UseRealTime();

// Where datagrams were dropped on the controller's side over the whole run.
void BM_Drops(benchmark::State& state) {
    Board& board = TheBoard();
    for (auto _ : state) {
        const sim::Emac::Counters e = board.emac.GetCounters();
        const EmacFigures f = EmacGetFigures();
        state.counters["emac_overruns"] = double(e.rxOverruns);
        state.counters["emac_inbox"] = double(e.inboxDropped);
        state.counters["driver_dropped"] = double(f.framesDropped);
        if (NX_IP* ip = EthernetIpInstance()) {
            state.counters["ip_dropped"] = double(ip->nx_ip_counters.packets_dropped);
            state.counters["udp_dropped"] = double(ip->nx_ip_counters.udp_receive_dropped);
        }
        state.counters["wire_in"] = double(board.wire.FramesIn());
        state.counters["wire_out"] = double(board.wire.FramesOut());
    }
}
BENCHMARK(BM_Drops)->Iterations(1);

// CPU of the whole process (kernel, lwIP and slirp threads) while nothing is sent.
void BM_IdleCpu(benchmark::State& state) {
    TheBoard();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (auto _ : state) {
        rusage before{};
        rusage after{};
        getrusage(RUSAGE_SELF, &before);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        getrusage(RUSAGE_SELF, &after);
        auto us = [](const rusage& r) {
            return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e6 + r.ru_utime.tv_usec +
                   r.ru_stime.tv_usec;
        };
        state.counters["cpu_percent"] = (us(after) - us(before)) / 5e6 * 100.0;
    }
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
