#include "comm/pmpp_link.h"

#include <cstring>
#include <new>

#include "comm/comm_database.h"
#include "comm/comm_led.h"
#include "comm/rdi_stand_in.h"
#include "comm/snmp_over_pmpp.h"
#include "runtime/crc16.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kEscapeXor = 0x20;
constexpr uint16_t kFcsInitial = 0xFFFF;
constexpr uint16_t kFcsGood = 0xF0B8;
constexpr uint8_t kPoll = 0x33;
constexpr uint8_t kPollFinal = 0xE7;
constexpr ULONG kWorkerStackSize = 5120;
constexpr ULONG kMinTimeoutTicks = 100;
constexpr uint32_t kActivityEvery = 50;

// Creation state of the shared worker.
enum WorkerState : uint8_t { kNotCreated = 1, kStackAllocated = 2, kThreadCreated = 3 };

struct Worker {
    uint8_t state = kNotCreated;
    bool eventsCreated = false;
    TX_THREAD thread{};
    TX_EVENT_FLAGS_GROUP events{};
    alignas(16) uint8_t stack[kWorkerStackSize]{};
    PmppLink* slots[kPmppMaxLinks]{};
    uint32_t registered = 0;
    PmppLink* head = nullptr;
    uint32_t count = 0;
    uint32_t activity = 0;
    void (*panelHook)() = nullptr;
};

Worker g_worker;

uint16_t FcsStep(uint16_t fcs, uint8_t octet) {
    return uint16_t((fcs >> 8) ^ Crc16TableEntry(uint8_t((fcs ^ octet) & 0xFF)));
}

void ResetFrame(PmppLink* link) {
    link->frameLength = 0;
    link->frameUnescaped = 0;
    link->frameEscape = 0;
}

void TimerStop(PmppLink* link) {
    tx_timer_deactivate(&link->timer);
    link->timerActive = 0;
}

void pmpp_timer_expired(ULONG_PTR input) {
    auto* link = reinterpret_cast<PmppLink*>(input);
    link->timeoutFlag = 1;
    TimerStop(link);
    // The bit as well as the abort: the worker may be between passes rather than waiting.
    if (link->workerEvents != nullptr) {
        tx_event_flags_set(link->workerEvents, link->workerBit, TX_OR);
    }
    tx_thread_wait_abort(&g_worker.thread);
}

void pmpp_timer_restart(PmppLink* link) {
    TimerStop(link);
    link->timeoutFlag = 0;
    ULONG ticks = ULONG(uint64_t(link->commTimeout) * 100 / 1000);
    if (ticks < kMinTimeoutTicks) {
        ticks = kMinTimeoutTicks;
    }
    tx_timer_change(&link->timer, ticks, 0);
    if (tx_timer_activate(&link->timer) == TX_SUCCESS) {
        link->timerActive = 1;
    }
}

// Raw octet into the transmit buffer (room checked by the callers).
void PutRaw(PmppLink* link, uint8_t octet) {
    link->txBuffer[link->txLength++] = octet;
}

// One octet before escaping: counted, summed, escaped. A frame that would pass the limit (with
// room kept for the FCS and the closing flag) is marked and dropped when sent.
void PutCounted(PmppLink* link, uint8_t octet, bool sum) {
    if (link->txOverflow) {
        return;
    }
    if (link->txUnescaped + 1u + 3u > kPmppMaxFrame ||
        link->txLength + 2u + 5u > kPmppFrameBufferSize) {
        link->txOverflow = true;
        return;
    }
    ++link->txUnescaped;
    if (sum) {
        link->txFcs = FcsStep(link->txFcs, octet);
    }
    if (octet == kFlag || octet == kEscape) {
        PutRaw(link, kEscape);
        PutRaw(link, uint8_t(octet ^ kEscapeXor));
    } else {
        PutRaw(link, octet);
    }
}

// Decodes the address field at the read index: the 8-bit address and the group flag.
bool pmpp_address_field_get(PmppLink* link, uint8_t* address, uint8_t* group) {
    uint8_t first = 0;
    if (!pmpp_frame_get_byte(link, &first)) {
        return false;
    }
    *group = uint8_t((first >> 1) & 1);
    if (first & 1) {
        *address = uint8_t(first >> 2);
        return true;
    }
    uint8_t second = 0;
    if (!pmpp_frame_get_byte(link, &second)) {
        return false;
    }
    const uint32_t value = uint32_t(first >> 2) | (uint32_t(second >> 1) << 6);
    *address = uint8_t(value);
    return true;
}

bool IsGroupAddress(uint8_t address) {
    if (address == kPmppAllStations) {
        return true;
    }
    CDataBase* db = CommDatabase();
    if (db == nullptr) {
        return false;
    }
    for (uint32_t row = 0; row < dbo::pmppGroupAddress.rows; ++row) {
        if (db->Get(dbo::pmppGroupAddress, row) == address) {
            return true;
        }
    }
    return false;
}

void pmpp_poll_reply(PmppLink* link) {
    tx_mutex_get(&link->protect, TX_WAIT_FOREVER);
    if (link->pollReplyLength != 0) {
        std::memcpy(link->txBuffer, link->pollReply, link->pollReplyLength);
        link->txLength = link->pollReplyLength;
        link->txFrameEnd = link->pollReplyLength;
        link->txUnescaped = link->pollReplyUnescaped;
        link->txFcs = link->pollReplyFcs;
        link->txOverflow = false;
        link->pollReplyLength = 0;
    } else {
        pmpp_frame_start(link);
    }
    pmpp_frame_send(link);
    tx_mutex_put(&link->protect);
}

void pmpp_frame_process(PmppLink* link) {
    link->frameIndex = 1;
    uint8_t address = 0;
    uint8_t group = 0;
    if (!pmpp_address_field_get(link, &address, &group)) {
        return;
    }
    const bool twoOctet = address > 63 || address == 31;
    if (group) {
        if (!IsGroupAddress(address)) {
            return;
        }
        link->receivedGroup = 0xFF;
    } else {
        if (address != kPmppAllStations && address != link->stationAddress) {
            return;
        }
        link->receivedGroup = 0;
    }
    link->receivedAddress = address;
    uint8_t control = 0;
    if (!pmpp_frame_get_byte(link, &control)) {
        return;
    }
    if (control == kPoll) {
        uint8_t next = 0;
        if (!pmpp_frame_get_byte(link, &next)) {
            return;
        }
        if (next == kPollFinal) {
            pmpp_poll_reply(link);
        }
    } else if (control != 0x03 && control != kPmppInformation) {
        return;
    }
    uint8_t protocol = 0;
    if (!pmpp_frame_get_byte(link, &protocol)) {
        return;  // a poll alone
    }
    link->receivedProtocol = protocol;
    if (protocol == kPmppSnmp) {
        link->currentProtocol = kPmppSnmp;
        pmpp_snmp_receive(link, twoOctet ? 1 : 0);
    } else if (protocol == kPmppIp) {
        link->currentProtocol = kPmppIp;
        ++link->ipFramesReceived;
        pmpp_ip_receive(link);
    } else {
        ++link->otherProtocolFrames;
    }
}

// Checks the FCS of the stored frame (closing flag at the frame length) and moves the frame
// length back before the FCS.
int pmpp_frame_check(PmppLink* link) {
    uint16_t fcs = kFcsInitial;
    uint16_t startOfLast = 0;      // raw position where the last octet began
    uint16_t startOfPrevious = 0;  // and the one before it
    uint32_t octets = 0;
    uint8_t last = 0;
    for (uint16_t i = 1; i < link->frameLength; ++i) {
        const uint16_t start = i;
        uint8_t octet = link->frame[i];
        if (octet == kEscape && i + 1 < link->frameLength) {
            octet = uint8_t(link->frame[++i] ^ kEscapeXor);
        }
        fcs = FcsStep(fcs, octet);
        startOfPrevious = startOfLast;
        startOfLast = start;
        last = octet;
        ++octets;
    }
    if (octets < 2 || fcs != kFcsGood) {
        DebugPrintLevel1("Error CRC is not 0xF0B8: crc_value %04x, byte %02X\r\n", fcs, last);
        DebugPrintLevel1("Dumping Packet Data...\n");
        for (uint16_t i = 0; i <= link->frameLength && i < kPmppFrameBufferSize; ++i) {
            DebugPrintLevel1("%02X ", link->frame[i]);
        }
        DebugPrintLevel1("\n");
        return kPmppBadFcs;
    }
    link->frameLength = startOfPrevious;
    return kPmppFrameComplete;
}

void WorkerEntry(ULONG_PTR) {
    for (;;) {
        ULONG actual = 0;
        tx_event_flags_get(&g_worker.events, ~ULONG(0), TX_OR, &actual, TX_WAIT_FOREVER);
        pmpp_worker_pass();
        tx_thread_relinquish();
    }
}

void ServeLink(PmppLink* link) {
    ULONG actual = 0;
    const bool woken = tx_event_flags_get(link->workerEvents, link->workerBit, TX_OR_CLEAR, &actual,
                                          TX_NO_WAIT) == TX_SUCCESS;
    if (!woken && !link->timeoutFlag) {
        return;
    }
    if (link->callbacks.getChar != nullptr) {
        uint8_t octet = 0;
        while (link->callbacks.getChar(&octet)) {
            _nx_pmpp_byte_receive(link, octet);
        }
    }
    ++link->idlePasses;
    int result = 0;
    if (tx_semaphore_get(&link->serialBuffer, TX_NO_WAIT) != TX_SUCCESS) {
        CommLED_Indicate(link->ledBit, 0);
    } else {
        result = pmpp_receive_buffer_process(link, 0);
        TimerStop(link);
        link->timeoutFlag = 0;
    }
    if (link->timeoutFlag) {
        if (link->rdiMode) {
            RdiTimeoutStandIn(link);
        } else {
            pmpp_receive_buffer_process(link, 1);
        }
        link->timeoutFlag = 0;
        link->timerActive = 0;
    }
    if (!link->timerActive) {
        pmpp_timer_restart(link);
    }
    if (result == kPmppFrameDropped) {
        ResetFrame(link);
    } else if (result == kPmppFrameComplete) {
        ++link->counters.framesReceived;
        pmpp_frame_process(link);
        ResetFrame(link);
    }
    if (link->ringCount != 0) {
        tx_event_flags_set(link->workerEvents, link->workerBit, TX_OR);
    }
}

bool CreateWorker(UINT priority) {
    if (g_worker.state == kNotCreated) {
        std::memset(g_worker.stack, 0xEF, sizeof g_worker.stack);
        g_worker.state = kStackAllocated;
    }
    if (!g_worker.eventsCreated) {
        const UINT status = tx_event_flags_create(&g_worker.events, "PMPP Worker Events");
        if (status != TX_SUCCESS) {
            DebugPrint("nx_pmpp_create: tx_event_flags_create failed:0x%02X\n", status);
            return false;
        }
        g_worker.eventsCreated = true;
    }
    if (g_worker.state == kStackAllocated) {
        const UINT status = tx_thread_create(&g_worker.thread, "PMPP RX WORKER THREAD", WorkerEntry,
                                             0, g_worker.stack, kWorkerStackSize, priority,
                                             priority, TX_NO_TIME_SLICE, TX_AUTO_START);
        if (status != TX_SUCCESS) {
            DebugPrint("pmpp_create: nx_pmpp_rx_thread failed %02x\n", status);
            return false;
        }
        g_worker.state = kThreadCreated;
    }
    return true;
}

}  // namespace

int pmpp_create(PmppLink* link, const char* name, NX_IP* ip, snmp_agent* agent, UINT priority,
                PmppOutOfFrameHandler outOfFrame, LinkByteOut byteOut, LinkByteIn byteIn) {
    *link = PmppLink{};
    link->name = name;
    link->ip = ip;
    link->agent = agent;
    link->currentProtocol = kPmppSnmp;
    DebugPrintLevel1("pmpp_create ip_ptr %x\n", unsigned(reinterpret_cast<uintptr_t>(ip)));
    link->outOfFrame = outOfFrame;
    link->callbacks.putChar = byteOut;
    link->callbacks.getChar = byteIn;
    link->callbacks.sendFrame = nullptr;
    link->maxFrameLength = kPmppMaxFrame;
    UINT status = tx_event_flags_create(&link->ipEvents, "PMPP IP EVENTS");
    if (status != TX_SUCCESS) {
        DebugPrint("pmpp_create: tx_event_flags_create failed %02x\n", status);
    }
    status = tx_mutex_create(&link->protect, "PMPP PROTECT MUTEX", TX_NO_INHERIT);
    if (status != TX_SUCCESS) {
        DebugPrint("pmpp_create: tx_mutex_create PMPP PROTECT MUTEX failed  %02x\n", status);
    }
    status = tx_semaphore_create(&link->txReady, "PMPP TX READY SEMAPHORE", 0);
    if (status != TX_SUCCESS) {
        DebugPrint("pmpp_create: tx_semaphore_create PMPP TX READY SEMAPHORE failed %02x\n",
                   status);
    }
    link->ledBit = CommLED_RegisterAgent();
    CreateWorker(priority);
    if (g_worker.registered < kPmppMaxLinks) {
        const uint32_t slot = g_worker.registered++;
        g_worker.slots[slot] = link;
        link->workerBit = ULONG(1) << slot;
        link->workerEvents = &g_worker.events;
    } else {
        DebugPrint("nx_pmpp_create: failed to register with worker thread\n");
    }
    status =
        tx_timer_create(&link->timer, "PMPP Comm Timeout", pmpp_timer_expired,
                        reinterpret_cast<ULONG_PTR>(link), kMinTimeoutTicks, 0, TX_NO_ACTIVATE);
    if (status != TX_SUCCESS) {
        DebugPrint("nx_pmpp_create: tx_timer_create failed:0x%02X\n", status);
    }
    link->timeoutFlag = 0;
    link->timerActive = 0;
    status = tx_semaphore_create(&link->serialBuffer, "PMPP SERIAL BUFFER SEMAPHORE", 0);
    if (status != TX_SUCCESS) {
        DebugPrint("pmpp_create: tx_semaphore_create PMPP SERIAL BUFFER SEMAPHORE failed %02x\n",
                   status);
    }
    TX_INTERRUPT_SAVE_AREA
    TX_DISABLE
    if (g_worker.head == nullptr) {
        g_worker.head = link;
        link->next = link;
        link->previous = link;
    } else {
        PmppLink* tail = g_worker.head->previous;
        tail->next = link;
        link->previous = tail;
        link->next = g_worker.head;
        g_worker.head->previous = link;
    }
    ++g_worker.count;
    TX_RESTORE
    return 0;
}

int _nx_pmpp_byte_receive(PmppLink* link, uint8_t octet) {
    TX_INTERRUPT_SAVE_AREA
    TX_DISABLE
    if (link->ringCount >= kPmppRingSize) {
        ++link->counters.bytesDropped;
        TX_RESTORE
        DebugPrintLevel1("_nx_pmpp_byte_receive: error queue full\n");
        return kPmppRingFull;
    }
    link->ring[link->ringWrite] = octet;
    ++link->ringCount;
    link->ringWrite = uint16_t((link->ringWrite + 1) % kPmppRingSize);
    ++link->bytesReceived;
    TX_RESTORE
    const UINT status = tx_semaphore_put(&link->serialBuffer);
    if (status != TX_SUCCESS) {
        DebugPrintLevel1("---pmpp_byte_receive tx_sem put failed %02x\n", status);
    }
    return 0;
}

void pmpp_set_interchar_timeout(PmppLink* link, uint32_t milliseconds) {
    link->commTimeout = milliseconds;
}

void pmpp_set_rdi_parameters(PmppLink* link, uint32_t ack2Timeout, uint32_t retries,
                             uint32_t ipAddress, uint32_t logicalId) {
    link->rdiAck2Timeout = ack2Timeout;
    link->rdiRetries = retries;
    link->rdiIpAddress = ipAddress;
    link->rdiLogicalId = logicalId;
}

void pmpp_frame_start(PmppLink* link) {
    link->txLength = 0;
    link->txFrameEnd = 0;
    link->txUnescaped = 1;
    link->txFcs = kFcsInitial;
    link->txOverflow = false;
    PutRaw(link, kFlag);
    pmpp_address_field_put(link, link->stationAddress);
    PutCounted(link, kPmppInformation, true);
}

void pmpp_address_field_put(PmppLink* link, uint8_t address) {
    if (address < 64) {
        PutCounted(link, uint8_t(address << 2 | 1), true);
    } else {
        PutCounted(link, uint8_t(address << 2), true);
        PutCounted(link, uint8_t((address >> 5) | 1), true);
    }
}

void pmpp_frame_put_byte(PmppLink* link, uint8_t octet) {
    PutCounted(link, octet, true);
}

int pmpp_frame_send(PmppLink* link) {
    if (link->txOverflow) {
        ++link->framesTooLong;
        DebugPrint("pmpp_frame_send: frame longer than %u octets dropped\n",
                   unsigned(kPmppMaxFrame));
        link->txLength = 0;
        link->txOverflow = false;
        return 0;
    }
    ++link->counters.framesSent;
    const uint16_t fcs = uint16_t(~link->txFcs);
    for (const uint8_t octet : {uint8_t(fcs & 0xFF), uint8_t(fcs >> 8)}) {
        if (octet == kFlag || octet == kEscape) {
            PutRaw(link, kEscape);
            PutRaw(link, uint8_t(octet ^ kEscapeXor));
        } else {
            PutRaw(link, octet);
        }
    }
    PutRaw(link, kFlag);
    link->txFrameEnd = link->txLength;
    if (link->callbacks.sendFrame != nullptr &&
        link->callbacks.sendFrame(link->txBuffer, link->txFrameEnd) != 0) {
        return 1;
    }
    if (link->callbacks.putChar != nullptr) {
        for (uint16_t i = 0; i < link->txFrameEnd; ++i) {
            link->callbacks.putChar(link->txBuffer[i]);
            ++link->bytesSent;
        }
    }
    return 1;
}

int pmpp_frame_get_byte(PmppLink* link, uint8_t* octet) {
    if (link->rdiMode) {
        if (link->frameIndex >= link->frameLength) {
            return 0;
        }
        *octet = link->frame[link->frameIndex++];
        return 1;
    }
    if (link->frameIndex == 0) {
        link->frameIndex = 4;
    }
    if (link->frameIndex >= link->frameLength) {
        return 0;
    }
    uint8_t value = link->frame[link->frameIndex++];
    if (value == kEscape) {
        if (link->frameIndex >= link->frameLength) {
            return 0;
        }
        value = uint8_t(link->frame[link->frameIndex++] ^ kEscapeXor);
    }
    *octet = value;
    return 1;
}

int pmpp_receive_buffer_process(PmppLink* link, int flush) {
    const uint8_t previous = link->frameLength != 0 ? link->frame[link->frameLength - 1] : kEscape;
    if (flush) {
        link->idlePasses = 0;
        ResetFrame(link);
        return 0;
    }
    if (g_worker.activity == kActivityEvery) {
        if (g_worker.panelHook != nullptr) {
            g_worker.panelHook();
        }
        g_worker.activity = 0;
    } else {
        ++g_worker.activity;
    }
    CommLED_Indicate(link->ledBit, 1);
    link->idlePasses = 0;
    uint8_t octet = 0;
    {
        TX_INTERRUPT_SAVE_AREA
        TX_DISABLE
        if (link->ringCount == 0) {
            TX_RESTORE
            return 0;
        }
        octet = link->ring[link->ringRead];
        --link->ringCount;
        link->ringRead = uint16_t((link->ringRead + 1) % kPmppRingSize);
        TX_RESTORE
    }
    if (link->rdiMode) {
        return RdiReceiveStandIn(link, octet);
    }
    if (link->frameLength == 0 && octet != kFlag) {
        ++link->counters.bytesOutsideFrames;
        if (link->outOfFrame != nullptr) {
            link->outOfFrame(octet);
        }
        return kPmppFrameDropped;
    }
    uint8_t before = previous;
    if (octet == kFlag && previous == kFlag) {
        DebugPrintLevel1(
            "pmpp_receive_buffer_process: (byte == 0x7e) && (previous_byte == 0x7e)\n");
        ResetFrame(link);
        before = kEscape;
    }
    const bool closing = octet == kFlag && before != kEscape;
    if (!closing && (link->frameUnescaped + 1u >= kPmppMaxFrame ||
                     link->frameLength + 2u > kPmppFrameBufferSize)) {
        // No closing flag within the limit: the frame is abandoned and its octets dropped.
        link->counters.bytesDropped += link->frameLength + 1u;
        ++link->framesTooLong;
        DebugPrintLevel1("pmpp_receive_buffer_process: frame over %u octets dropped\n",
                         unsigned(kPmppMaxFrame));
        ResetFrame(link);
        return kPmppFrameDropped;
    }
    link->frame[link->frameLength] = octet;
    if (closing) {
        const int checked = pmpp_frame_check(link);
        if (checked == kPmppFrameComplete) {
            return kPmppFrameComplete;
        }
        const uint16_t n = link->frameLength;
        DebugPrintLevel1(
            "RX CRC failed length:%d start:%02X,%02X,%02X,%02Xend:%02X,%02X,%02X,%02X \n", n,
            link->frame[0], link->frame[1], link->frame[2], link->frame[3],
            link->frame[n >= 2 ? n - 2 : 0], link->frame[n >= 1 ? n - 1 : 0], link->frame[n],
            octet);
        return kPmppFrameDropped;
    }
    if (octet == kEscape && !link->frameEscape) {
        link->frameEscape = 1;
    } else {
        link->frameEscape = 0;
        ++link->frameUnescaped;
    }
    ++link->frameLength;
    return 0;
}

void pmpp_worker_pass() {
    for (uint32_t slot = 0; slot < kPmppMaxLinks; ++slot) {
        if (g_worker.slots[slot] != nullptr) {
            ServeLink(g_worker.slots[slot]);
        }
    }
}

void PmppSetPanelActivityHook(void (*hook)()) {
    g_worker.panelHook = hook;
}

void PmppEndOfBoot() {
    void (*hook)() = g_worker.panelHook;
    g_worker.~Worker();
    new (&g_worker) Worker{};
    g_worker.panelHook = hook;
    CommLedReset();
}

uint32_t PmppLinkCount() {
    return g_worker.count;
}

PmppLink* PmppLinkAt(uint32_t index) {
    PmppLink* link = g_worker.head;
    for (uint32_t i = 0; link != nullptr && i < index && i < g_worker.count; ++i) {
        link = link->next;
    }
    return index < g_worker.count ? link : nullptr;
}

TX_THREAD* PmppWorkerThread() {
    return g_worker.state == kThreadCreated ? &g_worker.thread : nullptr;
}
