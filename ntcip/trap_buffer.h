#pragma once
// The ring of the 10 newest queued traps, shared by every interface: a push into
// a full ring drops the oldest record. Takes no lock; its callers serialize.

#include <cstdint>

#include "ntcip/trap_record.h"

constexpr uint32_t kTrapBufferRecords = 10;

class CTrapBuffer {
public:
    // Storage for the records, or null to use the buffer's own.
    explicit CTrapBuffer(trap_record* storage = nullptr);
    virtual ~CTrapBuffer() = default;
    CTrapBuffer(const CTrapBuffer&) = delete;
    CTrapBuffer& operator=(const CTrapBuffer&) = delete;

    void Push(const trap_record& record);
    // Copies the oldest record out (its expiry time excepted) and removes it;
    // false when the ring is empty.
    bool Pop(trap_record* out);
    bool IsEmpty() const { return count_ == 0; }
    uint32_t Count() const { return count_; }
    // Drops records from the oldest on while their expiry time is not later than now.
    void DiscardExpired(uint32_t now);

private:
    uint32_t write_ = 0;
    uint32_t count_ = 0;
    uint32_t read_ = 0;
    trap_record own_[kTrapBufferRecords]{};
    trap_record* records_;
};

extern CTrapBuffer g_TrapBuffer;
