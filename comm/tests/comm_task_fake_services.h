#pragma once
// Recording fakes of the parts the communication task calls: an SNTP client that counts down
// like the real one, a scripted Ethernet link and interrupt counter, counters for the rest.

#include <cstdint>
#include <vector>

#include "comm/comm_task_services.h"
#include "platform/kernel/tx_api.h"

class FakeCommServices : public CommTaskServices {
public:
    bool StartNetwork() override {
        ++networkStarts;
        return sntpConfigured;
    }
    void SntpSetInterval(uint32_t passes) override {
        sntpInterval = passes;
        sntpCountdown = passes;
        intervals.push_back(passes);
    }
    // Counts down; at 0 a request goes out (its tick is kept) and the countdown reloads. A
    // server that answers sets the clock on the poll that sent the request.
    bool SntpPoll() override {
        if (sntpCountdown != 0) {
            --sntpCountdown;
            return false;
        }
        requests.push_back(tx_time_get());
        sntpCountdown = sntpInterval;
        return serverAnswers;
    }
    uint32_t UdpClientReceive(uint8_t*, uint32_t) override {
        ++udpReads;
        if (udpQueued == 0) {
            return 0;
        }
        --udpQueued;
        return 48;
    }
    void EthernetLinkCheck() override {
        ++linkChecks;
        linkState = link;
    }
    uint8_t EthernetLinkState() override { return linkState; }
    bool PhyFailed() override { return phyFailed; }
    bool EthernetInterruptSeen() override { return interruptSeen; }
    uint32_t EthernetInterruptCount() override { return interrupts; }
    void EmacConfigure() override { ++softResets; }
    void EthernetReset() override { ++boardResets; }
    uint32_t DhcpForceRenew() override {
        ++dhcpRenewals;
        return dhcpStatus;
    }
    void DhcpStop() override { ++dhcpStops; }
    void DhcpStart() override { ++dhcpStarts; }
    void HttpServerStop() override { ++httpStops; }
    bool PanelManagerPresent() override { return panel; }
    void SetPanelIndicator(uint32_t indicator, uint32_t state) override {
        indicators.push_back(indicator * 10 + state);
    }
    void ProcessTraps() override { ++trapPasses; }
    void FileTransferStep(bool writeFiles) override { fileSteps.push_back(writeFiles); }

    // Script.
    bool sntpConfigured = false;
    bool serverAnswers = false;
    uint8_t link = 0;
    bool phyFailed = false;
    bool interruptSeen = false;
    uint32_t interrupts = 0;
    uint32_t dhcpStatus = 0;
    bool panel = false;
    uint32_t udpQueued = 0;

    // Record.
    int networkStarts = 0;
    uint32_t sntpInterval = 0;
    uint32_t sntpCountdown = 0;
    std::vector<uint32_t> intervals;
    std::vector<ULONG> requests;
    uint32_t udpReads = 0;
    uint8_t linkState = 0;
    int linkChecks = 0;
    int softResets = 0;
    int boardResets = 0;
    int dhcpRenewals = 0;
    int dhcpStops = 0;
    int dhcpStarts = 0;
    int httpStops = 0;
    std::vector<uint32_t> indicators;
    int trapPasses = 0;
    std::vector<bool> fileSteps;
};
