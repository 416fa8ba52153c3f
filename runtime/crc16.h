#pragma once
// CRC-16 of the polynomial 0x1021 processed least significant bit first (table of 0x8408).

#include <cstddef>
#include <cstdint>

enum Crc16Status : int {
    kCrc16Ok = 0,
    kCrc16AlreadyOpen = 1,
    kCrc16NotOpen = 2,
    kCrc16MissingArgument = 3,
};

// Options of Crc16Final: invert all 16 bits, then swap the two bytes. 1 has no effect.
constexpr unsigned kCrc16Invert = 2;
constexpr unsigned kCrc16Swap = 4;

constexpr uint16_t kCrc16OpenTag = 0x3136;
constexpr uint16_t kCrc16ClosedTag = 0x554E;

struct Crc16State {
    uint16_t tag = 0;
    uint16_t crc = 0;
};

int Crc16Init(Crc16State* state, uint16_t initial);
int Crc16Update(Crc16State* state, const void* bytes, size_t length);
// Writes the result; the state stays open.
int Crc16Final(Crc16State* state, uint16_t* value, unsigned options);
int Crc16Close(Crc16State* state);

// Entry i of the 256-entry table.
uint16_t Crc16TableEntry(uint8_t index);

// One-call form: initial value, bytes and options as above.
uint16_t Crc16Compute(uint16_t initial, const void* bytes, size_t length, unsigned options);
