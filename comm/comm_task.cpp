#include "comm/comm_task.h"

#include "comm/network_standin.h"
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
    StartNetworkStandIn(settings);
}

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

int InitNtcipTransports(uint8_t** next) {
    if (next == nullptr || *next == nullptr) {
        DebugPrint("Error: Initializing NTCIP Objects\n");
        return 1;
    }
    return 0;
}
