#include "display/brightness_table.h"

namespace {

uint16_t Be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

void PutBe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

// The refined table's last level covers readings up to at least this.
constexpr uint16_t kRefinedTop = 16000;

}  // namespace

uint32_t CBrightnessTable::Load(const uint8_t* text, uint32_t length, uint32_t maxPhotocell) {
    if (text == nullptr || length < 1) {
        return kErrorInvalidData;
    }
    const uint32_t n = text[0];
    if (n < 1 || length != 6 * n + 1) {
        return kErrorInvalidData;
    }
    Entry loaded[kMaxEntries];
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* p = text + 1 + 6 * i;
        Entry& e = loaded[i];
        e.brightness = Be16(p);
        e.down = Be16(p + 2);
        e.up = Be16(p + 4);
        if (i > 0 && uint32_t(loaded[i - 1].up) + 1 < e.down) {
            return kErrorPhotocellGap;
        }
        if (e.down > maxPhotocell || e.up > maxPhotocell || e.up < e.down) {
            return kErrorInvalidData;
        }
        // Levels that go back down would send the hysteresis search the wrong way.
        if (i > 0 && (e.down < loaded[i - 1].down || e.up < loaded[i - 1].up)) {
            return kErrorInvalidData;
        }
    }
    for (uint32_t i = 0; i < n; ++i) {
        entries_[i] = loaded[i];
    }
    count_ = n;
    if (index_ >= count_) {
        index_ = 0;
    }
    return kErrorNone;
}

void CBrightnessTable::Refine() {
    const uint32_t n = count_;
    if (n < 8 || n >= 128) {
        return;
    }
    const uint32_t s = 255 / (n - 1);
    const uint16_t lastUp = entries_[n - 1].up;
    for (uint32_t i = n - 1; i >= 1; --i) {
        entries_[i * s].brightness = entries_[i].brightness;
        entries_[i * s].down = entries_[i].down;
    }
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const Entry& from = entries_[i * s];
        const Entry& to = entries_[(i + 1) * s];
        const double brightnessStep = (double(to.brightness) - double(from.brightness)) / s;
        const double downStep = (double(to.down) - double(from.down)) / s;
        double brightness = from.brightness;
        double down = from.down;
        for (uint32_t j = 1; j < s; ++j) {
            brightness += brightnessStep;
            down += downStep;
            entries_[i * s + j].brightness = uint16_t(brightness);
            entries_[i * s + j].down = uint16_t(down);
        }
    }
    count_ = (n - 1) * s + 1;
    for (uint32_t i = 0; i + 1 < count_; ++i) {
        const uint16_t nextDown = entries_[i + 1].down;
        entries_[i].up = nextDown > entries_[i].down ? uint16_t(nextDown - 1) : entries_[i].down;
    }
    // The top level keeps the readings the stored table gave it.
    entries_[count_ - 1].up = lastUp > kRefinedTop ? lastUp : kRefinedTop;
}

std::vector<uint8_t> CBrightnessTable::DefaultText(bool eightLevels) {
    std::vector<uint8_t> out;
    if (eightLevels) {
        static constexpr uint16_t kEight[8][3] = {
            {257, 1, 248},       {6500, 248, 708},    {12300, 708, 1218},  {19500, 1218, 1799},
            {27400, 1799, 2525}, {36700, 2525, 3298}, {46200, 3298, 4709}, {65535, 4709, 65535}};
        out.push_back(8);
        for (const auto& level : kEight) {
            for (uint16_t v : level) {
                PutBe16(out, v);
            }
        }
        return out;
    }
    // 248 levels: brightness in steps of 264.25; photocell ranges one reading wide for the
    // darkest levels, then about 20 wide up to 4820, the last open to the top.
    constexpr uint32_t kLevels = 248;
    out.push_back(uint8_t(kLevels));
    uint32_t previousUp = 0;
    for (uint32_t k = 1; k <= kLevels; ++k) {
        uint32_t up;
        if (k <= 4) {
            up = k;
        } else if (k <= 245) {
            up = 4 + 4776 * (k - 4) / 241;
        } else if (k < kLevels) {
            up = 4780 + 20 * (k - 245);
        } else {
            up = 65535;
        }
        PutBe16(out, k == kLevels ? 65535 : k * 1057 / 4);
        PutBe16(out, previousUp + 1);
        PutBe16(out, up);
        previousUp = up;
    }
    return out;
}

bool CBrightnessTable::SelectForPhotocell(uint32_t p, uint32_t* brightness) {
    if (count_ == 0) {
        return false;
    }
    if (index_ >= count_) {
        index_ = 0;
    }
    if (p < entries_[index_].down) {
        for (int32_t i = int32_t(index_); i >= 0; --i) {
            if (p >= entries_[i].down) {
                index_ = uint32_t(i);
                *brightness = entries_[i].brightness;
                return true;
            }
        }
        return false;
    }
    if (p > entries_[index_].up || changed_) {
        for (uint32_t i = index_; i < count_; ++i) {
            if (p <= entries_[i].up) {
                index_ = i;
                *brightness = entries_[i].brightness;
                changed_ = false;
                return true;
            }
        }
    }
    return false;
}
