#include "comm/ntcip_transports.h"

#include <memory>

#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/snmp_over_pmpp.h"
#include "runtime/debug_print.h"

namespace {

struct Transports {
    CQ2SerialDriver ccp;
    CQ2SerialDriver panel;
    CServerChannelStandIn tcp{"tcp server"};
    CServerChannelStandIn udp{"udp server"};
    CServerChannelStandIn trap{"trap server"};
    CNTCIP interfaces[CNTCIP::kMaxObjects];
    bool firstCall = true;
};

std::unique_ptr<Transports> g_transports;

Transports& T() {
    if (!g_transports) {
        BuildTransports();
    }
    return *g_transports;
}

uint32_t Setting(const DbObject& object, uint32_t row = 0) {
    CDataBase* db = CommDatabase();
    return db != nullptr ? db->Get(object, row) : 0;
}

bool CreateAgents(uint8_t** next) {
    Transports& t = T();
    bool ok = CNTCIP::CreatePmppAgent(&t.interfaces[kIfCcpPmpp], next, "ccp_pmpp") == 1;
    ok &= CNTCIP::CreatePppAgent(&t.interfaces[kIfCcpPpp], next, "ccp_ppp", "chap") == 1;
    ok &= CNTCIP::CreatePmppAgent(&t.interfaces[kIfEthernetPmpp], next, "ethernet_pmpp") == 1;
    ok &= CNTCIP::CreatePppAgent(&t.interfaces[kIfEthernetPpp], next, "ethernet_ppp", "chap") == 1;
    ok &= CNTCIP::CreateEthernetAgent(&t.interfaces[kIfEthernetTcp], next, "ethernet_tcp") == 1;
    ok &= CNTCIP::CreateEthernetAgent(&t.interfaces[kIfEthernetUdp], next, "ethernet_udp") == 1;
    return ok;
}

void HandTimeouts() {
    const uint32_t ccp = Setting(dbo::brenCommConfigInnerCharTimeout, 0);
    const uint32_t ethernet = Setting(dbo::brenCommConfigInnerCharTimeout, 4);
    CNTCIP::SetPmppCommTimeout(nullptr, "ccp_pmpp", ccp);
    CNTCIP::SetRdiParameters(nullptr, "ccp_pmpp", Setting(dbo::brenRdiAck2Timeout),
                             Setting(dbo::brenRdiRetries), Setting(dbo::brenRemoteIPAddress),
                             Setting(dbo::brenRdiLogicalId));
    CNTCIP::SetPppCommTimeout(nullptr, "ccp_ppp", ccp);
    CNTCIP::SetPmppCommTimeout(nullptr, "ethernet_pmpp", ethernet);
    CNTCIP::SetPppCommTimeout(nullptr, "ethernet_ppp", ethernet);
    CNTCIP::SetEthernetCommTimeout(nullptr, "ethernet_tcp", ethernet);
    CNTCIP::SetEthernetCommTimeout(nullptr, "ethernet_udp", ethernet);
}

}  // namespace

void BuildTransports() {
    g_transports.reset();
    CNTCIP::ResetRegistry();
    SnmpOverPmppEndOfBoot();
    CQ2SerialDriver::ResetSharedFlags();
    comm_task::ResetProtocolState();
    g_transports = std::make_unique<Transports>();
    Transports& t = *g_transports;
    SetPortTable(&t.ccp, &t.panel, &t.tcp, &t.udp, &t.trap);
}

void EndTransports() {
    g_transports.reset();
    CNTCIP::ResetRegistry();
    SnmpOverPmppEndOfBoot();
    SetPortTable(nullptr, nullptr, nullptr, nullptr, nullptr);
}

CQ2SerialDriver& CcpSerialDriver() {
    return T().ccp;
}
CQ2SerialDriver& PanelSerialDriver() {
    return T().panel;
}
CServerChannelStandIn& TcpServer() {
    return T().tcp;
}
CServerChannelStandIn& UdpServer() {
    return T().udp;
}
CServerChannelStandIn& TrapServer() {
    return T().trap;
}
CNTCIP& NtcipInterface(unsigned index) {
    return T().interfaces[index < CNTCIP::kMaxObjects ? index : 0];
}

SerialLineMode LineModeOfHandshake(uint32_t code, bool rdi) {
    SerialLineMode line{0x3121, 0};
    switch (code) {
        case 1:
            line = {0x1821, 0};
            break;
        case 2:
            line = {0x5221, 0};
            break;
        case 3:
            line = {0x5421, 0};
            break;
        case 7:
            line = {0x5021, 1};
            break;
        case 8:
            line = {0x5421, 2};
            break;
        default:
            break;
    }
    if (rdi) {
        line.mode = (line.mode & ~0x0001u) | 0x0002u;
    }
    return line;
}

int InitNtcipTransports(uint8_t** next) {
    Transports& t = T();
    CNTCIP::s_rdiFlag = Setting(dbo::brenCommConfigProtocol, 0) == 14;
    // Entering the radio mode rewrites the port settings: apply them before the port opens.
    comm_task::RdiTransition();
    const SerialLineMode line =
        LineModeOfHandshake(Setting(dbo::brenCommConfigFlowControl, 0), CNTCIP::s_rdiFlag);
    if (t.ccp.Open(0, Setting(dbo::rs232PortInSpeed, 0), 8, line.mode, line.handshake,
                   kCcpRingSize) == 0) {
        DebugPrint("InitNtcipTransports: serial port 0 not opened\n");
    }
    int result = 0;
    if (t.firstCall) {
        t.panel.Open(1, kPanelBaud, 8, 0x3121, 0, kPanelRingSize);
        if (next != nullptr && *next != nullptr) {
            if (!CreateAgents(next)) {
                DebugPrint("Error: Initializing NTCIP Objects\n");
                result = 1;
            }
            HandTimeouts();
            comm_task::AssignProtocols();
        } else {
            DebugPrint("Error: Initializing NTCIP Objects\n");
            result = 1;
        }
        t.firstCall = false;
        return result;
    }
    HandTimeouts();
    return result;
}
