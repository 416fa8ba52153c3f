// The built-in fonts have their stated properties and render every printable character.
#include "render/pavor_font.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "render/builtin_fonts.h"
#include "render/surface.h"
#include "runtime/gp_buffer.h"
#include "runtime/tests/kernel_fixture.h"

namespace {

struct FontCase {
    const char* file;
    int charSpacing;
};
const FontCase kFonts[] = {{"14X10_NARROW.FNT", 1}, {"14X10_FHWA_TYPE_E.FNT", 2}};

TEST(PavorFont, BuiltinFontsHaveTheStatedProperties) {
    ASSERT_EQ(g_BuiltinFontCount, 2u);
    for (const FontCase& c : kFonts) {
        CPavorFont font;
        ASSERT_TRUE(font.Load(c.file)) << c.file;
        EXPECT_STREQ(font.Name(), c.file);
        EXPECT_EQ(font.Height(), 14) << c.file;
        EXPECT_EQ(font.LineSpacing(), 2) << c.file;
        EXPECT_EQ(font.CharSpacing(), c.charSpacing) << c.file;
        EXPECT_EQ(font.Reserved(), 0);

        EXPECT_EQ(font.CharWidth(' '), 4) << c.file;
        for (int row = 0; row < 14; ++row) {
            EXPECT_FALSE(font.PixelIsSet(' ', 0, row));
        }
        ASSERT_EQ(font.CharWidth('!'), 2) << c.file;
        for (int row = 0; row < 14; ++row) {
            const bool lit = row <= 9 || row >= 12;
            EXPECT_EQ(font.PixelIsSet('!', 0, row), lit) << c.file << " row " << row;
            EXPECT_EQ(font.PixelIsSet('!', 1, row), lit) << c.file << " row " << row;
        }
        for (int code = 0; code < 32; ++code) {
            EXPECT_EQ(font.CharWidth(uint8_t(code)), 0) << c.file << " code " << code;
        }
        for (int code = 127; code < 256; ++code) {
            EXPECT_EQ(font.CharWidth(uint8_t(code)), 0) << c.file << " code " << code;
        }
        // Every printable character is drawn, at most 10 columns wide.
        for (int code = 33; code < 127; ++code) {
            const int width = font.CharWidth(uint8_t(code));
            EXPECT_GE(width, 2) << c.file << " " << char(code);
            EXPECT_LE(width, 10) << c.file << " " << char(code);
            int lit = 0;
            for (int column = 0; column < width; ++column) {
                for (int row = 0; row < 14; ++row) {
                    lit += font.PixelIsSet(uint8_t(code), column, row);
                }
            }
            EXPECT_GT(lit, 0) << c.file << " " << char(code);
        }
    }
}

TEST(PavorFont, PixelsOutsideTheGlyphAreUnlit) {
    CPavorFont font;
    ASSERT_TRUE(font.Load("14X10_FHWA_TYPE_E.FNT"));
    const int width = font.CharWidth('M');
    ASSERT_GT(width, 0);
    // 'M' has both outer columns lit on every row.
    EXPECT_TRUE(font.PixelIsSet('M', width - 1, 13));
    EXPECT_TRUE(font.PixelIsSet('M', 0, 13));
    EXPECT_FALSE(font.PixelIsSet('M', width, 0));
    EXPECT_FALSE(font.PixelIsSet('M', 0, 14));
    EXPECT_FALSE(font.PixelIsSet('M', -1, 0));
    EXPECT_FALSE(font.PixelIsSet('M', 0, -1));
    EXPECT_FALSE(font.PixelIsSet(0, 0, 0));
    EXPECT_FALSE(font.PixelIsSet(255, 0, 0));
}

TEST(PavorFont, LoadRefusesBadNamesAndFallsBackToTheFirstFont) {
    CPavorFont font;
    EXPECT_FALSE(font.Load(nullptr));
    EXPECT_FALSE(font.HoldsBuffer());
    const std::string fifty(50, 'A');
    EXPECT_FALSE(font.Load(fifty.c_str()));
    EXPECT_FALSE(font.HoldsBuffer());
    EXPECT_EQ(font.Height(), 0);
    EXPECT_EQ(font.CharWidth('A'), 0);

    const std::string fortyNine(49, 'A');
    ASSERT_TRUE(font.Load(fortyNine.c_str()));
    EXPECT_STREQ(font.Name(), fortyNine.c_str());
    EXPECT_EQ(font.CharSpacing(), 1);  // the narrow font, row 0
    EXPECT_TRUE(font.HoldsBuffer());
    // Names are compared exactly.
    ASSERT_TRUE(font.Load("14x10_fhwa_type_e.fnt"));
    EXPECT_EQ(font.CharSpacing(), 1);
    ASSERT_TRUE(font.Load("14X10_FHWA_TYPE_E.FNT"));
    EXPECT_EQ(font.CharSpacing(), 2);
    font.Free();
    EXPECT_FALSE(font.HoldsBuffer());
    EXPECT_EQ(font.Height(), 0);
}

TEST(PavorFontBase, SetImageRefusesImagesShorterThanTheirGlyphs) {
    std::vector<uint8_t> image(CPavorFontBase::kGlyphOffset + 4, 0);
    image[160] = 14;
    image[176 + 'A'] = 4;  // two columns of two bytes
    image[CPavorFontBase::kGlyphOffset + 2] = 0x01;
    image[CPavorFontBase::kGlyphOffset + 3] = 0x20;

    CPavorFont font;  // used as a plain reader of images
    ASSERT_TRUE(font.SetImage(image.data(), uint32_t(image.size())));
    EXPECT_EQ(font.CharWidth('A'), 2);
    EXPECT_FALSE(font.PixelIsSet('A', 0, 0));
    EXPECT_TRUE(font.PixelIsSet('A', 1, 0));
    EXPECT_TRUE(font.PixelIsSet('A', 1, 13));
    EXPECT_FALSE(font.PixelIsSet('A', 1, 12));

    image[176 + 'B'] = 2;  // announces two bytes that are not there
    EXPECT_FALSE(font.SetImage(image.data(), uint32_t(image.size())));
    EXPECT_EQ(font.Height(), 0);
    EXPECT_EQ(font.CharWidth('A'), 0);
    EXPECT_FALSE(font.PixelIsSet('A', 1, 0));
    EXPECT_FALSE(font.SetImage(image.data(), CPavorFontBase::kGlyphOffset - 1));
    EXPECT_FALSE(font.SetImage(nullptr, 1000));

    // Height 0 gives no columns rather than a division by zero.
    image[176 + 'B'] = 0;
    image[160] = 0;
    ASSERT_TRUE(font.SetImage(image.data(), uint32_t(image.size())));
    EXPECT_EQ(font.CharWidth('A'), 0);
    EXPECT_FALSE(font.PixelIsSet('A', 0, 0));
}

// Every printable character of both fonts as the sign draws them, 16 to a line, compared with
// render/tests/data/builtin_fonts.txt. Set DMS_UPDATE_GOLDEN=1 to rewrite that file.
std::string RenderAll() {
    std::ostringstream out;
    for (const FontCase& c : kFonts) {
        CPavorFont font;
        if (!font.Load(c.file)) {
            return "cannot load " + std::string(c.file);
        }
        out << c.file << ": height " << font.Height() << ", line spacing " << font.LineSpacing()
            << ", character spacing " << font.CharSpacing() << "\n\n";
        for (int first = 32; first < 127; first += 16) {
            std::string text;
            for (int code = first; code < first + 16 && code < 127; ++code) {
                text += char(code);
            }
            CSurface surface;
            surface.Allocate(14, 200, 1);
            surface.SetForeground(0x7FFF);
            int32_t x = 0;
            const SurfaceRect clip{0, 0, 200, 14};
            surface.DrawText(font, text.data(), uint32_t(text.size()), x, 0, clip, false, -1, true,
                             false, nullptr);
            out << "characters " << first << "-" << first + int(text.size()) - 1 << ": " << text
                << "\n";
            for (int y = 0; y < 14; ++y) {
                std::string row;
                for (int px = 0; px < x; ++px) {
                    row += surface.GetPixel(px, y) != 0 ? '#' : '.';
                }
                out << row << "\n";
            }
            out << "\n";
        }
    }
    return out.str();
}

TEST(PavorFont, GoldenRenderingOfEveryPrintableCharacter) {
    const std::string path = std::string(DMS_TEST_DATA_DIR) + "/builtin_fonts.txt";
    const std::string actual = RenderAll();
    const char* update = std::getenv("DMS_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path) << actual;
    }
    std::ifstream in(path);
    std::stringstream expected;
    expected << in.rdbuf();
    if (expected.str() != actual) {
        std::ofstream("builtin_fonts.actual.txt") << actual;
    }
    EXPECT_EQ(expected.str(), actual)
        << "rendering differs from " << path << "; see builtin_fonts.actual.txt";
}

// With the general-purpose pool created, a loaded font holds one 256 KB block of it.
class PavorFontPool : public testing_support::KernelTest {
protected:
    void TearDown() override {
        CPavorFont::UsePool(nullptr);
        KernelTest::TearDown();
    }
};

TEST_F(PavorFontPool, LoadTakesOneBlockAndFreeReturnsIt) {
    CGPBuffer pool;
    Boot([&](uint8_t* memory) {
        // Room for one font buffer, not for two.
        ASSERT_TRUE(pool.Create(&memory, CPavorFont::kBufferSize + CPavorFont::kBufferSize / 2));
    });
    CPavorFont::UsePool(&pool);
    InThread([&] {
        CPavorFont first;
        CPavorFont second;
        const std::string fifty(50, 'N');
        EXPECT_FALSE(first.Load(fifty.c_str()));
        EXPECT_EQ(pool.Outstanding(), 0u) << "a refused name takes no buffer";

        ASSERT_TRUE(first.Load("14X10_NARROW.FNT"));
        EXPECT_EQ(pool.Outstanding(), 1u);
        EXPECT_EQ(first.CharWidth(' '), 4);
        EXPECT_FALSE(second.Load("14X10_FHWA_TYPE_E.FNT")) << "no buffer free";
        EXPECT_FALSE(second.HoldsBuffer());

        // Loading again reuses nothing: the old buffer goes back first.
        ASSERT_TRUE(first.Load("14X10_FHWA_TYPE_E.FNT"));
        EXPECT_EQ(pool.Outstanding(), 1u);
        first.Free();
        EXPECT_EQ(pool.Outstanding(), 0u);
        ASSERT_TRUE(second.Load("14X10_FHWA_TYPE_E.FNT"));
        EXPECT_EQ(second.CharSpacing(), 2);
        EXPECT_EQ(pool.Outstanding(), 1u);
    });
    EXPECT_EQ(pool.Outstanding(), 0u) << "the destructor returns the buffer";
    Shutdown();
}

}  // namespace
