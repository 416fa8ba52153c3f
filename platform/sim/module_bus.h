#pragma once
// The display modules on the EPLD's module bus: one chain of modules per module line, module
// address 1 at the controller's end. Faults can be injected: dead LEDs, disconnected modules
// (they and every module further down the chain go silent) and data-line faults (bits of a
// line's read-back words stuck at 0). The protocol is described in README.md.

#include <cstdint>
#include <vector>

namespace sim {

enum class ModuleKind : uint8_t {
    k8x8,    // 8 x 8 RGB pixels, answer code 6 (size code 4), 64 bits a channel
    k16x16,  // 16 x 16 RGB pixels, answer code 1 (size code 8), two channel halves of 128 bits
};

class ModuleBus {
public:
    static constexpr unsigned kMaxLines = 9;
    static constexpr unsigned kMaxModulesPerLine = 64;
    // Words of the result block (enough for a full line of 16 x 16 modules).
    static constexpr unsigned kResultWords = 8 * kMaxModulesPerLine;

    // Lays out the chains (line lengths cut to the maxima) and clears every fault.
    void Configure(ModuleKind kind, const std::vector<unsigned>& lineLengths);
    ModuleKind Kind() const { return kind_; }
    unsigned ModuleSize() const { return kind_ == ModuleKind::k8x8 ? 8 : 16; }
    unsigned Lines() const { return unsigned(lines_.size()); }
    unsigned LineLength(unsigned line) const;
    uint8_t AnswerCode() const { return kind_ == ModuleKind::k8x8 ? 6 : 1; }
    uint8_t SizeCode() const { return kind_ == ModuleKind::k8x8 ? 4 : 8; }

    // Faults. Positions are sign pixels (x from the controller's end, y from the top); colour 0
    // red, 1 green, 2 blue. column counts modules from 0 at the controller's end.
    bool SetDeadLed(unsigned x, unsigned y, unsigned colour, bool dead = true);
    bool Disconnect(unsigned line, unsigned column, bool disconnected = true);
    void SetDataLineFault(unsigned line, uint16_t stuckLow);
    void ClearFaults();

    // The bus side. address: module address (1 = controller's end).
    uint8_t Query(unsigned line, unsigned address) const;
    // Read-back word of test pattern n sent to a module, which expects size code sizeCode.
    uint16_t TestReadBack(unsigned line, unsigned address, unsigned n, uint8_t sizeCode) const;
    // Collects the failure bitmaps of modules 1..count of the line for the channel.
    void SelectChannel(unsigned line, unsigned count, unsigned channel);
    uint16_t ResultWord(unsigned index) const;

    // The data-line patterns modules echo, by line (mod 8) and test (0..5).
    static uint16_t DataLinePattern(unsigned line, unsigned n);

private:
    struct Module {
        bool disconnected = false;
        // Dead LEDs, one bit per colour, row-major within the module.
        std::vector<uint8_t> dead;
    };
    struct Line {
        std::vector<Module> modules;
        uint16_t stuckLow = 0;
    };
    bool Reachable(unsigned line, unsigned address) const;
    void CollectModule(const Module& module, bool reachable, unsigned channel, unsigned firstBit);

    ModuleKind kind_ = ModuleKind::k8x8;
    std::vector<Line> lines_;
    uint16_t result_[kResultWords] = {};
};

}  // namespace sim
