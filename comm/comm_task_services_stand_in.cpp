#include "comm/comm_task_services_stand_in.h"

#include "comm/comm_database.h"
#include "comm/emac_driver.h"
#include "comm/ethernet_transports.h"
#include "comm/network_standin.h"
#include "comm/snmp_over_pmpp.h"
#include "database/object_ids.h"
#include "runtime/interrupts.h"

namespace {

constexpr uint32_t kAnswerPing = 0x04;
constexpr uint32_t kSntpClient = 0x40;
constexpr uint32_t kEthernetEntry = 4;

uint32_t Setting(const DbObject& object, uint32_t row = 0) {
    CDataBase* db = CommDatabase();
    return db != nullptr ? db->Get(object, row) : 0;
}

}  // namespace

bool CommTaskServicesStandIn::StartNetwork() {
    NetworkStandInSettings settings;
    if (CommDatabase() != nullptr) {
        settings.answerPing = (Setting(dbo::brenFeatureSet) & kAnswerPing) != 0;
    }
    NX_IP* ip = StartNetworkStandIn(settings);
    if (ip == nullptr) {
        return false;
    }
    EthernetTransportSettings transports;
    if (CommDatabase() != nullptr) {
        const uint32_t port = Setting(dbo::brenHostIPPort);
        transports.snmpPort = port >= 1 && port <= 0xFFFF ? uint16_t(port) : 161;
        transports.protocol = uint8_t(Setting(dbo::brenCommConfigProtocol, kEthernetEntry));
        transports.remoteAddress = Setting(dbo::brenRemoteIPAddress);
        transports.remotePort = uint16_t(Setting(dbo::brenRemoteIPPort));
    }
    ULONG address = 0;
    ULONG mask = 0;
    nx_ip_address_get(ip, &address, &mask);
    transports.ownAddress = address;
    StartEthernetTransports(ip, EthernetPacketPool(), transports);
    StartPmppIp(EthernetPacketPool(), address);
    // The SNTP client (a stand-in that never sets the clock) runs when configured.
    return Setting(dbo::brenNTPIPAddress) != 0 && (Setting(dbo::brenFeatureSet) & kSntpClient) != 0;
}

void CommTaskServicesStandIn::EthernetLinkCheck() {
    ::EthernetLinkCheck();
}

uint8_t CommTaskServicesStandIn::EthernetLinkState() {
    return g_EthernetLinkState;
}

bool CommTaskServicesStandIn::PhyFailed() {
    return EmacGetFigures().phyFailed != 0;
}

bool CommTaskServicesStandIn::EthernetInterruptSeen() {
    return g_EthernetActivity != 0;
}

uint32_t CommTaskServicesStandIn::EthernetInterruptCount() {
    return g_EthernetInterruptCount;
}

void CommTaskServicesStandIn::EmacConfigure() {
    ::EmacConfigure();
}

void CommTaskServicesStandIn::EthernetReset() {
    if (ethernetReset_ != nullptr) {
        ethernetReset_();
    }
}
