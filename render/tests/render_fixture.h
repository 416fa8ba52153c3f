#pragma once
// A sign to render on in tests: its own object store (built-in fonts in slots 0 and 1, font
// numbers 1 and 2), two test fonts, a renderer and a player that steps pages and frames.
//   font 3 (slot 2): 5 x 7 glyphs for "ABC12" and space, spacing 1, line spacing 1.
//   font 4 (slot 3): lowercase letter n is a lit block n pixels wide ('a' 1 ... 'z' 26) and
//                    7 high; '.' is 7 pixels wide and unlit; no spacing; line spacing 2.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/ntcip_font.h"
#include "render/render.h"
#include "render/render_player.h"
#include "render/render_sign_store.h"

namespace render_test {

inline constexpr uint32_t kAmber = 0x037F;  // colour 9, 0x00D9FF as 15 bits

class Sign {
public:
    explicit Sign(RenderSignGeometry geometry = {}) : store(geometry) {
        AddSmallFont();
        AddBlockFont();
        render.AllocateSurface(geometry.height, geometry.width, geometry.bitsPerPixel);
        player = std::make_unique<CRenderPlayer>(render);
    }

    MultiParseResult Load(const std::string& text) {
        return player->Load(text.data(), static_cast<uint32_t>(text.size()));
    }
    MultiParseResult Validate(const std::string& text) {
        CMessage message;
        message.SetWholeSignRectangles(store.Geometry().width, store.Geometry().height);
        const MultiParseResult result = render.Validate(player->Parser(), &message, text.data(),
                                                        static_cast<uint32_t>(text.size()));
        error_position = message.error_position;
        return result;
    }
    CSurface& Surface() { return render.Surface(); }
    uint32_t Colour(int32_t x, int32_t y) {
        const uint32_t c = Surface().GetPixel(x, y);
        return Surface().BitsPerPixel() == 15 ? c >> 16 : c;
    }
    bool Lit(int32_t x, int32_t y) { return Colour(x, y) != 0; }
    // Lit columns [first, last] of the rows [y0, y1); -1 when none.
    std::pair<int32_t, int32_t> LitColumns(int32_t y0, int32_t y1) {
        int32_t first = -1, last = -1;
        for (int32_t x = 0; x < Surface().Width(); ++x) {
            for (int32_t y = y0; y < y1; ++y) {
                if (Lit(x, y)) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
            }
        }
        return {first, last};
    }
    std::pair<int32_t, int32_t> LitRows() {
        int32_t first = -1, last = -1;
        for (int32_t y = 0; y < Surface().Height(); ++y) {
            for (int32_t x = 0; x < Surface().Width(); ++x) {
                if (Lit(x, y)) {
                    if (first < 0)
                        first = y;
                    last = y;
                    break;
                }
            }
        }
        return {first, last};
    }

    CRenderSignStore store;
    CRender render;
    std::unique_ptr<CRenderPlayer> player;
    uint32_t error_position = 0;

private:
    void Glyph(uint8_t slot, uint8_t code, uint32_t width, uint32_t height,
               const std::vector<bool>& bits) {
        std::vector<uint8_t> bitmap((width * height + 7) / 8, 0);
        for (uint32_t i = 0; i < bits.size() && i < width * height; ++i) {
            if (bits[i])
                bitmap[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
        }
        store.SetNv(CNTCIPFont::CharacterWidthId(slot, code), 1, width);
        store.SetNvString(CNTCIPFont::CharacterBitmapId(slot, code), bitmap.data(),
                          static_cast<uint32_t>(bitmap.size()));
    }
    void Font(uint8_t slot, uint32_t height, uint32_t spacing, uint32_t lineSpacing) {
        store.SetNv(CNTCIPFont::FontNumberId(slot), 1, slot + 1u);
        store.SetNv(CNTCIPFont::FontHeightId(slot), 1, height);
        store.SetNv(CNTCIPFont::FontCharSpacingId(slot), 1, spacing);
        store.SetNv(CNTCIPFont::FontLineSpacingId(slot), 1, lineSpacing);
    }
    void AddSmallFont() {
        Font(2, 7, 1, 1);
        const char* glyphs[][2] = {
            {"A", ".###.#...##...#######...##...##...#"},
            {"B", "####.#...#####.#...##...##...#####."},
            {"C", ".#####....#....#....#....#.....####"},
            {"1", "..#...##....#....#....#....#...###."},
            {"2", ".###.#...#...#...#...#...#....#####"},
            {" ", "..................................."},
        };
        for (const auto& g : glyphs) {
            std::vector<bool> bits;
            for (const char* p = g[1]; *p; ++p)
                bits.push_back(*p == '#');
            Glyph(2, static_cast<uint8_t>(g[0][0]), 5, 7, bits);
        }
    }
    void AddBlockFont() {
        Font(3, 7, 0, 2);
        for (uint32_t n = 1; n <= 26; ++n) {
            Glyph(3, static_cast<uint8_t>('a' + n - 1), n, 7, std::vector<bool>(n * 7, true));
        }
        Glyph(3, '.', 7, 7, std::vector<bool>(49, false));
    }
};

}  // namespace render_test
