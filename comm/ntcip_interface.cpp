#include "comm/ntcip_interface.h"

#include <cstring>

#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/ntcip_ip.h"
#include "comm/snmp_over_pmpp.h"
#include "ntcip/send_trap.h"
#include "ntcip/snmp_process.h"
#include "runtime/debug_print.h"

bool CNTCIP::s_rdiFlag = false;
uint32_t CNTCIP::s_netMask = 0;

namespace {

constexpr uint32_t kDispatchStack = 2048;
constexpr uint16_t kLinkSnmpPort = 1161;
constexpr uint16_t kLinkTrapPort = 1162;

CNTCIP* g_objects[CNTCIP::kMaxObjects];
unsigned g_objectCount = 0;
CommInterfaceEntry g_rows[CNTCIP::kMaxRows];
unsigned g_rowCount = 0;
bool g_snmpStarted = false;

}  // namespace

void CNTCIP::ResetRegistry() {
    for (auto& object : g_objects) {
        object = nullptr;
    }
    g_objectCount = 0;
    for (auto& row : g_rows) {
        row = CommInterfaceEntry{};
    }
    g_rowCount = 0;
    g_snmpStarted = false;
    s_rdiFlag = false;
}

CNTCIP::CNTCIP() {
    if (g_objectCount < kMaxObjects) {
        g_objects[g_objectCount++] = this;
    }
}

CNTCIP::~CNTCIP() {
    for (unsigned i = 0; i < g_objectCount; ++i) {
        if (g_objects[i] == this) {
            g_objects[i] = g_objects[--g_objectCount];
            g_objects[g_objectCount] = nullptr;
            break;
        }
    }
    for (unsigned i = 0; i < g_rowCount; ++i) {
        if (g_rows[i].interface == this) {
            g_rows[i].interface = nullptr;
        }
    }
}

unsigned CNTCIP::RowCount() {
    return g_rowCount;
}

CommInterfaceEntry& CNTCIP::Row(unsigned index) {
    return g_rows[index < kMaxRows ? index : 0];
}

unsigned CNTCIP::ObjectCount() {
    return g_objectCount;
}

uint8_t FindPortByName(const char* name) {
    for (unsigned i = 0; i < g_rowCount; ++i) {
        const CNTCIP* interface = g_rows[i].interface;
        if (interface != nullptr && std::strcmp(interface->agent.name, name) == 0) {
            return uint8_t(i);
        }
    }
    return CNTCIP::kNoRow;
}

bool CNTCIP::RegisterInterface(CNTCIP* interface, uint8_t kind) {
    if (g_rowCount >= kMaxRows) {
        return false;
    }
    g_rows[g_rowCount++] = {interface, kCommPortNone, kind, &g_TrapBuffer};
    return true;
}

int CNTCIP::CreateAgent(CNTCIP* interface, uint8_t** cursor, const char* name, uint8_t kind) {
    if (interface == nullptr || cursor == nullptr || *cursor == nullptr) {
        return 0;
    }
    if (!g_snmpStarted) {
        snmp_entry();
        LinkStandInsStart();
        g_snmpStarted = true;
    }
    interface->packetPool = "NetX";
    interface->driverState = 0;
    const bool link = kind != kKindEthernet;
    snmp_net_drv driver = kind == kKindPmpp  ? &snmp_pmpp_net_drv
                          : kind == kKindPpp ? &snmp_ppp_net_drv
                                             : &snmp_ethernet_net_drv;
    TX_THREAD_ENTRY udp = kind == kKindPmpp  ? &pmpp_udp_ip_thread_entry
                          : kind == kKindPpp ? &ppp_udp_ip_thread_entry
                                             : nullptr;
    TX_THREAD_ENTRY tcp = kind == kKindPmpp  ? &pmpp_tcp_ip_thread_entry
                          : kind == kKindPpp ? &ppp_tcp_ip_thread_entry
                                             : nullptr;
    if (kind == kKindPmpp && !PmppAttachAgent(&interface->agent, &interface->pmpp)) {
        return 0;
    }
    uint32_t used = 0;
    const int status =
        snmp_agent_create(&interface->agent, name, link ? kLinkSnmpPort : 161,
                          link ? kLinkTrapPort : 162, g_NtcipIp.localBytes, *cursor, &used,
                          kDispatchStack, snmp_process, snmp_agent_null_callback, driver, udp, tcp);
    if (status != 0) {
        return 0;
    }
    *cursor += used;
    LinkCallbacks* callbacks = CallbacksOf(interface, kind);
    *callbacks = kNoneCallbacks;
    interface->pmpp.counters = {};
    interface->ppp.counters = {};
    interface->ethernet.counters = {};
    return RegisterInterface(interface, kind) ? 1 : 0;
}

int CNTCIP::CreatePmppAgent(CNTCIP* interface, uint8_t** cursor, const char* name) {
    const int result = CreateAgent(interface, cursor, name, kKindPmpp);
    if (result == 1 && CommDatabase() != nullptr) {
        interface->pmpp.stationAddress = uint8_t(CommDatabase()->Get(dbo::brenhdlcAddress));
    }
    return result;
}

int CNTCIP::CreatePppAgent(CNTCIP* interface, uint8_t** cursor, const char* name,
                           const char* linkName) {
    const int result = CreateAgent(interface, cursor, name, kKindPpp);
    if (result == 1) {
        interface->ppp.chap = linkName == nullptr || std::strcmp(linkName, "nchap") != 0;
    }
    return result;
}

int CNTCIP::CreateEthernetAgent(CNTCIP* interface, uint8_t** cursor, const char* name) {
    return CreateAgent(interface, cursor, name, kKindEthernet);
}

LinkCallbacks* CNTCIP::CallbacksOf(CNTCIP* interface, uint8_t kind) {
    switch (kind) {
        case kKindPmpp:
            return &interface->pmpp.callbacks;
        case kKindPpp:
            return &interface->ppp.callbacks;
        default:
            return &interface->ethernet.callbacks;
    }
}

void CNTCIP::Unbind(const CommInterfaceEntry& row) {
    if (ReleasePortDriver(row.port) == 0) {
        DebugPrint("CNTCIP::Configure: error releasing driver\n");
    }
    if (row.port == kCommPortCcp) {
        if (g_BoundSerial != nullptr) {
            g_BoundSerial->SetRxCallback(nullptr, 0, 0);
        }
        g_BoundSerial = nullptr;
    } else if (row.port == kCommPortTcp) {
        if (g_BoundTcp != nullptr) {
            g_BoundTcp->SetRxCallback(nullptr, 0, 0);
        }
        g_BoundTcp = nullptr;
    } else if (row.port == kCommPortUdp) {
        g_BoundUdp = nullptr;
    }
}

void CNTCIP::Bind(CommInterfaceEntry& row, const CommChannel* channel, uint32_t port) {
    CNTCIP* interface = row.interface;
    LinkCallbacks* callbacks = CallbacksOf(interface, row.kind);
    *callbacks = kNoneCallbacks;
    const bool link = row.kind != kKindEthernet;
    const auto group = reinterpret_cast<uintptr_t>(
        row.kind == kKindPmpp ? interface->pmpp.workerEvents : interface->ppp.workerEvents);
    const uintptr_t bit =
        row.kind == kKindPmpp ? interface->pmpp.workerBit : interface->ppp.workerBit;
    if (port == kCommPortCcp && link && channel != nullptr && channel->serial != nullptr) {
        g_BoundSerial = channel->serial;
        callbacks->putChar = &CcpPortPutChar;
        callbacks->getChar = &CcpPortGetChar;
        g_BoundSerial->SetRxCallback(&PortRxNotify, group, bit);
        if (row.kind == kKindPmpp) {
            interface->pmpp.rdiMode = s_rdiFlag ? 1 : 0;
        }
    } else if (port == kCommPortTcp && channel != nullptr && channel->server != nullptr) {
        g_BoundTcp = channel->server;
        callbacks->sendFrame = &TcpPortSendFrame;
        if (link) {
            g_BoundTcp->SetRxCallback(&PortRxNotify, group, bit);
        }
    } else if (port == kCommPortUdp && channel != nullptr && channel->server != nullptr) {
        g_BoundUdp = channel->server;
        callbacks->sendFrame = &UdpPortSendFrame;
    } else {
        DebugPrint(row.kind == kKindPpp ? "CNTICIP::Configure: error invalid port setting:%d\n"
                                        : "CNTCIP::Configure: error invalid port setting:%d\n",
                   int(port));
    }
}

int CNTCIP::Configure(const char* name, uint32_t port) {
    const uint8_t index = FindPortByName(name);
    if (index == kNoRow) {
        return 0;
    }
    CommInterfaceEntry& row = g_rows[index];
    if (row.port != kCommPortNone) {
        Unbind(row);
    }
    const bool knownKind =
        row.kind == kKindPmpp || row.kind == kKindPpp || row.kind == kKindEthernet;
    if (port == kCommPortNone) {
        if (!knownKind) {
            DebugPrint("CNTCIP::Configure: error invalid protocol type\n");
            return 0;
        }
        *CallbacksOf(row.interface, row.kind) = kNoneCallbacks;
        return 1;
    }
    const CommChannel* channel = AttainPortDriver(port);
    if (channel == nullptr) {
        DebugPrint("CNTCIP::Configure: error unable to attain driver:%d\n", int(port));
        return 0;
    }
    row.port = uint8_t(port);
    row.interface->pmpp.rdiMode = 0;
    if (!knownKind) {
        DebugPrint("CNTICP::Configure: error unknown protocol type\n");
        return 0;
    }
    Bind(row, channel, port);
    return 1;
}

int CNTCIP::SetPppCommTimeout(CNTCIP*, const char* name, uint32_t timeout) {
    const uint8_t index = FindPortByName(name);
    if (index != kNoRow) {
        g_rows[index].interface->ppp.commTimeout = timeout;
    }
    return 1;
}

int CNTCIP::SetPmppCommTimeout(CNTCIP*, const char* name, uint32_t timeout) {
    const uint8_t index = FindPortByName(name);
    if (index != kNoRow) {
        pmpp_set_interchar_timeout(&g_rows[index].interface->pmpp, timeout);
    }
    return 1;
}

int CNTCIP::SetEthernetCommTimeout(CNTCIP*, const char* name, uint32_t timeout) {
    const uint8_t index = FindPortByName(name);
    if (index != kNoRow) {
        g_rows[index].interface->ethernet.commTimeout = timeout;
    }
    return 1;
}

int CNTCIP::SetRdiParameters(CNTCIP*, const char* name, uint32_t ack2Timeout, uint32_t retries,
                             uint32_t ipAddress, uint32_t logicalId) {
    const uint8_t index = FindPortByName(name);
    if (index != kNoRow) {
        pmpp_set_rdi_parameters(&g_rows[index].interface->pmpp, ack2Timeout, retries, ipAddress,
                                logicalId);
    }
    return 1;
}

void CNTCIP::SetPmppAddressAll(uint32_t address) {
    for (unsigned i = 0; i < g_objectCount; ++i) {
        g_objects[i]->pmpp.stationAddress = uint8_t(address);
    }
}

void CNTCIP::SetIpAddressAll() {
    for (unsigned i = 0; i < g_rowCount; ++i) {
        CNTCIP* interface = g_rows[i].interface;
        if (interface == nullptr) {
            continue;
        }
        std::memcpy(interface->agent.address, g_NtcipIp.localBytes, 4);
        interface->ip.address = g_NtcipIp.local;
        interface->ip.mask = s_netMask;
        if (g_rows[i].kind == kKindPpp) {
            interface->ppp.localAddress = g_NtcipIp.local;
            interface->ppp.centralAddress = g_NtcipIp.central;
        }
    }
}

int CNTCIP::SendTrap(uint32_t generic, uint32_t specific, uint32_t count,
                     const trap_varbind* varbinds) {
    // Silent while the central system has not polled within its maximum poll time.
    if (CommPollTimeExceeded()) {
        return 0;
    }
    return ntcip_queue_trap_stand_in(generic, specific, count, varbinds);
}
