#include "comm/comm_task.h"

#include "comm/ethernet_transports.h"
#include "comm/network_standin.h"
#include "comm/ntcip_transports.h"
#include "comm/snmp_over_pmpp.h"
#include "database/object_ids.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"

comm_task::comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents, Objects objects)
    : CStandardTask(office, kCommunicationTaskDefinition),
      databaseEvents_(databaseEvents),
      objects_(std::move(objects)) {}

void comm_task::Init() {
    NetworkStandInSettings settings;
    if (objects_.get) {
        settings.answerPing =
            (objects_.get(dbo::brenFeatureSet.id, dbo::brenFeatureSet.width, true) & 0x04) != 0;
    }
    NX_IP* ip = StartNetworkStandIn(settings);
    if (ip == nullptr) {
        return;
    }
    EthernetTransportSettings transports;
    if (objects_.get) {
        const uint32_t port = objects_.get(dbo::brenHostIPPort.id, dbo::brenHostIPPort.width, true);
        transports.snmpPort = port >= 1 && port <= 0xFFFF ? uint16_t(port) : 161;
        transports.protocol = uint8_t(objects_.get(dbo::brenCommConfigProtocol.Row(4),
                                                   dbo::brenCommConfigProtocol.width, true));
        transports.remoteAddress =
            objects_.get(dbo::brenRemoteIPAddress.id, dbo::brenRemoteIPAddress.width, true);
        transports.remotePort =
            uint16_t(objects_.get(dbo::brenRemoteIPPort.id, dbo::brenRemoteIPPort.width, true));
    }
    ULONG address = 0;
    ULONG mask = 0;
    nx_ip_address_get(ip, &address, &mask);
    transports.ownAddress = address;
    StartEthernetTransports(ip, EthernetPacketPool(), transports);
    StartPmppIp(EthernetPacketPool(), address);
}

void comm_task::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterCommSetting95833:
            CheckReconfigureState();
            break;
        case kLetterPortSettingsChanged:
            ReconfigurePorts();
            break;
        case kLetterCommRequest: {
            letter_s reply(kLetterCommReply);
            Office().Reply(letter, reply);
            break;
        }
        case kLetterEthernetResetReply:
            if (ethernetReset_ != nullptr) {
                ethernetReset_();
            }
            break;
        default:
            break;
    }
}

void comm_task::Work() {
    if (databaseEvents_ != nullptr) {
        ULONG actual = 0;
        tx_event_flags_get(databaseEvents_, kCommLossTimeChanged | kFileTransferStatusChanged,
                           TX_OR_CLEAR, &actual, TX_NO_WAIT);
    }
    CheckReconfigureState();
}
