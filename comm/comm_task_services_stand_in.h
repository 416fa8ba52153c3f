#pragma once
// The communication task's services on the board: the Ethernet driver, and the network start-up
// stand-in (IP instance over the EMAC driver, Ethernet transports). The SNTP client, the UDP
// client socket, DHCP, the web server, the panel, trap delivery and file transfer are stand-ins
// that do nothing until those parts are built: the SNTP client never sets the clock, the UDP
// client holds nothing, DHCP renewals succeed, there is no panel manager, traps stay queued.

#include "comm/comm_task_services.h"

class CommTaskServicesStandIn : public CommTaskServices {
public:
    // ethernetReset: the board reset of the watchdog (null: the reply is ignored).
    explicit CommTaskServicesStandIn(void (*ethernetReset)() = nullptr)
        : ethernetReset_(ethernetReset) {}

    bool StartNetwork() override;
    void SntpSetInterval(uint32_t passes) override { sntpInterval_ = passes; }
    bool SntpPoll() override { return false; }
    uint32_t UdpClientReceive(uint8_t*, uint32_t) override { return 0; }
    void EthernetLinkCheck() override;
    uint8_t EthernetLinkState() override;
    bool PhyFailed() override;
    bool EthernetInterruptSeen() override;
    uint32_t EthernetInterruptCount() override;
    void EmacConfigure() override;
    void EthernetReset() override;
    uint32_t DhcpForceRenew() override { return 0; }
    void DhcpStop() override {}
    void DhcpStart() override {}
    void HttpServerStop() override {}
    bool PanelManagerPresent() override { return false; }
    void SetPanelIndicator(uint32_t, uint32_t) override {}
    void ProcessTraps() override {}
    void FileTransferStep(bool) override {}

    uint32_t SntpInterval() const { return sntpInterval_; }

private:
    void (*ethernetReset_)();
    uint32_t sntpInterval_ = 0;
};
