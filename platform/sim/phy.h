#pragma once
// A clause-22 Ethernet PHY at MDIO address 1: control (0), status (1), advertisement (4), link
// partner ability (5) and a vendor register (0x10). Auto-negotiation completes after a number of
// status reads; link, partner abilities and remote fault are set by tests. Thread-safe.

#include <cstdint>
#include <mutex>

namespace sim {

class Phy {
public:
    static constexpr uint16_t kCapabilities = 0x7800;  // 100 full/half, 10 full/half
    static constexpr uint16_t kAutoNegAbility = 0x0008;
    static constexpr uint16_t kLinkUp = 0x0004;
    static constexpr uint16_t kRemoteFault = 0x0010;
    static constexpr uint16_t kAutoNegComplete = 0x0020;

    Phy() = default;

    // MDIO access; false when the register does not exist (or the PHY is absent).
    bool Read(unsigned address, unsigned reg, uint16_t* value);
    bool Write(unsigned address, unsigned reg, uint16_t value);

    void SetLink(bool up);
    void SetPartnerAbility(uint16_t ability);
    void SetCapabilities(uint16_t status);  // ability bits of the status register
    void SetAutoNegReads(unsigned reads);   // status reads until negotiation completes
    void SetRemoteFault(bool fault);
    void SetAbsent(bool absent);  // answers nothing (MDIO error)

    uint16_t Control() const;
    uint16_t Advertisement() const;
    uint16_t Vendor() const;
    unsigned Negotiations() const;  // auto-negotiation restarts seen
    unsigned StatusReads() const;

private:
    uint16_t Status();

    mutable std::mutex mutex_;
    uint16_t control_ = 0x1000;
    uint16_t capabilities_ = kCapabilities;
    uint16_t advertisement_ = 0x01E1;
    uint16_t partner_ = 0x41E1;
    uint16_t vendor_ = 0;
    unsigned negotiationReads_ = 3;
    unsigned readsLeft_ = 0;
    bool negotiating_ = false;
    bool complete_ = false;
    bool link_ = true;
    bool remoteFault_ = false;
    bool absent_ = false;
    unsigned negotiations_ = 0;
    unsigned statusReads_ = 0;
};

}  // namespace sim
