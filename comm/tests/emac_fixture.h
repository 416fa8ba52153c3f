#pragma once
// The EMAC driver on the simulated board: a stepped kernel, the boot monitor (console captured),
// the interrupt controller and the EMAC/MAL/PHY model, 2 MiB of board RAM (the network area and
// the IP instance's pool) and "NetX IP Instance 0" over the driver. Frames the model sends are
// collected; frames are offered as from the wire.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "comm/emac_driver.h"
#include "platform/kernel/kernel.h"
#include "platform/monitor/kernel_binding.h"
#include "platform/monitor/monitor.h"
#include "platform/net/nx_api.h"
#include "platform/sim/emac.h"
#include "platform/sim/hw.h"
#include "platform/sim/uic.h"
#include "runtime/interrupts.h"
#include "runtime/tests/kernel_fixture.h"

namespace emac_test {

using Frame = std::vector<uint8_t>;

inline constexpr uint8_t kStation[6] = {0x02, 0x00, 0x5E, 0x10, 0x20, 0x30};
inline constexpr uint8_t kHostMac[6] = {0x52, 0x55, 0x0A, 0x00, 0x02, 0x02};
inline constexpr uint32_t kOwnIp = 0x0A00020F;   // 10.0.2.15
inline constexpr uint32_t kHostIp = 0x0A000202;  // 10.0.2.2
inline constexpr uint32_t kRamBase = 0x3F00000;
inline constexpr uint32_t kRamSize = 2u << 20;

// Frame builders (Ethernet II, no FCS).
Frame ArpRequest(uint32_t target, const uint8_t* senderMac = kHostMac, uint32_t sender = kHostIp);
Frame Ipv4(uint8_t protocol, const Frame& payload, uint32_t source = kHostIp,
           uint32_t destination = kOwnIp);
Frame Udp(uint16_t sourcePort, uint16_t destinationPort, const std::string& data);
Frame IcmpEcho(uint16_t id, uint16_t sequence, const std::string& data);
uint16_t Checksum(const uint8_t* data, size_t length, uint32_t sum = 0);

struct Options {
    int speed = kEthernetSpeedAuto;
    int duplex = kEthernetDuplexAuto;
    int restrict = 0;
    bool icmp = true;
    bool phyAbsent = false;
};

class EmacTest : public testing_support::KernelTest {
protected:
    EmacTest();
    ~EmacTest() override;

    // Boots the board and creates the IP instance (its thread initialises and enables the link).
    void Start(const Options& options = {});
    void Offer(const Frame& frame);
    // Frames sent since the last call.
    std::vector<Frame> Sent();
    std::string Console();
    void Shutdown();
    // Ends this boot and prepares a fresh kernel and board for another Start.
    void NextRound();

    sim::Uic uic_;
    sim::Emac emac_{&uic_};
    std::unique_ptr<monitor::Monitor> monitor_;
    std::filesystem::path dir_;
    alignas(64) static inline uint8_t ram_[kRamSize];
    NX_PACKET_POOL pool_{};
    NX_IP ip_{};
    std::vector<Frame> sent_;
    std::string console_;

private:
    void AttachBoard();
};

}  // namespace emac_test
