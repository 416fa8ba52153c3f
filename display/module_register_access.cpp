#include "display/module_register_access.h"

#include "platform/kernel/tx_api.h"
#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"

namespace {

constexpr uint32_t kEpldBase = 0xF0400000;
constexpr uint32_t kColumnsRegister = kEpldBase + 0x0A;
constexpr uint32_t kRowsRegister = kEpldBase + 0x0C;
constexpr uint32_t kCommandRegister = kEpldBase + 0x1C;
constexpr uint32_t kAddressRegister = kEpldBase + 0x1E;
constexpr uint32_t kControlRegister = kEpldBase + 0x20;
constexpr uint32_t kDataRegister = kEpldBase + 0x22;
constexpr uint32_t kStatusRegister = kEpldBase + 0x24;
constexpr uint16_t kStartCommand = 0x2000;
constexpr uint16_t kStartWrite = 0x6000;
constexpr uint16_t kSelectReadBack = 0x11FF;
constexpr uint8_t kQueryCode = 0x40;
constexpr ULONG kCommandTicks = 5;

constexpr uint8_t kAnswerSizes[41] = {0, 8, 8, 8, 8, 8, 4, 8, 8, 8, 4, 4, 4, 4, 4, 4, 4, 8, 4, 8, 8,
                                      8, 8, 8, 8, 8, 8, 8, 4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8, 8};

constexpr uint16_t kExpected[8][6] = {
    {0x0001, 0x0008, 0x0002, 0x0010, 0x0004, 0x0020},
    {0x0040, 0x0101, 0x0080, 0x0102, 0x0100, 0x0104},
    {0x0108, 0x0140, 0x0110, 0x0180, 0x0120, 0x0200},
    {0x0201, 0x0208, 0x0202, 0x0210, 0x0204, 0x0220},
    {0x0240, 0x0400, 0x0280, 0x0401, 0x0300, 0x0402},
    {0x0404, 0x0420, 0x0408, 0x0440, 0x0410, 0x0480},
    {0x0500, 0x0801, 0x0600, 0x0802, 0x0800, 0x0804},
    {0x0808, 0x0840, 0x0810, 0x0880, 0x0820, 0x0900},
};

uint32_t CommandCycle(uint16_t command, uint16_t address, uint16_t start) {
    hw::Write16(kCommandRegister, command);
    hw::Write16(kAddressRegister, address);
    hw::Write16(kControlRegister, start);
    const uint32_t waited = tx_thread_sleep(kCommandTicks);
    hw::Write16(kControlRegister, 0);
    return waited;
}

uint32_t BitOf(const uint16_t* bitmap, uint32_t b) {
    return uint32_t(bitmap[b / 16] >> (b % 16)) & 1u;
}

// Module m (from the right end of the line) of `size` columns, bit j within it.
uint32_t Place(uint32_t b, const uint16_t* bitmap, uint32_t words, ModulePixel* out,
               uint32_t modules, uint32_t bits, uint32_t size) {
    const uint32_t j = b % bits;
    const uint32_t m = b / bits;
    if (bitmap == nullptr || b / 16 >= words || m >= modules) {
        return 0;
    }
    const uint32_t offset = j < 64 ? j % 8 : 8 + j % 8;
    if (out != nullptr) {
        out->x = uint16_t(size * modules - 1 - size * m - offset);
        out->y = uint16_t(7 - (j % 64) / 8);
    }
    return BitOf(bitmap, b);
}

}  // namespace

uint16_t DisplayRows() {
    return hw::Read16(kRowsRegister);
}

uint16_t DisplayColumns() {
    return hw::Read16(kColumnsRegister);
}

uint8_t ModuleSizeFromAnswer(uint8_t answer) {
    return answer < sizeof kAnswerSizes ? kAnswerSizes[answer] : 0;
}

uint8_t ModuleQuery(uint32_t address, uint32_t argument) {
    CommandCycle(uint16_t(argument << 8 | kQueryCode), uint16_t(address & 0xFF), kStartCommand);
    return ModuleSizeFromAnswer(uint8_t(hw::Read16(kStatusRegister) >> 8));
}

void ModuleWriteTestPattern(uint32_t address, uint32_t row, uint32_t n) {
    const uint8_t size = ModuleQuery(1, 0);
    CommandCycle(uint16_t(row << 8 | 8 * (n + 1)), uint16_t(size << 8 | (address & 0xFF)),
                 kStartCommand);
}

uint32_t ModuleCommand(uint32_t address, uint32_t argument, uint32_t index, uint32_t data) {
    return CommandCycle(uint16_t(argument << 8 | 8 * (index + 1)),
                        uint16_t(data << 8 | (address & 0xFF)), kStartWrite);
}

uint32_t ModuleReadBlock(uint32_t first, uint32_t end, uint16_t* out) {
    for (uint32_t i = first; i < end; ++i) {
        hw::Write16(kControlRegister, uint16_t(i));
        out[i - first] = hw::Read16(kDataRegister);
    }
    return 0;
}

uint16_t DisplayBusExpectedWord(uint32_t row, uint32_t n) {
    return n < 6 ? kExpected[row % 8][n] : 0;
}

uint32_t DisplayBusTest(uint32_t address, uint32_t row, uint32_t mode) {
    uint32_t failed = 0;
    const uint32_t step = mode == 4 ? 2 : 1;
    for (uint32_t n = 0; n < 6; n += step) {
        ModuleWriteTestPattern(address, row, n);
        hw::Write16(kControlRegister, kSelectReadBack);
        const uint16_t word = hw::Read16(kDataRegister);
        const uint16_t expected = DisplayBusExpectedWord(row, n);
        if (word != expected) {
            failed |= 1u << n;
            mon_printf("Test: %01x Data: %04x Expected: %04x\n\r", unsigned(n), unsigned(word),
                       unsigned(expected));
        }
    }
    return failed;
}

void ModuleSelectChannel(uint32_t line, uint32_t count, uint32_t channel) {
    ModuleCommand(count, line, 0, channel);
}

uint32_t ModuleReadBitmap(uint32_t count, uint8_t sizeCode, uint16_t* out, uint32_t capacity) {
    if (out == nullptr || (sizeCode != 4 && sizeCode != 8)) {
        return 0;
    }
    uint32_t words = count * sizeCode;
    if (words > capacity) {
        words = capacity;
    }
    ModuleReadBlock(0, words, out);
    return words;
}

uint32_t ModuleBitToPixel64(uint32_t b, const uint16_t* bitmap, uint32_t words, ModulePixel* out,
                            uint32_t modules) {
    return Place(b, bitmap, words, out, modules, 64, 8);
}

uint32_t ModuleBitToPixel128(uint32_t b, const uint16_t* bitmap, uint32_t words, ModulePixel* out,
                             uint32_t modules) {
    return Place(b, bitmap, words, out, modules, 128, 16);
}
