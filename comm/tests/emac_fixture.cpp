#include "comm/tests/emac_fixture.h"

#include <unistd.h>

#include <cstring>

#include "platform/net/stack_core.h"

namespace emac_test {

uint16_t Checksum(const uint8_t* data, size_t length, uint32_t sum) {
    for (size_t i = 0; i + 1 < length; i += 2) {
        sum += uint32_t(data[i] << 8 | data[i + 1]);
    }
    if (length & 1) {
        sum += uint32_t(data[length - 1] << 8);
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return uint16_t(~sum);
}

namespace {

void Put16(Frame& f, uint16_t v) {
    f.push_back(uint8_t(v >> 8));
    f.push_back(uint8_t(v));
}
void Put32(Frame& f, uint32_t v) {
    Put16(f, uint16_t(v >> 16));
    Put16(f, uint16_t(v));
}
Frame Header(const uint8_t* destination, uint16_t type) {
    Frame f(destination, destination + 6);
    f.insert(f.end(), kHostMac, kHostMac + 6);
    Put16(f, type);
    return f;
}

}  // namespace

Frame ArpRequest(uint32_t target, const uint8_t* senderMac, uint32_t sender) {
    static constexpr uint8_t kBroadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    Frame f = Header(kBroadcast, 0x0806);
    std::memcpy(f.data() + 6, senderMac, 6);
    Put16(f, 1);
    Put16(f, 0x0800);
    f.push_back(6);
    f.push_back(4);
    Put16(f, 1);
    f.insert(f.end(), senderMac, senderMac + 6);
    Put32(f, sender);
    f.insert(f.end(), 6, 0);
    Put32(f, target);
    return f;
}

Frame Ipv4(uint8_t protocol, const Frame& payload, uint32_t source, uint32_t destination) {
    Frame f = Header(kStation, 0x0800);
    Frame ip;
    ip.push_back(0x45);
    ip.push_back(0);
    Put16(ip, uint16_t(20 + payload.size()));
    Put16(ip, 0x1234);
    Put16(ip, 0);
    ip.push_back(64);
    ip.push_back(protocol);
    Put16(ip, 0);
    Put32(ip, source);
    Put32(ip, destination);
    const uint16_t sum = Checksum(ip.data(), ip.size());
    ip[10] = uint8_t(sum >> 8);
    ip[11] = uint8_t(sum);
    if (protocol == 17) {  // UDP checksum over the pseudo header
        Frame udp = payload;
        uint32_t pseudo = (source >> 16) + (source & 0xFFFF) + (destination >> 16) +
                          (destination & 0xFFFF) + 17 + uint32_t(udp.size());
        const uint16_t u = Checksum(udp.data(), udp.size(), pseudo);
        udp[6] = uint8_t(u >> 8);
        udp[7] = uint8_t(u);
        ip.insert(ip.end(), udp.begin(), udp.end());
    } else {
        ip.insert(ip.end(), payload.begin(), payload.end());
    }
    f.insert(f.end(), ip.begin(), ip.end());
    return f;
}

Frame Udp(uint16_t sourcePort, uint16_t destinationPort, const std::string& data) {
    Frame f;
    Put16(f, sourcePort);
    Put16(f, destinationPort);
    Put16(f, uint16_t(8 + data.size()));
    Put16(f, 0);
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

Frame IcmpEcho(uint16_t id, uint16_t sequence, const std::string& data) {
    Frame f{8, 0, 0, 0};
    Put16(f, id);
    Put16(f, sequence);
    f.insert(f.end(), data.begin(), data.end());
    const uint16_t sum = Checksum(f.data(), f.size());
    f[2] = uint8_t(sum >> 8);
    f[3] = uint8_t(sum);
    return f;
}

EmacTest::EmacTest() {
    static int serial = 0;
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("dms_emac_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    kernel::SetConsoleCapture([this](std::string_view text) { console_.append(text); });
    AttachBoard();
}

void EmacTest::AttachBoard() {
    std::memset(ram_, 0, sizeof ram_);
    hw::MapMemory(kRamBase, ram_, kRamSize);
    uic_.Attach();
    uic_.SetAssertHook([] { kernel::RaiseInterrupt(kExternalInterruptLine); });
    emac_.Attach();
    emac_.SetSink(
        [this](const uint8_t* frame, size_t length) { sent_.emplace_back(frame, frame + length); });
    emac_.SetSchedule([](std::function<void()> fn) { kernel::Post(std::move(fn)); });
}

void EmacTest::NextRound() {
    Shutdown();
    kernel_ = std::make_unique<kernel::Kernel>();
    sent_.clear();
    console_.clear();
    ip_ = NX_IP{};
    pool_ = NX_PACKET_POOL{};
    AttachBoard();
}

EmacTest::~EmacTest() {
    Shutdown();
    kernel::SetConsoleCapture(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void EmacTest::Shutdown() {
    if (kernel_) {
        if (monitor_) {
            monitor::UnbindKernel(monitor_.get());
        }
        KernelTest::Shutdown();
    }
    EmacResetDriver();
    net::EndOfBoot();
    ResetInterruptState();
    uic_.SetAssertHook(nullptr);
    emac_.Detach();
    uic_.Detach();
    hw::UnmapMemory(ram_);
    monitor_.reset();
}

void EmacTest::Start(const Options& options) {
    EmacResetDriver();  // whatever an earlier boot of this process left
    monitor::MonitorConfig config;
    config.boardDir = dir_.string();
    config.runMonrc = false;
    monitor_ = std::make_unique<monitor::Monitor>(config);
    ASSERT_TRUE(monitor_->Boot());
    emac_.GetPhy().SetAbsent(options.phyAbsent);
    EthernetSetBufferArea(ram_);
    EthernetSetStationAddress(kStation);
    EthernetSetLinkMode(options.speed, options.duplex, options.restrict);
    EthernetSetOwnAddress(kOwnIp);
    Boot([this, options](uint8_t* next) {
        monitor::BindKernel(monitor_.get());
        ASSERT_TRUE(InstallExternalInterruptVector());
        InstallEthernetInterruptHandlers();
        ASSERT_EQ(nx_packet_pool_create(&pool_, "NetX", 1568, ram_ + (1u << 20), 1u << 19),
                  NX_SUCCESS);
        ASSERT_EQ(nx_ip_create(&ip_, "NetX IP Instance 0", kOwnIp, 0xFFFFFF00, &pool_,
                               &EmacNetDriver, next, 8192, 1),
                  NX_SUCCESS);
        static uint8_t arpCache[1024];
        nx_arp_enable(&ip_, arpCache, sizeof arpCache);
        nx_udp_enable(&ip_);
        nx_tcp_enable(&ip_);
        if (options.icmp) {
            nx_icmp_enable(&ip_);
        }
    });
    Advance(1);
    sent_.clear();  // the stack's announcement of its address
}

void EmacTest::Offer(const Frame& frame) {
    emac_.Offer(frame.data(), frame.size());
    Advance(1);
}

std::vector<Frame> EmacTest::Sent() {
    std::vector<Frame> out;
    out.swap(sent_);
    return out;
}

std::string EmacTest::Console() {
    std::string out;
    out.swap(console_);
    return out;
}

}  // namespace emac_test
