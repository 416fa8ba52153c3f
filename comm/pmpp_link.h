#pragma once
// The PMPP link: point-to-multipoint frames (flag 0x7E, escape 0x7D, address, control, protocol
// identifier, FCS-16) between a port's byte stream and the SNMP transport of one interface. One
// shared receive worker ("PMPP RX WORKER THREAD") serves up to ten links, one octet per link per
// pass.
//
//   pmpp_create(&link, "SNMP OVER pmpp", ip, agent, 3, handler, nullptr, nullptr);
//   // the interface layer installs the port callbacks and wakes the worker on received octets
//   pmpp_frame_start(&link);  pmpp_frame_put_byte(&link, 0xC1);  ...;  pmpp_frame_send(&link);

#include <cstdint>

#include "comm/link_callbacks.h"
#include "platform/kernel/tx_api.h"

struct NX_IP;
struct NX_PACKET;
struct snmp_agent;

// Limits. A frame counts at most kPmppMaxFrame octets before escaping, flags and FCS included;
// the buffers hold a frame as it is on the wire, escapes included.
inline constexpr uint32_t kPmppMaxFrame = 2050;
inline constexpr uint32_t kPmppFrameBufferSize = 2 * kPmppMaxFrame;
inline constexpr uint32_t kPmppRingSize = 2050;
inline constexpr uint32_t kPmppMaxLinks = 10;
inline constexpr uint8_t kPmppAllStations = 63;
inline constexpr uint32_t kPmppIpMtu = 1500;

// Receive codes.
inline constexpr int kPmppOctetTaken = 0;
inline constexpr int kPmppFrameDropped = 0xB0;
inline constexpr int kPmppRingFull = 0xB1;
inline constexpr int kPmppFrameComplete = 0xB2;
inline constexpr int kPmppBadFcs = 0xB3;

// Protocol identifiers and control values.
inline constexpr uint8_t kPmppSnmp = 0xC1;
inline constexpr uint8_t kPmppIp = 0x21;
inline constexpr uint8_t kPmppInformation = 0x13;

using PmppOutOfFrameHandler = void (*)(uint8_t octet);

struct PmppLink {
    const char* name = nullptr;
    NX_IP* ip = nullptr;
    snmp_agent* agent = nullptr;
    uint8_t stationAddress = 0;
    uint8_t receivedAddress = 0;
    uint8_t receivedGroup = 0;
    uint16_t receivedProtocol = 0;

    // The four port counters (frames received and sent, octets dropped and outside frames).
    LinkCounters counters{};
    uint32_t bytesReceived = 0;
    uint32_t bytesSent = 0;
    uint32_t ipFramesReceived = 0;
    uint32_t ipFramesSent = 0;
    uint32_t otherProtocolFrames = 0;
    uint32_t framesTooLong = 0;  // frames dropped at the length limit, either way
    uint16_t maxFrameLength = 0;

    // IP packet being joined from 0x21 frames.
    NX_PACKET* ipPacket = nullptr;
    uint16_t ipRemaining = 0;
    uint16_t ipFilled = 0;

    uint32_t commTimeout = 0;  // inter-character time-out, milliseconds

    NX_PACKET* ipQueueHead = nullptr;
    NX_PACKET* ipQueueTail = nullptr;

    LinkCallbacks callbacks = kNoneCallbacks;
    PmppOutOfFrameHandler outOfFrame = nullptr;
    // Threads of the link's own, suspended by the communication task's terminate letter; null
    // while the link has none (the receive worker serves every link).
    TX_THREAD* threads[2] = {};

    TX_EVENT_FLAGS_GROUP ipEvents{};
    TX_MUTEX protect{};
    TX_SEMAPHORE txReady{};

    uint8_t txBuffer[kPmppFrameBufferSize]{};
    uint16_t txLength = 0;
    uint16_t txFrameEnd = 0;
    uint16_t txUnescaped = 0;  // octets of the frame being built, before escaping
    uint16_t txFcs = 0;        // running FCS of the frame being built
    bool txOverflow = false;

    uint8_t frame[kPmppFrameBufferSize]{};
    uint16_t frameIndex = 0;
    uint16_t frameLength = 0;
    uint16_t frameUnescaped = 0;
    uint8_t frameEscape = 0;  // the last octet stored was an escape

    TX_SEMAPHORE serialBuffer{};
    uint8_t ring[kPmppRingSize]{};
    uint16_t ringWrite = 0;
    uint16_t ringRead = 0;
    uint16_t ringCount = 0;
    uint32_t idlePasses = 0;

    uint8_t currentProtocol = 0;
    uint8_t pollReply[kPmppFrameBufferSize]{};
    uint16_t pollReplyLength = 0;
    uint16_t pollReplyUnescaped = 0;
    uint16_t pollReplyFcs = 0;

    TX_TIMER timer{};
    uint8_t timeoutFlag = 0;
    uint8_t timerActive = 0;
    TX_EVENT_FLAGS_GROUP* workerEvents = nullptr;
    ULONG workerBit = 0;
    uint32_t ledBit = 0;

    uint8_t rdiMode = 0;
    uint32_t rdiAck2Timeout = 0;
    uint32_t rdiRetries = 0;
    uint32_t rdiIpAddress = 0;
    uint32_t rdiLogicalId = 0;

    PmppLink* next = nullptr;
    PmppLink* previous = nullptr;
};

int pmpp_create(PmppLink* link, const char* name, NX_IP* ip, snmp_agent* agent, UINT priority,
                PmppOutOfFrameHandler outOfFrame, LinkByteOut byteOut, LinkByteIn byteIn);
// 0 queued, kPmppRingFull when the ring was full.
int _nx_pmpp_byte_receive(PmppLink* link, uint8_t octet);
void pmpp_set_interchar_timeout(PmppLink* link, uint32_t milliseconds);
void pmpp_set_rdi_parameters(PmppLink* link, uint32_t ack2Timeout, uint32_t retries,
                             uint32_t ipAddress, uint32_t logicalId);

// Frame building (callers hold "PMPP PROTECT MUTEX"): the opening flag, the station's address
// field and control 0x13; then the identifier and data octets (escaped); FCS, closing flag, send.
void pmpp_frame_start(PmppLink* link);
void pmpp_address_field_put(PmppLink* link, uint8_t address);
void pmpp_frame_put_byte(PmppLink* link, uint8_t octet);
// 1 sent, 0 dropped (longer than a frame).
int pmpp_frame_send(PmppLink* link);

// Reading the received frame at the read index (escapes undone): 1 and the octet, 0 at the end
// of the frame's data.
int pmpp_frame_get_byte(PmppLink* link, uint8_t* octet);

// One pass of the worker over every registered link (the worker thread's body).
void pmpp_worker_pass();
// Processes the next queued octet of a link (flush: drop the partial frame); a receive code.
int pmpp_receive_buffer_process(PmppLink* link, int flush);

// Communication activity for the panel, marked every 51st octet received (null: none).
void PmppSetPanelActivityHook(void (*hook)());

// Every link created, and the worker's state, forgotten (a new boot; the kernel has gone).
void PmppEndOfBoot();
// The links created, in creation order (index below the count).
uint32_t PmppLinkCount();
PmppLink* PmppLinkAt(uint32_t index);
// The worker thread (null before the first link).
TX_THREAD* PmppWorkerThread();
