// The communication task's protocol assignment: which interface serves the CCP port and the
// Ethernet channels, the radio-mode transition and the reconfiguration after a port change.
#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/ntcip_interface.h"
#include "comm/ntcip_transports.h"
#include "render/msg_activation_code.h"

namespace {

constexpr uint32_t kRdiCode = 14;
constexpr uint32_t kLocalSlot = 6;
constexpr uint32_t kGraphicInUse = 5;
constexpr uint32_t kGraphicNotUsed = 1;
constexpr uint32_t kGraphicNotUsedRequest = 9;
constexpr uint32_t kMemoryBlank = 7;
constexpr uint32_t kSourceLocal = 2;

uint8_t g_previousCcpCode = 0;

// Blanks the sign through the local activation request slot.
void RequestBlank(CDataBase& db) {
    CMsgActivationCode code;
    code.duration = 0xFFFF;
    code.priority = 255;
    code.memoryType = kMemoryBlank;
    code.messageNumber = 1;
    code.crc = 0;
    for (uint8_t& octet : code.sourceAddress) {
        octet = 0;
    }
    code.Pack();
    db.Set(dbo::requestSourceMode, kSourceLocal, kDbNotify, kLocalSlot);
    db.Set(dbo::requestOrigin, kSourceLocal, kDbNotify, kLocalSlot);
    db.SetText(dbo::requestCode, code.raw, CMsgActivationCode::kSize, kDbNotify, kLocalSlot);
}

void EmptyGraphicTable(CDataBase& db) {
    for (uint32_t row = 0; row < dbo::dmsGraphicStatus.rows; ++row) {
        if (db.Get(dbo::dmsGraphicStatus, row) == kGraphicInUse) {
            RequestBlank(db);
        }
        if (db.Get(dbo::dmsGraphicStatus, row) != kGraphicNotUsed) {
            db.Set(dbo::dmsGraphicStatus, kGraphicNotUsedRequest, kDbNotify, row);
        }
    }
}

}  // namespace

void comm_task::ResetProtocolState() {
    g_previousCcpCode = 0;
}

void comm_task::RdiTransition() {
    CDataBase* db = CommDatabase();
    if (db == nullptr) {
        return;
    }
    const uint32_t code = db->Get(dbo::brenCommConfigProtocol, 0);
    const uint32_t previous = g_previousCcpCode;
    g_previousCcpCode = uint8_t(code);
    if (previous == kRdiCode && code != kRdiCode) {
        db->Set(dbo::brenCommConfigFlowControl, 0, 0, 0);
        db->Set(dbo::dmsGraphicBlockSize, 1023, 0);
        db->Set(dbo::dmsGraphicMaxSize, 64449, 0);
        EmptyGraphicTable(*db);
    } else if (previous != kRdiCode && code == kRdiCode) {
        db->Set(dbo::rs232PortInSpeed, 9600, 0, 0);
        db->Set(dbo::brenCommConfigFlowControl, 2, 0, 0);
        db->Set(dbo::dmsGraphicBlockSize, 400, 0);
        db->Set(dbo::dmsGraphicMaxSize, 25200, 0);
        EmptyGraphicTable(*db);
    }
}

void comm_task::AssignCcpProtocol(uint32_t mode) {
    RdiTransition();
    CNTCIP::Configure("ccp_ppp", kCommPortNone);
    CNTCIP::Configure("ccp_pmpp", kCommPortNone);
    CNTCIP::Configure(mode == kCcpPpp ? "ccp_ppp" : "ccp_pmpp", kCommPortCcp);
}

void comm_task::AssignEthernetProtocol(uint32_t mode) {
    for (const char* name : {"ethernet_pmpp", "ethernet_ppp", "ethernet_udp", "ethernet_tcp"}) {
        CNTCIP::Configure(name, kCommPortNone);
    }
    if (mode == kEthernetPmpp) {
        CNTCIP::Configure("ethernet_pmpp", kCommPortTcp);
    } else if (mode == kEthernetPpp) {
        CNTCIP::Configure("ethernet_ppp", kCommPortTcp);
    } else {
        CNTCIP::Configure("ethernet_udp", kCommPortUdp);
        CNTCIP::Configure("ethernet_tcp", kCommPortTcp);
    }
}

void comm_task::AssignProtocols() {
    CDataBase* db = CommDatabase();
    const uint32_t ccp = db != nullptr ? db->Get(dbo::brenCommConfigProtocol, 0) : 2;
    AssignCcpProtocol(ccp == 4 || ccp == 5 ? kCcpPpp : kCcpPmpp);

    const uint32_t ethernet = db != nullptr ? db->Get(dbo::brenCommConfigProtocol, 4) : 11;
    // A channel an interface holds cannot be claimed: its code changes at the next start.
    if (AttainPortDriver(kCommPortUdp) != nullptr) {
        UdpServer().protocolCode = uint8_t(ethernet);
        ReleasePortDriver(kCommPortUdp);
    }
    if (AttainPortDriver(kCommPortTcp) != nullptr) {
        TcpServer().protocolCode = uint8_t(ethernet);
        ReleasePortDriver(kCommPortTcp);
    }
    AssignEthernetProtocol(ethernet == 9    ? kEthernetPmpp
                           : ethernet == 10 ? kEthernetPpp
                                            : kEthernetUdpTcp);
}

void comm_task::ReconfigurePorts() {
    InitNtcipTransports(nullptr);
    AssignProtocols();
}

void comm_task::CheckReconfigureState() {
    CDataBase* db = CommDatabase();
    if (db == nullptr) {
        return;
    }
    const uint32_t state = db->Get(dbo::brenCommCommand);
    if (state == 4) {
        db->Set(dbo::brenCommCommand, 3, 0);
    } else if (state == 3) {
        ReconfigurePorts();
        ++reconfigurations_;
        db->Set(dbo::brenCommCommand, 1, 0);
    }
}
