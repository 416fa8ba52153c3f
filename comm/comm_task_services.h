#pragma once
// What the communication task calls of the parts around it: the network start-up, the SNTP and
// UDP clients, the Ethernet driver, DHCP, the web server, the panel, trap delivery and file
// transfer. The board's implementation is CommTaskServicesStandIn; tests put recording fakes
// here.

#include <cstdint>

class CommTaskServices {
public:
    virtual ~CommTaskServices() = default;

    // Network start-up after the task's own first step: IP instance, servers, clients, protocol
    // assignment. True when the SNTP client was started.
    virtual bool StartNetwork() = 0;

    // SNTP client: the interval in passes (also its countdown), and one poll (true when it set
    // the clock).
    virtual void SntpSetInterval(uint32_t passes) = 0;
    virtual bool SntpPoll() = 0;

    // UDP client socket: one datagram without waiting (its octets, at most capacity), 0 when
    // none is left.
    virtual uint32_t UdpClientReceive(uint8_t* buffer, uint32_t capacity) = 0;

    // Ethernet driver: the link check refreshes the link state byte (1 up, 0 down).
    virtual void EthernetLinkCheck() = 0;
    virtual uint8_t EthernetLinkState() = 0;
    virtual bool PhyFailed() = 0;
    virtual bool EthernetInterruptSeen() = 0;
    virtual uint32_t EthernetInterruptCount() = 0;
    virtual void EmacConfigure() = 0;
    // Resets the board; does not come back on the board.
    virtual void EthernetReset() = 0;

    // DHCP client: 0 when the forced renewal was accepted, else the stack's status.
    virtual uint32_t DhcpForceRenew() = 0;
    virtual void DhcpStop() = 0;
    virtual void DhcpStart() = 0;

    virtual void HttpServerStop() = 0;

    // Panel manager (peripheral 70) and its status icons.
    virtual bool PanelManagerPresent() = 0;
    virtual void SetPanelIndicator(uint32_t indicator, uint32_t state) = 0;

    // Hands queued traps to the interfaces.
    virtual void ProcessTraps() = 0;

    // One file-transfer step; writeFiles false leaves the file-write part out.
    virtual void FileTransferStep(bool writeFiles) = 0;
};
