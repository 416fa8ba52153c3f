#pragma once
// Base of every peripheral, the file peripherals included, and the mediator that keeps the live
// peripherals and finds them by id. Polling: each peripheral task cycle a live, enabled
// peripheral's poll counter counts up to its poll divider; on reaching it the counter restarts
// and the peripheral's Poll runs.

#include <cstdint>
#include <vector>

#include "platform/kernel/tx_api.h"

class CPeripheral {
public:
    // State texts of GetStateText.
    enum State : uint8_t {
        kSettingUp = 0,
        kInitError = 1,
        kReading = 2,
        kCommError = 3,
        kReadingAgain = 5,
        kValid = 6,
    };

    CPeripheral(uint8_t classCode, uint16_t peripheralId);
    CPeripheral(const CPeripheral&) = delete;
    CPeripheral& operator=(const CPeripheral&) = delete;
    // Raises bit 0x40 of the "database" event group (through the hook below).
    virtual ~CPeripheral();

    virtual const char* GetBusName() { return ""; }
    virtual uint32_t GetCanId() { return 0; }
    virtual uint32_t GetSubAddress() { return 0; }
    virtual void HandleLetter(uint32_t /*letterId*/) {}
    virtual void Poll() = 0;
    virtual void Update() {}
    virtual void OnTimerEvent() {}
    // "%s is currently %s\n" with the name and the state text.
    virtual void PrintStatus();
    virtual void SetEnabled(uint8_t on) { enabled = on; }

    // True when the state is 6 (valid); the text of the state in any case.
    bool GetStateText(const char** text) const;

    const char* name = "        ";
    uint8_t classCode;
    uint16_t peripheralId;
    uint16_t word = 0;
    uint16_t listSlot = 0;
    uint16_t pollDivider = 0;
    uint16_t pollCounter = 0;
    uint8_t enabled = 0;
    uint8_t createdByFactory = 0;
    uint8_t state = 0;
};

// Called by every peripheral's destructor (the "database" event bit 0x40); null: nothing.
void PeripheralSetDestroyHook(void (*hook)());

class pl_mediator {
public:
    static constexpr uint32_t kWaitTicks = 500;

    // Adds a live peripheral (not owned); Remove takes it out.
    void Add(CPeripheral* peripheral);
    void Remove(CPeripheral* peripheral);
    void Close();
    bool IsOpen() const { return open_; }

    // The first live peripheral with the id: true and it, or false and null.
    bool Find(uint16_t peripheralId, CPeripheral** out);
    bool Enable(uint16_t peripheralId);
    bool Disable(uint16_t peripheralId);
    bool SetPollPeriod(uint16_t peripheralId, uint16_t divider, uint16_t* oldDivider);
    void SetPollCounter(uint16_t peripheralId, uint16_t value);
    // One polling cycle over every live, enabled peripheral.
    void PollAll();

private:
    // The list lock: a kernel mutex taken within kWaitTicks in thread context. Outside a
    // thread (start-up, tests between steps) no other firmware thread runs, so none is needed.
    class Guard {
    public:
        explicit Guard(pl_mediator& mediator);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        bool Held() const { return held_; }

    private:
        pl_mediator& mediator_;
        bool held_ = false;
        bool taken_ = false;
    };

    TX_MUTEX mutex_{};
    uint64_t mutexKernel_ = 0;  // the kernel instance the mutex belongs to
    std::vector<CPeripheral*> live_;
    bool open_ = true;
};
