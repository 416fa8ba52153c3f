// The EMAC link driver: driver requests, hardware set-up, descriptor rings, transmit queue and
// the interrupt handlers. The rings and the queue are shared with the handlers under the
// "ENET rec protect" semaphore, always taken without waiting; a thread also masks interrupts
// while it holds it, so that a completion raised meanwhile is served after the release instead
// of finding the semaphore taken and being lost.

#include <cstring>

#include "comm/emac_state.h"
#include "platform/sim/hw.h"
#include "runtime/interrupts.h"
#include "runtime/register_access.h"

volatile uint8_t g_EthernetLinkState = 0;

namespace emac {
namespace {

constexpr uint32_t kEmacBase = 0xEF600800;
constexpr uint32_t kMode0 = 0x00, kMode1 = 0x04, kTxMode0 = 0x08, kRxMode = 0x10, kIsr = 0x14,
                   kIer = 0x18, kAddrHigh = 0x1C, kAddrLow = 0x20, kHash1 = 0x40, kGap = 0x58,
                   kThreshold = 0x60, kWatermarks = 0x64;
constexpr uint32_t kRxModeValue = 0x40500000;
constexpr uint32_t kAcceptMulticast = 0x00080000;
constexpr uint32_t kChannel0 = 0x80000000;
constexpr uint32_t kChipControlEthernet = 0xAA;
constexpr uint32_t kLongPoll = 10000000;

constexpr uint16_t kReady = 0x8000, kWrap = 0x4000, kLast = 0x1000, kInterrupt = 0x0400,
                   kGenerateFcs = 0x0200, kPad = 0x0100;
constexpr uint32_t kMaxFrame = 1518;
constexpr uint16_t kTypeIp = 0x0800, kTypeArp = 0x0806, kTypeRarp = 0x8035;

DriverState g_state;
Settings g_settings;

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, uint16_t(v >> 16));
    Put16(p + 2, uint16_t(v));
}

uint8_t* TxTable() {
    return g_settings.area ? g_settings.area + kEmacPoolBytes : hw::HostAddress(0x700000, 8);
}
uint8_t* RxTable() {
    return g_settings.area ? g_settings.area + kEmacPoolBytes + 32
                           : hw::HostAddress(0x700020, 8 * kEmacRxDescriptors);
}
uint8_t* PoolArea() {
    return g_settings.area ? g_settings.area : hw::HostAddress(0x702000, kEmacPoolBytes);
}

// Thread side of the protect semaphore (interrupts masked while held).
class Protect {
public:
    Protect() : posture_(tx_interrupt_control(TX_INT_DISABLE)) {
        held_ = tx_semaphore_get(&g_state.protect, TX_NO_WAIT) == TX_SUCCESS;
    }
    ~Protect() {
        if (held_) {
            tx_semaphore_put(&g_state.protect);
        }
        tx_interrupt_control(posture_);
    }
    Protect(const Protect&) = delete;
    Protect& operator=(const Protect&) = delete;
    bool held() const { return held_; }

private:
    UINT posture_;
    bool held_;
};

bool TakeInIsr() {
    return tx_semaphore_get(&g_state.protect, TX_NO_WAIT) == TX_SUCCESS;
}
void GiveInIsr() {
    tx_semaphore_put(&g_state.protect);
}

void StartTransmit(NX_PACKET* packet) {
    uint8_t* d = TxTable();
    const uint32_t length =
        packet->nx_packet_length > kMaxFrame ? kMaxFrame : packet->nx_packet_length;
    Put32(d + 4, hw::BusAddress(packet->nx_packet_prepend_ptr));
    Put16(d, uint16_t(kLast | kGenerateFcs | kPad | kWrap));
    Put16(d + 2, uint16_t(length));
    Put16(d, uint16_t(Get16(d) | kReady | kInterrupt));
    g_state.txPacket = packet;
    g_state.txBusy = true;
    ++g_state.figures.framesSent;
    EmacWrite(kTxMode0, 0x80000000);
}

void ReleaseSent(NX_PACKET* packet) {
    packet->nx_packet_prepend_ptr += 14;
    packet->nx_packet_length -= 14;
    nx_packet_transmit_release(packet);
}

// Fills descriptor i with a fresh packet's buffer (data start + 2) and makes it ready.
void ArmRx(unsigned i, NX_PACKET* packet) {
    uint8_t* d = RxTable() + 8 * i;
    g_state.rxPackets[i] = packet;
    Put32(d + 4, hw::BusAddress(packet->nx_packet_data_start + 2));
    Put16(d + 2, 0);
    Put16(d, uint16_t(kReady | kInterrupt | (i == kEmacRxDescriptors - 1 ? kWrap : 0)));
}

void ReleaseRxRing() {
    for (NX_PACKET*& p : g_state.rxPackets) {
        if (p != nullptr) {
            nx_packet_release(p);
            p = nullptr;
        }
    }
}

UINT BuildRxRing() {
    ReleaseRxRing();
    g_state.rxNext = 0;
    for (unsigned i = 0; i < kEmacRxDescriptors; ++i) {
        NX_PACKET* packet = nullptr;
        const UINT status =
            nx_packet_allocate(&g_state.pool, &packet, NX_RECEIVE_PACKET, TX_NO_WAIT);
        if (status != NX_SUCCESS) {
            return status;
        }
        ArmRx(i, packet);
    }
    return NX_SUCCESS;
}

void BuildTxRing() {
    uint8_t* d = TxTable();
    if (g_state.txPacket != nullptr) {
        ReleaseSent(g_state.txPacket);
        g_state.txPacket = nullptr;
    }
    g_state.txBusy = false;
    Put16(d, kWrap);
    Put16(d + 2, 0);
    Put32(d + 4, 0);
}

bool PollClear(uint32_t (*read)(), uint32_t bit) {
    for (uint32_t i = 0; i < kLongPoll; ++i) {
        if (!(read() & bit)) {
            return true;
        }
    }
    return false;
}

}  // namespace

DriverState& State() {
    return g_state;
}
Settings& Config() {
    return g_settings;
}

uint32_t EmacRead(uint32_t offset) {
    return sync_read32(kEmacBase + offset);
}
void EmacWrite(uint32_t offset, uint32_t value) {
    sync_write32(kEmacBase + offset, value);
}

void WriteStationAddress() {
    const uint8_t* a = g_settings.station;
    EmacWrite(kAddrHigh, uint32_t(a[0]) << 8 | a[1]);
    EmacWrite(kAddrLow, uint32_t(a[2]) << 24 | uint32_t(a[3]) << 16 | uint32_t(a[4]) << 8 | a[5]);
}

void WriteMacSettings(uint32_t mode1) {
    g_state.figures.mode1 = mode1;
    EmacWrite(kMode1, mode1);
    EmacWrite(kRxMode, kRxModeValue);
    EmacWrite(kThreshold, 0x18000000);
    EmacWrite(kWatermarks, 0x0F002000);
    EmacWrite(kGap, 8);
}

namespace {

UINT HardwareInit() {
    mal_write(dcr::kMalConfig, 0x80000000);
    if (!PollClear([] { return mal_read(dcr::kMalConfig); }, 0x80000000)) {
        return NX_NOT_SUCCESSFUL;
    }
    if (!CheckPhy()) {
        return NX_NOT_SUCCESSFUL;
    }
    bool speed100 = false;
    bool full = false;
    if (g_settings.speed == kEthernetSpeedAuto) {
        ChooseMode(&speed100, &full);
    } else {
        FixedMode(&speed100, &full);
        WriteFixedPhy(speed100, full);
    }
    SetPhyVendorBits();
    chip_control_write(kChipControlEthernet, 0x60606000);
    mal_write(dcr::kMalConfig, mal_read(dcr::kMalConfig) | 0x0007C082);
    UINT status = BuildRxRing();
    if (status != NX_SUCCESS) {
        return status;
    }
    BuildTxRing();
    WriteStationAddress();
    mal_write(dcr::kMalRxChannelActiveReset, kChannel0);
    mal_write(dcr::kMalTxChannelActiveReset, kChannel0);
    mal_write(dcr::kMalTxDescriptorTable0, hw::BusAddress(TxTable()));
    mal_write(dcr::kMalRxDescriptorTable0, hw::BusAddress(RxTable()));
    mal_write(dcr::kMalRxBufferSize0, 0x60);
    mal_write(dcr::kMalTxChannelActiveSet, kChannel0);
    mal_write(dcr::kMalRxChannelActiveSet, kChannel0);
    EmacWrite(kMode0, 0x18000000);
    WriteMacSettings(Mode1(speed100, full, false));
    return NX_SUCCESS;
}

void EnableInterrupts() {
    uic_write_enable(uic_read_enable() | kIrqEthernetPath);
    mal_write(dcr::kMalInterruptEnable, 0x1F);
    EmacWrite(kIer, 0x000F0000);
    uic_write_status(0xFFFFFFFF);
    uic_write_polarity(uic_read_polarity() | kIrqEthernetPath);
    uic_write_trigger(0x20000000);
    uic_write_vector_config(1);
    uic_write_status(0xFFFFFFFF);
}

void WaitIdle(uint32_t bit) {
    for (uint32_t i = 0; i < kLongPoll && !(EmacRead(kMode0) & bit); ++i) {
    }
}

void DisableLink() {
    EmacWrite(kMode0, EmacRead(kMode0) & ~0x08000000u);
    WaitIdle(0x80000000);
    EmacWrite(kMode0, EmacRead(kMode0) & ~0x10000000u);
    WaitIdle(0x40000000);
    uic_write_enable(uic_read_enable() & ~kIrqEthernetPath);
    mal_write(dcr::kMalInterruptEnable, 0);
    EmacWrite(kIer, 0);
    uic_write_status(0xFFFFFFFF);
}

void SetMulticast(bool accept) {
    EmacWrite(kMode0, EmacRead(kMode0) & ~0x08000000u);
    WaitIdle(0x80000000);
    for (uint32_t i = 0; i < 4; ++i) {
        EmacWrite(kHash1 + 4 * i, accept ? 0xFFFF : 0);
    }
    const uint32_t mode = EmacRead(kRxMode);
    EmacWrite(kRxMode, accept ? (mode | kAcceptMulticast) : (mode & ~kAcceptMulticast));
    EmacWrite(kMode0, EmacRead(kMode0) | 0x08000000u);
}

UINT TransmitPacket(NX_PACKET* packet) {
    if (packet->nx_packet_length > kMaxFrame) {
        ReleaseSent(packet);
        ++g_state.figures.sendsRefused;
        return NX_NOT_SUCCESSFUL;
    }
    Protect protect;
    if (!protect.held()) {
        ReleaseSent(packet);
        return NX_NOT_SUCCESSFUL;
    }
    packet->nx_packet_queue_next = nullptr;
    if (!g_state.txBusy) {
        StartTransmit(packet);
    } else {
        if (g_state.txTail != nullptr) {
            g_state.txTail->nx_packet_queue_next = packet;
        } else {
            g_state.txHead = packet;
        }
        g_state.txTail = packet;
        ++g_state.figures.txQueued;
    }
    return NX_SUCCESS;
}

UINT Send(NX_IP_DRIVER* request, uint16_t type, bool broadcast) {
    NX_PACKET* packet = request->nx_ip_driver_packet;
    if (g_state.state != kEmacEnabled) {
        ++g_state.figures.sendsRefused;
        nx_packet_transmit_release(packet);
        return NX_NOT_ENABLED;
    }
    if (packet->nx_packet_prepend_ptr - 14 < packet->nx_packet_data_start) {
        nx_packet_transmit_release(packet);
        return NX_NOT_SUCCESSFUL;
    }
    packet->nx_packet_prepend_ptr -= 14;
    packet->nx_packet_length += 14;
    uint8_t* h = packet->nx_packet_prepend_ptr;
    if (broadcast) {
        std::memset(h, 0xFF, 6);
    } else {
        const ULONG msw = request->nx_ip_driver_physical_address_msw;
        const ULONG lsw = request->nx_ip_driver_physical_address_lsw;
        Put16(h, uint16_t(msw));
        Put32(h + 2, lsw);
    }
    std::memcpy(h + 6, g_settings.station, 6);
    Put16(h + 12, type);
    return TransmitPacket(packet);
}

UINT Initialise(NX_IP_DRIVER* request) {
    if (g_state.state != kEmacNotInitialised) {
        return NX_SUCCESS;
    }
    if (!CheckPhy()) {
        g_state.state = kEmacPhyFailed;
        g_state.phyFailed = 1;
        return NX_NOT_SUCCESSFUL;
    }
    uint8_t* area = PoolArea();
    if (area == nullptr ||
        nx_packet_pool_create(&g_state.pool, "enet packet pool", kEmacPayloadSize, area,
                              kEmacPoolBytes) != NX_SUCCESS) {
        g_state.state = kEmacPoolFailed;
        return NX_SUCCESS;
    }
    g_state.poolCreated = true;
    if (HardwareInit() != NX_SUCCESS) {
        ReleaseRxRing();
        nx_packet_pool_delete(&g_state.pool);
        g_state.poolCreated = false;
        g_state.state = kEmacHardwareFailed;
        return NX_NOT_SUCCESSFUL;
    }
    NX_IP* ip = request->nx_ip_driver_ptr;
    const uint8_t* a = g_settings.station;
    ip->nx_ip_driver_mapping_needed = 1;
    ip->nx_ip_driver_mtu = kMaxFrame;
    ip->nx_ip_driver_link_up = 0;
    ip->nx_ip_arp_physical_address_msw = ULONG(a[0]) << 8 | a[1];
    ip->nx_ip_arp_physical_address_lsw =
        ULONG(a[2]) << 24 | ULONG(a[3]) << 16 | ULONG(a[4]) << 8 | a[5];
    g_state.ip = ip;
    g_state.state = kEmacInitialised;
    return NX_SUCCESS;
}

}  // namespace
}  // namespace emac

using emac::g_settings;
using emac::g_state;

void EmacNetDriver(NX_IP_DRIVER* request) {
    if (!g_state.created) {
        if (tx_semaphore_create(&g_state.protect, const_cast<CHAR*>("ENET rec protect"), 1) !=
            TX_SUCCESS) {
            request->nx_ip_driver_status = NX_NOT_SUCCESSFUL;
            return;
        }
        g_state.created = true;
        g_state.state = kEmacNotInitialised;
    }
    request->nx_ip_driver_status = NX_SUCCESS;
    NX_IP* ip = request->nx_ip_driver_ptr;
    switch (request->nx_ip_driver_command) {
        case NX_LINK_PACKET_SEND:
            request->nx_ip_driver_status = emac::Send(request, emac::kTypeIp, false);
            break;
        case NX_LINK_INITIALIZE:
            request->nx_ip_driver_status = emac::Initialise(request);
            break;
        case NX_LINK_ENABLE:
            if (g_state.state < kEmacInitialised) {
                request->nx_ip_driver_status = NX_NOT_SUCCESSFUL;
            } else if (g_state.state == kEmacEnabled) {
                request->nx_ip_driver_status = NX_ALREADY_ENABLED;
            } else {
                emac::EnableInterrupts();
                g_state.state = kEmacEnabled;
                ip->nx_ip_driver_link_up = 1;
            }
            break;
        case NX_LINK_DISABLE:
            if (g_state.state == kEmacEnabled) {
                emac::DisableLink();
                g_state.state = kEmacInitialised;
                ip->nx_ip_driver_link_up = 0;
            } else {
                request->nx_ip_driver_status = NX_NOT_ENABLED;
            }
            break;
        case NX_LINK_PACKET_BROADCAST:
            request->nx_ip_driver_status = emac::Send(request, emac::kTypeIp, true);
            break;
        case NX_LINK_ARP_SEND:
            request->nx_ip_driver_status = emac::Send(request, emac::kTypeArp, true);
            break;
        case NX_LINK_ARP_RESPONSE_SEND:
            request->nx_ip_driver_status = emac::Send(request, emac::kTypeArp, false);
            break;
        case NX_LINK_RARP_SEND:
            request->nx_ip_driver_status = emac::Send(request, emac::kTypeRarp, true);
            break;
        case NX_LINK_MULTICAST_JOIN:
        case NX_LINK_MULTICAST_LEAVE:
            if (g_state.state == kEmacEnabled) {
                emac::SetMulticast(request->nx_ip_driver_command == NX_LINK_MULTICAST_JOIN);
            } else {
                request->nx_ip_driver_status = NX_NOT_ENABLED;
            }
            break;
        case NX_LINK_GET_STATUS:
            if (request->nx_ip_driver_return_ptr != nullptr) {
                *request->nx_ip_driver_return_ptr = ip ? ip->nx_ip_driver_link_up : 0;
            }
            break;
        default:
            request->nx_ip_driver_status = NX_UNHANDLED_COMMAND;
            if ((request->nx_ip_driver_command <= 16 || request->nx_ip_driver_command == 50) &&
                request->nx_ip_driver_return_ptr != nullptr) {
                *request->nx_ip_driver_return_ptr = 0;
            }
            break;
    }
}

int EthernetSetBufferArea(uint8_t* area) {
    g_settings.area = area;
    return 0;
}

uint8_t* EthernetBufferArea() {
    return g_settings.area;
}

int EthernetSetStationAddress(const uint8_t address[6]) {
    std::memcpy(g_settings.station, address, 6);
    return 0;
}

void EthernetSetLinkMode(int speed, int duplex, int restrict) {
    g_settings.speed = speed;
    g_settings.duplex = duplex;
    g_settings.restrict = restrict;
}

void EthernetSetOwnAddress(uint32_t address) {
    g_settings.ownAddress = address;
}

void EthernetSetWatchdogHooks(void (*off)(), void (*on)()) {
    g_settings.watchdogOff = off;
    g_settings.watchdogOn = on;
}

void EmacConfigure() {
    emac::EmacWrite(emac::kMode0, 0x20000000);
    emac::PollClear([] { return emac::EmacRead(emac::kMode0); }, 0x20000000);
    bool speed100 = false;
    bool full = false;
    emac::ChooseMode(&speed100, &full);
    emac::WriteStationAddress();
    emac::WriteMacSettings(emac::Mode1(speed100, full, false));
    emac::EmacWrite(emac::kMode0, 0x18000000);
}

EmacFigures EmacGetFigures() {
    EmacFigures f = g_state.figures;
    f.state = g_state.state;
    f.phyFailed = g_state.phyFailed;
    return f;
}

NX_PACKET_POOL* EmacPacketPool() {
    return g_state.poolCreated ? &g_state.pool : nullptr;
}

void EmacResetDriver() {
    if (g_state.poolCreated) {
        nx_packet_pool_delete(&g_state.pool);
    }
    if (g_state.created) {
        tx_semaphore_delete(&g_state.protect);
    }
    g_state = emac::DriverState{};
    g_EthernetLinkState = 0;
}

// Interrupt handlers ---------------------------------------------------------------------------

namespace emac {
namespace {

// The Ethernet type and the length to hand up; false for a frame to drop.
bool FrameLength(const uint8_t* frame, uint32_t received, uint32_t* length) {
    if (received < 14) {
        return false;
    }
    if (Get16(frame + 12) != kTypeIp) {
        *length = received;
        return true;
    }
    if (received < 14 + 20) {
        return false;
    }
    const uint32_t total = Get16(frame + 16);
    if (total < 20 || total + 14 > received) {
        return false;
    }
    *length = total + 14;
    return true;
}

void Dispatch(NX_PACKET* packet) {
    const uint16_t type = Get16(packet->nx_packet_prepend_ptr + 12);
    NX_IP* ip = g_state.ip;
    if (ip == nullptr || (type != kTypeIp && type != kTypeArp && type != kTypeRarp)) {
        ++g_state.figures.framesDropped;
        nx_packet_release(packet);
        return;
    }
    packet->nx_packet_prepend_ptr += 14;
    packet->nx_packet_length -= 14;
    const uint8_t* payload = packet->nx_packet_prepend_ptr;
    if (type == kTypeArp) {
        const uint32_t target = packet->nx_packet_length >= 28
                                    ? uint32_t(Get16(payload + 24)) << 16 | Get16(payload + 26)
                                    : ~g_settings.ownAddress;
        if (target != g_settings.ownAddress) {
            ++g_state.figures.framesDropped;
            nx_packet_release(packet);
            return;
        }
        ++g_state.figures.framesReceived;
        _nx_arp_packet_deferred_receive(ip, packet);
        return;
    }
    ++g_state.figures.framesReceived;
    if (type == kTypeRarp) {
        _nx_rarp_packet_deferred_receive(ip, packet);
    } else {
        _nx_ip_driver_deferred_receive(ip, packet);
    }
}

void ServeRxRing() {
    for (unsigned served = 0; served < kEmacRxDescriptors; ++served) {
        const unsigned i = g_state.rxNext;
        uint8_t* d = RxTable() + 8 * i;
        const uint16_t control = Get16(d);
        if (control & kReady) {
            return;
        }
        g_state.rxNext = (i + 1) % kEmacRxDescriptors;
        const uint32_t received = Get16(d + 2);
        NX_PACKET* packet = g_state.rxPackets[i];
        NX_PACKET* fresh = nullptr;
        uint32_t length = 0;
        const bool good = received != 0 && received < 1519 && (control & 0x03FF) == 0 &&
                          packet != nullptr &&
                          FrameLength(packet->nx_packet_data_start + 2, received, &length);
        if (!good || nx_packet_allocate(&g_state.pool, &fresh, NX_RECEIVE_PACKET, TX_NO_WAIT) !=
                         NX_SUCCESS) {
            ++g_state.figures.framesDropped;
            Put16(d + 2, 0);
            Put16(d, uint16_t((control & kWrap) | kReady | kInterrupt));
            continue;
        }
        ArmRx(i, fresh);
        packet->nx_packet_prepend_ptr = packet->nx_packet_data_start + 2;
        packet->nx_packet_append_ptr = packet->nx_packet_prepend_ptr + length;
        packet->nx_packet_length = length;
        Dispatch(packet);
    }
}

void RebuildRx() {
    BuildRxRing();
    mal_write(dcr::kMalRxChannelActiveReset, kChannel0);
    mal_write(dcr::kMalRxDescriptorTable0, hw::BusAddress(RxTable()));
    mal_write(dcr::kMalRxChannelActiveSet, kChannel0);
}

void RebuildTx() {
    BuildTxRing();
    mal_write(dcr::kMalTxChannelActiveReset, kChannel0);
    mal_write(dcr::kMalTxDescriptorTable0, hw::BusAddress(TxTable()));
    mal_write(dcr::kMalTxChannelActiveSet, kChannel0);
}

}  // namespace
}  // namespace emac

void MalTxEndOfBufferInterrupt() {
    mal_write(dcr::kMalTxEndOfBuffer, mal_read(dcr::kMalTxEndOfBuffer));
    if (!g_state.created || !emac::TakeInIsr()) {
        return;
    }
    if (g_state.txPacket != nullptr) {
        emac::ReleaseSent(g_state.txPacket);
        g_state.txPacket = nullptr;
    }
    g_state.txBusy = false;
    emac::Put32(emac::TxTable() + 4, 0);
    if (NX_PACKET* next = g_state.txHead) {
        g_state.txHead = next->nx_packet_queue_next;
        if (g_state.txHead == nullptr) {
            g_state.txTail = nullptr;
        }
        next->nx_packet_queue_next = nullptr;
        emac::StartTransmit(next);
    }
    emac::GiveInIsr();
}

void MalRxEndOfBufferInterrupt() {
    const uint32_t status = mal_read(dcr::kMalRxEndOfBuffer);
    mal_write(dcr::kMalRxEndOfBuffer, status);
    if (!(status & emac::kChannel0) || !g_state.created || !emac::TakeInIsr()) {
        return;
    }
    if (g_state.poolCreated) {
        emac::ServeRxRing();
    }
    emac::GiveInIsr();
}

void MalRxDescriptorErrorInterrupt() {
    mal_write(dcr::kMalRxDescriptorError, mal_read(dcr::kMalRxDescriptorError));
    ++g_state.figures.malErrors;
    if (g_state.created && g_state.poolCreated && emac::TakeInIsr()) {
        emac::RebuildRx();
        emac::GiveInIsr();
    }
}

void MalTxDescriptorErrorInterrupt() {
    mal_write(dcr::kMalTxDescriptorError, mal_read(dcr::kMalTxDescriptorError));
    ++g_state.figures.malErrors;
    if (g_state.created && emac::TakeInIsr()) {
        emac::RebuildTx();
        emac::GiveInIsr();
    }
}

void MalSystemErrorInterrupt() {
    const uint32_t status = mal_read(dcr::kMalErrorStatus);
    mal_write(dcr::kMalErrorStatus, status);
    if (!(status & 0x80000000) || !g_state.created || !g_state.poolCreated) {
        return;
    }
    ++g_state.figures.malErrors;
    const bool receive = (status & 0x40000000) != 0;
    if (status & 0x00010000) {
        if (emac::TakeInIsr()) {
            emac::HardwareInit();
            emac::GiveInIsr();
        }
        emac::EnableInterrupts();
        return;
    }
    if ((status & 0x001E0000) && emac::TakeInIsr()) {
        if (receive) {
            emac::RebuildRx();
        } else {
            emac::RebuildTx();
        }
        emac::GiveInIsr();
    }
}

void EmacInterrupt() {
    emac::EmacWrite(emac::kIsr, emac::EmacRead(emac::kIsr));
}

void InstallEthernetInterruptHandlers() {
    SetEthernetInterruptHandlers({&MalSystemErrorInterrupt, &MalTxEndOfBufferInterrupt,
                                  &MalRxEndOfBufferInterrupt, &MalTxDescriptorErrorInterrupt,
                                  &MalRxDescriptorErrorInterrupt, &EmacInterrupt});
}
