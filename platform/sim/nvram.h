#pragma once
// Battery-backed registers of the board and the product board id strap, kept
// in "nvram.bin" of the board directory. The file is mapped shared, so a
// value written is on disk even when the process is killed at once after.
//
// File layout (64 bytes, little-endian):
//   0  "NVRM"            magic
//   4  u8  version (1)
//   5  u8  battery state: 1 good, 0 lost since the last power-up
//   8  u8  regs[16]      bytes at 0xF0100000..0xF010000F: globalTime in
//                        0x1/0x3/0x5/0x7 (most significant first), the boot
//                        counter in 0xB
//   24 u8  UART 0 scratch register (boot flag byte at 0xEF600307)
//   32 i64 real-time clock offset in seconds (clock = host UTC + offset)
//   40 u8  clock valid (0 after the battery was lost)
//   48 u8  product board id (0-15), a strap: survives a battery loss

#include <cstdint>
#include <string>

#include "platform/sim/hw.h"

namespace sim {

inline constexpr uint32_t kBatteryRegsBase = 0xF0100000;
inline constexpr uint32_t kGlobalTimeRegs[4] = {0xF0100001, 0xF0100003, 0xF0100005, 0xF0100007};
inline constexpr uint32_t kBootCounterReg = 0xF010000B;
inline constexpr uint32_t kBootFlagReg = 0xEF600307;  // UART 0 scratch register
inline constexpr uint32_t kBoardIdReg = 0xF0200004;   // 16 bits, id in bits 9-12
inline constexpr uint8_t kDefaultBoardId = 1;         // "SFC Product Board II"

class Nvram {
public:
    Nvram() = default;
    ~Nvram();
    Nvram(const Nvram&) = delete;
    Nvram& operator=(const Nvram&) = delete;

    // Maps <dir>/nvram.bin, creating it (battery good, registers 0, clock at
    // host time, the given board id) when absent or unreadable.
    bool Open(const std::string& boardDir, uint8_t boardIdIfNew = kDefaultBoardId);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }

    // Places the register models on the bus: 0xF0100000-0xF010000F, the
    // UART 0 scratch byte and the board id register.
    void Attach();
    void Detach();

    uint8_t Reg(unsigned index) const;  // index 0-15 of 0xF0100000
    void SetReg(unsigned index, uint8_t value);
    uint32_t GlobalTime() const;
    void SetGlobalTime(uint32_t seconds);
    uint8_t BootCounterByte() const { return Reg(0xB); }
    uint8_t BootFlag() const;
    void SetBootFlag(uint8_t value);
    uint8_t BoardId() const;
    void SetBoardId(uint8_t id);
    int64_t ClockOffset() const;
    bool ClockValid() const;
    void SetClockOffset(int64_t offset);
    bool BatteryWasLost() const;
    void MarkBatteryGood();

    // The coin cell is removed and put back: every battery-backed byte reads
    // 0 and the clock is invalid. The board id stays.
    void LoseBattery();
    // Same for a board directory whose controller is not running.
    static bool LoseBattery(const std::string& boardDir);

private:
    class Regs;
    class Scratch;
    class BoardIdReg;

    uint8_t* data_ = nullptr;
    Regs* regs_ = nullptr;
    Scratch* scratch_ = nullptr;
    BoardIdReg* boardId_ = nullptr;
};

}  // namespace sim
