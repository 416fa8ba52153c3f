#pragma once
// The link driver of the on-chip Ethernet MAC (EMAC), its memory-access layer (MAL) and the
// external PHY on MDIO: the entry the Ethernet IP instance is created with, descriptor rings
// and packet pool in the network memory area, the interrupt handlers of the Ethernet path, PHY
// access and auto-negotiation, the link check and the MAC-only reconfiguration. No thread of its
// own: everything runs in the calling thread or in interrupt context.

#include <cstdint>

#include "platform/net/nx_api.h"

// Driver states.
enum EmacState : uint16_t {
    kEmacNotInitialised = 1,
    kEmacPhyFailed = 2,
    kEmacPoolFailed = 3,
    kEmacHardwareFailed = 4,
    kEmacInitialised = 5,
    kEmacEnabled = 6,
};

// Link mode codes of EthernetSetLinkMode.
inline constexpr int kEthernetSpeedAuto = 100;
inline constexpr int kEthernetSpeed100 = 101;
inline constexpr int kEthernetSpeed10 = 102;
inline constexpr int kEthernetDuplexHalf = 10;
inline constexpr int kEthernetDuplexFull = 20;
inline constexpr int kEthernetDuplexAuto = 100;

// Sizes of the network memory area's Ethernet part.
inline constexpr uint32_t kEmacPoolBytes = 69696;
inline constexpr uint32_t kEmacPayloadSize = 1540;
inline constexpr unsigned kEmacRxDescriptors = 32;

// The link driver entry of the IP instance.
void EmacNetDriver(NX_IP_DRIVER* request);

int EthernetSetBufferArea(uint8_t* area);
uint8_t* EthernetBufferArea();
int EthernetSetStationAddress(const uint8_t address[6]);
void EthernetSetLinkMode(int speed, int duplex, int restrict);
// The controller's own address as last parsed by the communication task (ARP frames for any
// other target are dropped).
void EthernetSetOwnAddress(uint32_t address);

void EthernetLinkCheck();
void EmacConfigure();
int phy_read(unsigned reg, uint16_t* value);
int phy_write(unsigned reg, uint16_t value);
int AutoNegotiate(unsigned limit, int* speed100, int* fullDuplex);

void MalSystemErrorInterrupt();
void MalTxEndOfBufferInterrupt();
void MalRxEndOfBufferInterrupt();
void MalTxDescriptorErrorInterrupt();
void MalRxDescriptorErrorInterrupt();
void EmacInterrupt();
void InstallEthernetInterruptHandlers();

// The hardware watchdog's nested switch-off around the link check's renegotiation.
void EthernetSetWatchdogHooks(void (*off)(), void (*on)());

// Link state byte kept by the link check: 1 up, 0 down.
extern volatile uint8_t g_EthernetLinkState;

// Driver figures for the console and tests.
struct EmacFigures {
    uint16_t state;
    uint8_t phyFailed;
    uint32_t framesReceived;  // handed to the stack
    uint32_t framesDropped;   // bad status or length, no replacement packet, ARP not for us
    uint32_t framesSent;
    uint32_t sendsRefused;  // not enabled, oversized
    uint32_t txQueued;      // waiting behind the frame in transmission
    uint32_t malErrors;
    uint32_t linkChanges;
    uint32_t mode1;  // last EMAC mode 1 value written
};
EmacFigures EmacGetFigures();
NX_PACKET_POOL* EmacPacketPool();
// Forgets everything (tests, end of a boot): state 1, no protect semaphore, no pool.
void EmacResetDriver();
