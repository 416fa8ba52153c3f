#pragma once
// The Ethernet link of one NTCIP interface ("ethernet_udp" or "ethernet_tcp"): whole SNMP
// messages, cut from datagrams or from a connection's byte stream, go to the interface's SNMP
// agent, and the agent's response goes back on the channel and to the peer the request came
// from. Requests of different peers are handled one at a time, each with its own answer path,
// so that no manager receives another's answer.

#include <cstddef>
#include <cstdint>

#include "ntcip/snmp_agent.h"
#include "platform/kernel/tx_api.h"

// Where a response goes: the server channel a request came in on.
class EthernetFrameSink {
public:
    // The frame to the peer the request came from (UDP) or on the connection (TCP). True
    // when sent.
    virtual bool SendFrame(const uint8_t* frame, size_t length, uint32_t peerAddress,
                           uint16_t peerPort) = 0;

protected:
    ~EthernetFrameSink() = default;
};

struct EthernetLinkCounters {
    uint32_t bytesReceived = 0;
    uint32_t framesReceived = 0;  // messages delivered to the agent
    uint32_t framesSent = 0;
    uint32_t sendFailures = 0;
};

class EthernetLink {
public:
    static constexpr size_t kQueueSize = 2050;  // the largest message a link takes

    // Creates the interface's agent over this link (port, trap port, own address in host
    // order). 0 or the failing status.
    int Create(const char* name, uint16_t port, uint16_t trapPort, uint32_t ownAddress);
    bool Created() const { return created_; }
    // End of a boot: the kernel objects have gone.
    void Forget() {
        created_ = false;
        counters_ = {};
    }

    // One whole message from peer, answered through sink. Any thread.
    void DeliverMessage(const uint8_t* message, size_t length, uint32_t peerAddress,
                        uint16_t peerPort, EthernetFrameSink* sink);

    EthernetLinkCounters Counters() const { return counters_; }
    snmp_agent* Agent() { return &agent_; }

private:
    static int NetDriver(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                         uint32_t* length);
    static EthernetLink* Of(snmp_agent* agent);

    snmp_agent agent_{};  // first: the net driver finds the link from its agent
    TX_MUTEX protect_{};
    EthernetFrameSink* sink_ = nullptr;  // the request being handled
    uint32_t peerAddress_ = 0;
    uint16_t peerPort_ = 0;
    EthernetLinkCounters counters_;
    bool created_ = false;
    alignas(8) uint8_t memory_[2 * kSnmpMessageBufferSize];
};
