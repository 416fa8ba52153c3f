#pragma once
// The four battery-backed board register bytes that hold globalTime.

#include <cstdint>

inline constexpr uint32_t kGlobalTimeRegisters[4] = {0xF0100001, 0xF0100003, 0xF0100005,
                                                     0xF0100007};  // most significant first

class DbTimeRegisters {
public:
    virtual ~DbTimeRegisters() = default;
    virtual uint8_t Read(uint32_t address) = 0;
    virtual void Write(uint32_t address, uint8_t value) = 0;
};

// The board's battery-backed registers on the register bus (the default of the database).
class BoardTimeRegisters : public DbTimeRegisters {
public:
    uint8_t Read(uint32_t address) override;
    void Write(uint32_t address, uint8_t value) override;
    static BoardTimeRegisters& Instance();
};

// Plain memory in place of the board registers (tests; boards without the device model).
class MemoryTimeRegisters : public DbTimeRegisters {
public:
    uint8_t Read(uint32_t address) override;
    void Write(uint32_t address, uint8_t value) override;
    uint32_t Writes() const { return writes_; }

private:
    uint8_t bytes_[4] = {};
    uint32_t writes_ = 0;
};
