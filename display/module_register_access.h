#pragma once
// Commands to single display modules through the display EPLD's module-bus registers, the
// data-line test, and the bit-to-pixel maps of the failure bitmaps modules return. Every command
// holds the calling thread for 5 ticks.

#include <cstdint>

// The sign's size in pixels as the EPLD holds it (rows and columns registers).
uint16_t DisplayRows();
uint16_t DisplayColumns();

// Module size code from an answer code: 0, 4 (8-pixel modules) or 8 (16-pixel modules).
uint8_t ModuleSizeFromAnswer(uint8_t answer);

uint8_t ModuleQuery(uint32_t address, uint32_t argument);
void ModuleWriteTestPattern(uint32_t address, uint32_t row, uint32_t n);
uint32_t ModuleCommand(uint32_t address, uint32_t argument, uint32_t index, uint32_t data);
uint32_t ModuleReadBlock(uint32_t first, uint32_t end, uint16_t* out);
// Bit n of the result set for every test whose read-back differs from the expected word; rows
// beyond the table use the table row of row mod 8.
uint32_t DisplayBusTest(uint32_t address, uint32_t row, uint32_t mode);
uint16_t DisplayBusExpectedWord(uint32_t row, uint32_t n);

// Selects the failure bitmap of a colour channel on the first `count` modules of a line.
void ModuleSelectChannel(uint32_t line, uint32_t count, uint32_t channel);
// Reads the selected bitmap of `count` modules of the size code: 4 x count words (code 4) or
// 8 x count words (code 8), at most `capacity`. Returns the words read (0 for another code).
uint32_t ModuleReadBitmap(uint32_t count, uint8_t sizeCode, uint16_t* out, uint32_t capacity);

// Position of a pixel within its module line.
struct ModulePixel {
    uint16_t x;
    uint16_t y;
};
// Bit b of the bitmap (`words` 16-bit words) placed in a line of `modules` modules: its value
// (1 = set) and its position. 0 and no position for a bit beyond the bitmap or the line.
uint32_t ModuleBitToPixel64(uint32_t b, const uint16_t* bitmap, uint32_t words, ModulePixel* out,
                            uint32_t modules);
uint32_t ModuleBitToPixel128(uint32_t b, const uint16_t* bitmap, uint32_t words, ModulePixel* out,
                             uint32_t modules);
