#pragma once
// The three callbacks through which a link reaches the port it is bound to, and the none
// callbacks of a detached link.

#include <cstdint>

#include "platform/kernel/tx_api.h"

using LinkByteOut = void (*)(uint8_t byte);
using LinkByteIn = int (*)(uint8_t* byte);  // 1 and the byte, or 0 when none
using LinkFrameOut = int (*)(const uint8_t* buffer, uint32_t length);  // 1 sent, 0 not

struct LinkCallbacks {
    LinkByteOut putChar;
    LinkByteIn getChar;
    LinkFrameOut sendFrame;
};

void NonePutChar(uint8_t byte);
int NoneGetChar(uint8_t* byte);
int NoneSendFrame(const uint8_t* buffer, uint32_t length);
inline constexpr LinkCallbacks kNoneCallbacks = {&NonePutChar, &NoneGetChar, &NoneSendFrame};

// The four counters of every link.
struct LinkCounters {
    uint32_t framesReceived;
    uint32_t framesSent;
    uint32_t bytesDropped;
    uint32_t bytesOutsideFrames;
};
