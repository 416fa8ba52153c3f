#include "platform/sim/module_bus.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

// Echo of the data-line test patterns: what a healthy module returns for test n on line r.
constexpr uint16_t kDataLinePatterns[8][6] = {
    {0x0001, 0x0008, 0x0002, 0x0010, 0x0004, 0x0020},
    {0x0040, 0x0101, 0x0080, 0x0102, 0x0100, 0x0104},
    {0x0108, 0x0140, 0x0110, 0x0180, 0x0120, 0x0200},
    {0x0201, 0x0208, 0x0202, 0x0210, 0x0204, 0x0220},
    {0x0240, 0x0400, 0x0280, 0x0401, 0x0300, 0x0402},
    {0x0404, 0x0420, 0x0408, 0x0440, 0x0410, 0x0480},
    {0x0500, 0x0801, 0x0600, 0x0802, 0x0800, 0x0804},
    {0x0808, 0x0840, 0x0810, 0x0880, 0x0820, 0x0900},
};

}  // namespace

void ModuleBus::Configure(ModuleKind kind, const std::vector<unsigned>& lineLengths) {
    kind_ = kind;
    lines_.clear();
    const unsigned size = ModuleSize();
    for (unsigned i = 0; i < lineLengths.size() && i < kMaxLines; ++i) {
        Line line;
        line.modules.resize(std::min(lineLengths[i], kMaxModulesPerLine));
        for (Module& m : line.modules) {
            m.dead.assign(size * size, 0);
        }
        lines_.push_back(std::move(line));
    }
    std::memset(result_, 0, sizeof result_);
}

unsigned ModuleBus::LineLength(unsigned line) const {
    return line < lines_.size() ? unsigned(lines_[line].modules.size()) : 0;
}

bool ModuleBus::SetDeadLed(unsigned x, unsigned y, unsigned colour, bool dead) {
    const unsigned size = ModuleSize();
    const unsigned line = y / size;
    const unsigned column = x / size;
    if (colour > 2 || line >= lines_.size() || column >= lines_[line].modules.size()) {
        return false;
    }
    uint8_t& bits = lines_[line].modules[column].dead[(y % size) * size + x % size];
    bits = uint8_t(dead ? bits | (1u << colour) : bits & ~(1u << colour));
    return true;
}

bool ModuleBus::Disconnect(unsigned line, unsigned column, bool disconnected) {
    if (line >= lines_.size() || column >= lines_[line].modules.size()) {
        return false;
    }
    lines_[line].modules[column].disconnected = disconnected;
    return true;
}

void ModuleBus::SetDataLineFault(unsigned line, uint16_t stuckLow) {
    if (line < lines_.size()) {
        lines_[line].stuckLow = stuckLow;
    }
}

void ModuleBus::ClearFaults() {
    for (Line& line : lines_) {
        line.stuckLow = 0;
        for (Module& m : line.modules) {
            m.disconnected = false;
            std::fill(m.dead.begin(), m.dead.end(), 0);
        }
    }
}

bool ModuleBus::Reachable(unsigned line, unsigned address) const {
    if (line >= lines_.size() || address == 0 || address > lines_[line].modules.size()) {
        return false;
    }
    for (unsigned i = 0; i < address; ++i) {
        if (lines_[line].modules[i].disconnected) {
            return false;
        }
    }
    return true;
}

uint8_t ModuleBus::Query(unsigned line, unsigned address) const {
    return Reachable(line, address) ? AnswerCode() : 0;
}

uint16_t ModuleBus::DataLinePattern(unsigned line, unsigned n) {
    return n < 6 ? kDataLinePatterns[line % 8][n] : 0;
}

uint16_t ModuleBus::TestReadBack(unsigned line, unsigned address, unsigned n,
                                 uint8_t sizeCode) const {
    if (!Reachable(line, address) || sizeCode != SizeCode()) {
        return 0;
    }
    return uint16_t(DataLinePattern(line, n) & ~lines_[line].stuckLow);
}

// Bit j of a module's bitmap: column offset o leftwards from the module's rightmost column, row
// 7 - (j mod 64) / 8; for 16-pixel modules bits 64-127 cover offsets 8-15. A module that does not
// answer reads as all LEDs failed.
void ModuleBus::CollectModule(const Module& module, bool reachable, unsigned channel,
                              unsigned firstBit) {
    const unsigned size = ModuleSize();
    const unsigned bits = size == 8 ? 64 : 128;
    const unsigned colour = channel / 2;
    const unsigned rowBase = size == 8 ? 0 : (channel % 2) * 8;
    for (unsigned j = 0; j < bits; ++j) {
        const unsigned offset = j < 64 ? j % 8 : 8 + j % 8;
        const unsigned row = rowBase + 7 - (j % 64) / 8;
        const unsigned column = size - 1 - offset;
        const bool failed = !reachable || (module.dead[row * size + column] >> colour & 1) != 0;
        if (failed) {
            const unsigned b = firstBit + j;
            result_[b / 16] = uint16_t(result_[b / 16] | 1u << (b % 16));
        }
    }
}

void ModuleBus::SelectChannel(unsigned line, unsigned count, unsigned channel) {
    std::memset(result_, 0, sizeof result_);
    const unsigned size = ModuleSize();
    if (line >= lines_.size() || (size == 8 ? channel > 4 || channel % 2 != 0 : channel > 5)) {
        return;
    }
    const unsigned bits = size == 8 ? 64 : 128;
    count = std::min({count, unsigned(lines_[line].modules.size()), kResultWords * 16 / bits});
    // The far module of the range shifts out first.
    for (unsigned m = 0; m < count; ++m) {
        const unsigned address = count - m;
        CollectModule(lines_[line].modules[address - 1], Reachable(line, address), channel,
                      m * bits);
    }
}

uint16_t ModuleBus::ResultWord(unsigned index) const {
    return index < kResultWords ? result_[index] : 0;
}

}  // namespace sim
