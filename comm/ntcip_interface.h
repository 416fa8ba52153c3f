#pragma once
// An NTCIP interface: one SNMP agent and the link that carries its messages (PMPP, PPP or
// bare SNMP over Ethernet). Interfaces are registered in a table of 12 rows and bound at run time
// to one of the numbered ports (port_table.h) by Configure.

#include <cstdint>

#include "comm/link_stand_ins.h"
#include "comm/pmpp_link.h"
#include "comm/port_table.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/trap_buffer.h"
#include "ntcip/trap_record.h"

enum CommProtocolKind : uint8_t { kKindNone = 0, kKindPmpp = 1, kKindPpp = 2, kKindEthernet = 3 };

class CNTCIP;

struct CommInterfaceEntry {
    CNTCIP* interface = nullptr;
    uint8_t port = kCommPortNone;
    uint8_t kind = kKindNone;
    CTrapBuffer* trapBuffer = nullptr;
};

// The network instance over a link that carries IP (address and mask as set).
struct NetIpStandIn {
    uint32_t address = 0;
    uint32_t mask = 0;
};

class CNTCIP {
public:
    static constexpr unsigned kMaxObjects = 12;
    static constexpr unsigned kMaxRows = 12;
    static constexpr uint8_t kNoRow = 255;

    CNTCIP();
    virtual ~CNTCIP();
    CNTCIP(const CNTCIP&) = delete;
    CNTCIP& operator=(const CNTCIP&) = delete;

    static bool RegisterInterface(CNTCIP* interface, uint8_t kind);
    static int CreatePmppAgent(CNTCIP* interface, uint8_t** cursor, const char* name);
    static int CreatePppAgent(CNTCIP* interface, uint8_t** cursor, const char* name,
                              const char* linkName);
    static int CreateEthernetAgent(CNTCIP* interface, uint8_t** cursor, const char* name);
    static int Configure(const char* name, uint32_t port);

    static int SetPppCommTimeout(CNTCIP* interface, const char* name, uint32_t timeout);
    static int SetPmppCommTimeout(CNTCIP* interface, const char* name, uint32_t timeout);
    static int SetEthernetCommTimeout(CNTCIP* interface, const char* name, uint32_t timeout);
    static int SetRdiParameters(CNTCIP* interface, const char* name, uint32_t ack2Timeout,
                                uint32_t retries, uint32_t ipAddress, uint32_t logicalId);
    static void SetPmppAddressAll(uint32_t address);
    // Queues a trap for all interfaces (distribution to the interfaces is a stand-in: the trap
    // is queued in g_TrapBuffer); nothing while the communication task's poll-time flag is set.
    static int SendTrap(uint32_t generic, uint32_t specific, uint32_t count,
                        const trap_varbind* varbinds);
    static void SetIpAddressAll();

    // Table access.
    static unsigned RowCount();
    static CommInterfaceEntry& Row(unsigned index);
    static unsigned ObjectCount();
    // Empties the registry and the table, as at power-up (a new boot, tests).
    static void ResetRegistry();
    // The RDI flag of the transports (the CCP protocol is the radio mode).
    static bool s_rdiFlag;
    // Network mask handed to the IP instances.
    static uint32_t s_netMask;

    snmp_agent agent{};
    NetIpStandIn ip;
    PppLink ppp;
    PmppLink pmpp;
    EthernetLinkStandIn ethernet;
    const char* packetPool = nullptr;
    uint8_t driverState = 0;

private:
    static int CreateAgent(CNTCIP* interface, uint8_t** cursor, const char* name, uint8_t kind);
    static LinkCallbacks* CallbacksOf(CNTCIP* interface, uint8_t kind);
    static void Unbind(const CommInterfaceEntry& row);
    static void Bind(CommInterfaceEntry& row, const CommChannel* channel, uint32_t port);
};

// Row index of the interface with that name, 255 when none.
uint8_t FindPortByName(const char* name);
