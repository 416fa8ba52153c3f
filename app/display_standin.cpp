#include "app/display_standin.h"

#include "display/memory_clear.h"
#include "runtime/task_table.h"

DisplayTaskStandIn::DisplayTaskStandIn(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents)
    : CStandardTask(office, kDisplayTaskDefinition), databaseEvents_(databaseEvents) {}

void DisplayTaskStandIn::Work() {
    ULONG actual = 0;
    if (databaseEvents_ != nullptr &&
        tx_event_flags_get(databaseEvents_, kEventClearMemory, TX_OR_CLEAR, &actual, TX_NO_WAIT) ==
            TX_SUCCESS) {
        display_clear_memory();
    }
}
