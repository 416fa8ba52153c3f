#pragma once
// The event logging engine: evaluates the 60 event configurations against the
// objects they watch, appends entries to the 16 x 255 event log and keeps each
// class within its limit; sends the log-full trap once a class is 90 % full.
// Runs on the schedule task's thread (Update each cycle, ClearClass and
// EnforceClassLimits on its letters).

#include <cstdint>

constexpr uint32_t kEventSuppressedOids = 13;
constexpr uint32_t kEventSuppressedMaxLength = 17;
constexpr uint32_t kEventValueBufferSize = 512;

struct EventSuppressedOid {
    uint32_t subids[kEventSuppressedMaxLength];
    uint32_t count;
};

class CEventLogging {
public:
    static constexpr uint32_t kConfigs = 60;
    static constexpr uint8_t kStartupCycles = 60;

    CEventLogging();
    virtual ~CEventLogging() = default;

    void Update();
    void Process();
    void CheckLogFull();
    void Log(uint32_t config);
    void ClearClass(uint32_t c);
    void EnforceClassLimits();
    // The watched value (CRC-16 of octet values); *failed 1 when it cannot be read.
    uint32_t GetCompareValue(const uint8_t* oid, uint32_t length, int* failed);
    static int OidEquals(const uint8_t* oid, uint32_t length, const EventSuppressedOid& entry);
    // The entry of class c (0-based) the next log entry goes into; -1 when the class
    // cannot hold one.
    int AllocateEntry(uint32_t c);
    void CompactClass(uint32_t c);

    uint8_t StartupCountdown() const { return countdown_; }

private:
    struct Slot {
        uint32_t prior = 0;
        uint32_t last_time = 0;
        uint32_t accumulated = 0;
        uint8_t armed = 1;
    };
    void Evaluate(uint32_t i, uint32_t now);
    bool Suppressed(uint32_t i) const;
    // Timing step, then true when the holding time has passed and the slot is armed.
    bool HeldLongEnough(Slot& slot, uint32_t hold_tenths, uint32_t now);
    void ResetHold(Slot& slot);
    uint32_t EncodeValue(uint32_t config, uint8_t* buffer);
    void FreeEntry(uint32_t c, uint32_t k);

    Slot slots_[kConfigs];
    uint8_t countdown_ = kStartupCycles;
};

extern const EventSuppressedOid kEventStartupSuppressed[kEventSuppressedOids];

// Where logging asks whether it is disabled (the communication task's poll-time flag); null:
// never disabled.
void ntcip_set_logging_disabled_source(bool (*source)());
