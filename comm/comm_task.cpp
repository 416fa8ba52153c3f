#include "comm/comm_task.h"

#include "runtime/debug_print.h"
#include "runtime/interrupts.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"

namespace {
uint8_t* g_networkArea = nullptr;
}  // namespace

comm_task::comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents, Objects objects)
    : CStandardTask(office, kCommunicationTaskDefinition),
      databaseEvents_(databaseEvents),
      objects_(std::move(objects)) {}

void comm_task::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterCommSetting95833: {
            if (!objects_.get || !objects_.set) {
                break;
            }
            const uint32_t command = objects_.get(kBrenCommCommand, 1, true);
            if (command == 3) {
                ++commandsRun_;
                objects_.set(kBrenCommCommand, 1, 1, true);
            } else if (command == 4) {
                objects_.set(kBrenCommCommand, 1, 3, true);
            }
            break;
        }
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
}

int EthernetSetBufferArea(uint8_t* area) {
    g_networkArea = area;
    return 0;
}

uint8_t* EthernetBufferArea() {
    return g_networkArea;
}

int InitNtcipTransports(uint8_t** next) {
    if (next == nullptr || *next == nullptr) {
        DebugPrint("Error: Initializing NTCIP Objects\n");
        return 1;
    }
    return 0;
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
