#include "comm/comm_task.h"

#include "comm/ntcip_transports.h"
#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"
#include "runtime/watchdog_task.h"

namespace {
uint8_t* g_networkArea = nullptr;
}  // namespace

comm_task::comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents, Objects objects)
    : CStandardTask(office, kCommunicationTaskDefinition),
      databaseEvents_(databaseEvents),
      objects_(std::move(objects)) {}

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
            EthernetReset();
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

int EthernetSetBufferArea(uint8_t* area) {
    g_networkArea = area;
    return 0;
}

uint8_t* EthernetBufferArea() {
    return g_networkArea;
}

// No Ethernet controller model yet: each handler has nothing of its own to serve.
void MalSystemErrorInterrupt() {}
void MalTxEndOfBufferInterrupt() {}
void MalRxEndOfBufferInterrupt() {}
void MalTxDescriptorErrorInterrupt() {}
void MalRxDescriptorErrorInterrupt() {}
void EmacInterrupt() {}

void InstallEthernetInterruptHandlers() {
    SetEthernetInterruptHandlers({&MalSystemErrorInterrupt, &MalTxEndOfBufferInterrupt,
                                  &MalRxEndOfBufferInterrupt, &MalTxDescriptorErrorInterrupt,
                                  &MalRxDescriptorErrorInterrupt, &EmacInterrupt});
}
