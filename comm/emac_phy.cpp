// PHY access over MDIO, auto-negotiation, the fixed modes and the link check. The polls read the
// station control register a bounded number of times; the hardware's settling delays between
// polls have no meaning on the model.

#include "comm/emac_state.h"
#include "platform/monitor/mon.h"

namespace emac {
namespace {

constexpr uint32_t kStacr = 0x5C;
constexpr uint32_t kComplete = 0x8000;
constexpr uint32_t kError = 0x4000;
constexpr uint32_t kReadCommand = 0x1000 | 0x0400 | 0x0020;   // read, clock, PHY address 1
constexpr uint32_t kWriteCommand = 0x2000 | 0x0400 | 0x0020;  // write, clock, PHY address 1
constexpr unsigned kIdlePolls = 500;
constexpr unsigned kDonePolls = 501;

bool WaitComplete(unsigned polls) {
    for (unsigned i = 0; i < polls; ++i) {
        if (EmacRead(kStacr) & kComplete) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CheckPhy() {
    uint16_t control = 0;
    phy_write(0, 0x8000);
    return phy_read(0, &control) == 0;
}

void FixedMode(bool* speed100, bool* full) {
    const Settings& s = Config();
    *speed100 = s.speed == kEthernetSpeed100;
    *full = s.duplex == kEthernetDuplexFull;
    if (s.restrict) {
        *speed100 = false;
        *full = false;
    }
}

void WriteFixedPhy(bool speed100, bool full) {
    struct Row {
        uint16_t clear, set, advertise;
    };
    static constexpr Row kRows[4] = {
        {0x3100, 0x0000, 0x0021},  // 10 half
        {0x3000, 0x0100, 0x1001},  // 10 full
        {0x1100, 0x2000, 0x0081},  // 100 half
        {0x1000, 0x2100, 0x0101},  // 100 full
    };
    const Row& row = kRows[(speed100 ? 2 : 0) + (full ? 1 : 0)];
    uint16_t control = 0;
    phy_read(0, &control);
    phy_write(0, uint16_t((control & ~row.clear) | row.set));
    phy_write(4, row.advertise);
}

void SetPhyVendorBits() {
    uint16_t vendor = 0;
    phy_read(0x10, &vendor);
    phy_write(0x10, uint16_t((vendor & ~0x0010) | 0x0020));
}

uint32_t Mode1(bool speed100, bool full, bool atLinkUp) {
    if (!speed100) {
        return 0x00380000;
    }
    if (!full) {
        return 0x00780000;
    }
    return atLinkUp ? 0x81780000 : 0x91780000;
}

void ChooseMode(bool* speed100, bool* full) {
    const Settings& s = Config();
    if (s.speed == kEthernetSpeedAuto) {
        int f100 = s.restrict ? 0 : 1;
        int ffull = f100;
        AutoNegotiate(7000, &f100, &ffull);
        *speed100 = f100 == 1;
        *full = ffull == 1;
        return;
    }
    FixedMode(speed100, full);
}

}  // namespace emac

using emac::EmacRead;
using emac::EmacWrite;

int phy_read(unsigned reg, uint16_t* value) {
    if (!emac::WaitComplete(emac::kIdlePolls)) {
        mon_printf("phy_read err1\n");
        return -1;
    }
    EmacWrite(emac::kStacr, (reg & 0x1F) | emac::kReadCommand);
    uint32_t stacr = 0;
    bool done = false;
    for (unsigned i = 0; i < emac::kDonePolls && !done; ++i) {
        stacr = EmacRead(emac::kStacr);
        done = (stacr & emac::kComplete) != 0;
    }
    if (!done) {
        mon_printf("phy_read err2\n");
        return -1;
    }
    if (stacr & emac::kError) {
        mon_printf("phy_read err3\n");
        return -1;
    }
    *value = uint16_t(stacr >> 16);
    return 0;
}

int phy_write(unsigned reg, uint16_t value) {
    if (!emac::WaitComplete(emac::kIdlePolls)) {
        mon_printf("phy_write err1\n");
        return -1;
    }
    EmacWrite(emac::kStacr, (uint32_t(value) << 16) | (reg & 0x1F) | emac::kWriteCommand);
    uint32_t stacr = 0;
    bool done = false;
    for (unsigned i = 0; i < emac::kDonePolls && !done; ++i) {
        stacr = EmacRead(emac::kStacr);
        done = (stacr & emac::kComplete) != 0;
    }
    if (!done) {
        mon_printf("phy_write err2\n");
        return -1;
    }
    if (stacr & emac::kError) {
        mon_printf("phy_write err3\n");
        return -1;
    }
    return 0;
}

namespace {

uint16_t Advertisement(uint16_t status, int speed100, int full) {
    uint16_t advertise = 0x0001;
    if ((status & 0x2000) && speed100 == 1) {
        advertise |= 0x0080;
        if ((status & 0x4000) && full == 1) {
            advertise |= 0x0100;
        }
    }
    if (status & 0x0800) {
        advertise |= 0x0020;
        if ((status & 0x1000) && full == 1) {
            advertise |= 0x0040;
        }
    }
    return advertise;
}

}  // namespace

int AutoNegotiate(unsigned limit, int* speed100, int* fullDuplex) {
    if (limit == 0) {
        limit = 1000;
    }
    uint16_t control = 0;
    uint16_t status = 0;
    phy_read(0, &control);
    control = uint16_t((control & ~0x4C80) | 0x1000);
    phy_write(0, control);
    phy_read(1, &status);
    if (!(status & 0x0008)) {
        mon_printf("AutoNegotiate: PHY does not support AUTO Negotiation\n");
        return -1;
    }
    const uint16_t abilities = status;
    phy_write(4, Advertisement(abilities, *speed100, *fullDuplex));
    phy_write(0, uint16_t(control | 0x0200));
    unsigned reads = 0;
    bool complete = false;
    while (reads < limit && !complete) {
        ++reads;
        if (phy_read(1, &status) != 0) {
            continue;
        }
        if (status & 0x0010) {
            mon_printf("Autonegotiate: remote fault\n");
            return -1;
        }
        complete = (status & 0x0020) != 0;
    }
    uint16_t partner = 0;
    phy_read(5, &partner);
    if (partner & 0x2000) {
        mon_printf("Autonegotiate: remote fault\n");
        return -1;
    }
    const bool fast = (abilities & 0x2000) && *speed100 == 1 && (partner & 0x0080);
    control = fast ? uint16_t(control | 0x2000) : uint16_t(control & ~0x2000);
    *speed100 = fast ? 1 : 0;
    const bool full = *fullDuplex == 1 && ((fast && (abilities & 0x4000) && (partner & 0x0100)) ||
                                           (!fast && (abilities & 0x1000) && (partner & 0x0040)));
    control = full ? uint16_t(control | 0x0100) : uint16_t(control & ~0x0100);
    *fullDuplex = full ? 1 : 0;
    phy_write(0, control);
    if (!complete) {
        mon_printf("Autonegotiate: Timeout\n");
        return -1;
    }
    return 0;
}

void EthernetLinkCheck() {
    emac::DriverState& d = emac::State();
    const emac::Settings& s = emac::Config();
    uint16_t status = 0;
    if (phy_read(1, &status) != 0) {
        g_EthernetLinkState = 0;
        return;
    }
    const bool up = (status & 0x0004) != 0;
    if (s.speed != kEthernetSpeedAuto) {
        g_EthernetLinkState = up ? 1 : 0;
        return;
    }
    if (!up) {
        if (d.lastLinkState == 1) {
            mon_printf("link down\n\r");
            ++d.figures.linkChanges;
        }
        g_EthernetLinkState = 0;
        d.lastLinkState = 0;
        return;
    }
    const bool wasDown = d.lastLinkState == 0;
    g_EthernetLinkState = 1;
    d.lastLinkState = 1;
    if (!wasDown) {
        return;
    }
    mon_printf("link enabled\n\r");
    ++d.figures.linkChanges;
    if (s.watchdogOff) {
        s.watchdogOff();
    }
    int f100 = s.restrict ? 0 : 1;
    int full = f100;
    AutoNegotiate(7000, &f100, &full);
    if (s.watchdogOn) {
        s.watchdogOn();
    }
    d.figures.mode1 = emac::Mode1(f100 == 1, full == 1, true);
    EmacWrite(0x04, d.figures.mode1);
}
