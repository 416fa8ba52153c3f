#pragma once
// The communication task, as far as the controller's core needs it: its task contract, its
// letters, the network memory area, the transports' construction step and the Ethernet-path
// interrupt handlers. The links themselves (serial, PPP, PMPP, Ethernet) come with the
// communications subsystem.

#include <cstdint>
#include <functional>

#include "comm/emac_driver.h"
#include "runtime/standard_task.h"

class comm_task : public CStandardTask {
public:
    // Object ids the task acts on.
    static constexpr uint32_t kBrenCommCommand = 95833;  // NV, 1 byte
    // "database" event bits taken each cycle.
    static constexpr ULONG kCommLossTimeChanged = 0x8000;
    static constexpr ULONG kFileTransferStatusChanged = 0x8000000;

    // Object store access (may be left empty: the letters then change nothing).
    struct Objects {
        std::function<uint32_t(uint32_t id, uint32_t width, bool nv)> get;
        std::function<void(uint32_t id, uint32_t width, uint32_t value, bool nv)> set;
    };

    explicit comm_task(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents = nullptr,
                       Objects objects = {});

    // The watchdog's Ethernet restart, run on the reply to the Ethernet reset request (none: the
    // reply is ignored).
    void SetEthernetReset(void (*reset)()) { ethernetReset_ = reset; }

    // Reference time of the heartbeat check.
    void SetSavedGlobalTime(uint32_t seconds) { savedGlobalTime_ = seconds; }
    uint32_t SavedGlobalTime() const { return savedGlobalTime_; }
    // Times the command of brenCommCommand 3 was carried out.
    uint32_t CommandsRun() const { return commandsRun_; }

protected:
    void Init() override;
    void OnLetter(letter_s& letter) override;
    void Work() override;

private:
    TX_EVENT_FLAGS_GROUP* databaseEvents_;
    Objects objects_;
    void (*ethernetReset_)() = nullptr;
    uint32_t savedGlobalTime_ = 0;
    uint32_t commandsRun_ = 0;
};

// Builds the serial port drivers and the NTCIP interfaces at *next (none in this build); without
// a pointer prints "Error: Initializing NTCIP Objects\n".
int InitNtcipTransports(uint8_t** next);
