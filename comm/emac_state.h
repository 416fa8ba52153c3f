#pragma once
// State shared by the driver's files.

#include <cstdint>

#include "comm/emac_driver.h"
#include "platform/kernel/tx_api.h"

namespace emac {

struct DriverState {
    uint16_t state = kEmacNotInitialised;
    bool created = false;  // the protect semaphore exists
    TX_SEMAPHORE protect{};
    NX_IP* ip = nullptr;
    NX_PACKET_POOL pool{};
    bool poolCreated = false;
    NX_PACKET* txHead = nullptr;
    NX_PACKET* txTail = nullptr;
    NX_PACKET* txPacket = nullptr;  // the frame in transmission
    bool txBusy = false;
    unsigned rxNext = 0;
    NX_PACKET* rxPackets[kEmacRxDescriptors] = {};
    uint8_t phyFailed = 0;
    uint8_t lastLinkState = 2;
    EmacFigures figures{};
};

struct Settings {
    uint8_t* area = nullptr;
    uint8_t station[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    int speed = kEthernetSpeedAuto;
    int duplex = kEthernetDuplexAuto;
    int restrict = 1;
    uint32_t ownAddress = 0;
    void (*watchdogOff)() = nullptr;
    void (*watchdogOn)() = nullptr;
};

DriverState& State();
Settings& Config();

// PHY side (emac_phy.cpp).
bool CheckPhy();
void FixedMode(bool* speed100, bool* full);
void WriteFixedPhy(bool speed100, bool full);
void SetPhyVendorBits();
uint32_t Mode1(bool speed100, bool full, bool atLinkUp);
// Speed and duplex the settings ask for, negotiating in auto mode.
void ChooseMode(bool* speed100, bool* full);

// Register helpers.
uint32_t EmacRead(uint32_t offset);
void EmacWrite(uint32_t offset, uint32_t value);
void WriteStationAddress();
void WriteMacSettings(uint32_t mode1);

}  // namespace emac
