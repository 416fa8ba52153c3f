#pragma once
// Stand-ins for the PPP and Ethernet links until those links are built: each holds what
// the interface layer sets (callbacks, the worker's event group and bit, timeouts, addresses)
// and its SNMP net driver carries nothing: create reports the 5120 bytes a link takes, receive
// waits for ever, send drops the message and counts it.

#include <cstdint>

#include "comm/link_callbacks.h"
#include "ntcip/snmp_agent.h"
#include "platform/kernel/tx_api.h"

struct PppLink {
    LinkCallbacks callbacks = kNoneCallbacks;
    TX_EVENT_FLAGS_GROUP* workerEvents = nullptr;
    ULONG workerBit = 0;
    bool chap = false;
    uint32_t commTimeout = 0;
    uint32_t localAddress = 0;
    uint32_t centralAddress = 0;
    LinkCounters counters{};
    // The link's two threads, null until the link makes them (the communication task's
    // terminate letter suspends them).
    TX_THREAD* threads[2] = {};
};

struct EthernetLinkStandIn {
    LinkCallbacks callbacks = kNoneCallbacks;
    uint32_t commTimeout = 0;
    LinkCounters counters{};
};

inline constexpr uint32_t kLinkStandInMemory = 5120;

int snmp_ppp_net_drv(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                     uint32_t* length);
int snmp_ethernet_net_drv(snmp_agent* agent, uint32_t layer, uint32_t operation, uint8_t* buffer,
                          uint32_t* length);

// Creates the semaphore the stand-in receives wait on (once per boot, before the agents).
bool LinkStandInsStart();
// Messages the stand-in drivers were asked to send.
uint32_t LinkStandInsDropped();
