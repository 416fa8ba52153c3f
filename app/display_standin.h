#pragma once
// Stand-in for the display task: until the display task of this build serves its database
// events, the "Display" task of dmsc only serves memory clear and commanded resets (database
// event 0x200).

#include "platform/kernel/tx_api.h"
#include "runtime/standard_task.h"

class DisplayTaskStandIn : public CStandardTask {
public:
    static constexpr ULONG kEventClearMemory = 0x200;

    DisplayTaskStandIn(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents);

protected:
    void Work() override;

private:
    TX_EVENT_FLAGS_GROUP* databaseEvents_;
};
