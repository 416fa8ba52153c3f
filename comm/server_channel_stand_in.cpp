#include "comm/server_channel_stand_in.h"

int CServerChannelStandIn::SendFrame(const uint8_t*, uint32_t) {
    ++dropped_;
    return 0;
}

void CServerChannelStandIn::SetRxCallback(RxCallback callback, uintptr_t argument1,
                                          uintptr_t argument2) {
    callback_ = callback;
    argument1_ = argument1;
    argument2_ = argument2;
}
