#pragma once
// The notice receiver of the running controller: letters go to the event bus (g_PostOffice),
// event bits are ORed into the "database" event flags group (g_DatabaseEvents).

#include <cstdint>

#include "database/change_notification.h"
#include "platform/kernel/tx_api.h"

class PostOffice;

class RtosNotifySink : public DbNotifySink {
public:
    RtosNotifySink(PostOffice* office, TX_EVENT_FLAGS_GROUP* events)
        : office_(office), events_(events) {}

    void PostLetter(uint32_t letterId) override;
    void SetEventFlags(uint32_t bits) override;

private:
    PostOffice* office_;
    TX_EVENT_FLAGS_GROUP* events_;
};
