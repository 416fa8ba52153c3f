#pragma once
// The notice receiver of the running controller: letters go to the event bus through the
// poster given at start-up, event bits are ORed into the "database" event flags group.

#include <cstdint>

#include "database/change_notification.h"
#include "platform/kernel/tx_api.h"

class RtosNotifySink : public DbNotifySink {
public:
    using LetterPoster = void (*)(uint32_t letterId);

    RtosNotifySink(TX_EVENT_FLAGS_GROUP* events, LetterPoster post)
        : events_(events), post_(post) {}

    void PostLetter(uint32_t letterId) override;
    void SetEventFlags(uint32_t bits) override;

private:
    TX_EVENT_FLAGS_GROUP* events_;
    LetterPoster post_;
};
