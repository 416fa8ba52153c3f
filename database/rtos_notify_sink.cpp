#include "database/rtos_notify_sink.h"

#include "runtime/os_wrappers.h"
#include "runtime/post_office.h"

void RtosNotifySink::PostLetter(uint32_t letterId) {
    if (office_ != nullptr) {
        office_->PostLetter(letterId);
    }
}

void RtosNotifySink::SetEventFlags(uint32_t bits) {
    if (events_ != nullptr) {
        os_event_flags_set(events_, bits, OS_EVENT_OR);
    }
}
