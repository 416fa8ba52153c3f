#pragma once
// CBrightnessTable: the display's brightness table: the stored dmsIllumBrightnessValues text
// (octet 0 the level count, then per level three big-endian 16-bit values: brightness,
// photocell down, photocell up) checked and loaded, a short table refined to up to 256
// levels, the two default tables, and the level chosen for a photocell reading with
// hysteresis.

#include <cstdint>
#include <vector>

class CBrightnessTable {
public:
    static constexpr uint32_t kMaxEntries = 256;
    // dmsIllumBrightnessValuesError.
    static constexpr uint32_t kErrorNone = 2;
    static constexpr uint32_t kErrorPhotocellGap = 3;
    static constexpr uint32_t kErrorInvalidData = 6;

    struct Entry {
        uint16_t brightness = 0;
        uint16_t up = 0;
        uint16_t down = 0;
    };

    // Checks the stored text against the highest photocell level the sensors report. Valid:
    // loaded (replacing the table) and kErrorNone. Invalid: the table is left as it was and
    // the error is returned.
    uint32_t Load(const uint8_t* text, uint32_t length, uint32_t maxPhotocell);
    // A table of 8 to 127 levels is spread over up to 256 by linear interpolation.
    void Refine();

    // The stored text of a default table: 8 levels (49 octets) or 248 levels (1489 octets).
    static std::vector<uint8_t> DefaultText(bool eightLevels);

    // Photocell control: the level for reading p. True when a level was chosen (its
    // brightness in *brightness); false leaves the level in force. After Restart (the table,
    // the mode or a forced update) the level is chosen again even inside its range.
    bool SelectForPhotocell(uint32_t p, uint32_t* brightness);
    // Back to the first level, chosen again at the next reading.
    void Restart() {
        changed_ = true;
        index_ = 0;
    }
    bool Changed() const { return changed_; }

    uint32_t Count() const { return count_; }
    uint32_t Index() const { return index_; }
    void SetIndex(uint32_t index) { index_ = index; }
    const Entry& At(uint32_t i) const { return entries_[i]; }
    // Marks the table as not loaded (the next display cycle checks it).
    void Forget() { count_ = 0; }

private:
    Entry entries_[kMaxEntries] = {};
    uint32_t count_ = 0;
    uint32_t index_ = 0;
    bool changed_ = true;
};
