// Build-time tool: turns the readable glyph sources of the built-in fonts into .FNT files and
// a C++ source holding their zlib streams (the built-in font table).
//
//   render_fontgen <output directory> <font source>...
//
// Writes <output directory>/<name>.FNT for each font and <output directory>/builtin_fonts.cpp.
//
// Glyph source: lines starting with ';' are comments; "name", "height", "line-spacing" and
// "char-spacing" lines set the font's properties; "char <code>" starts a glyph whose rows
// follow, top row first, one line of '.' (unlit) and '#' (lit) per pixel row. A glyph has
// exactly height rows, all of one width (0 to 127 columns). Codes not given are empty.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kHeaderBytes = 144;
constexpr size_t kNameOffset = 144;
constexpr size_t kNameBytes = 16;
constexpr size_t kHeightOffset = 160;
constexpr size_t kCountsOffset = 176;
constexpr size_t kGlyphOffset = 432;

struct Font {
    std::string name;
    int height = 0;
    int lineSpacing = -1;
    int charSpacing = -1;
    std::map<int, std::vector<std::string>> glyphs;
};

bool Fail(const std::string& file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), line, what.c_str());
    return false;
}

bool IsRow(const std::string& line) {
    return !line.empty() && line.find_first_not_of(".#") == std::string::npos;
}

bool Parse(const std::string& file, Font& font) {
    std::ifstream in(file);
    if (!in) {
        return Fail(file, 0, "cannot open");
    }
    std::string line;
    int number = 0;
    int code = -1;
    while (std::getline(in, line)) {
        ++number;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (IsRow(line)) {
            if (code < 0) {
                return Fail(file, number, "glyph row outside a glyph");
            }
            auto& rows = font.glyphs[code];
            rows.push_back(line);
            if (int(rows.size()) > font.height) {
                return Fail(file, number, "glyph has more rows than the font height");
            }
            if (rows.size() > 1 && rows.back().size() != rows.front().size()) {
                return Fail(file, number, "glyph rows differ in width");
            }
            continue;
        }
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "name") {
            words >> font.name;
        } else if (key == "height") {
            words >> font.height;
        } else if (key == "line-spacing") {
            words >> font.lineSpacing;
        } else if (key == "char-spacing") {
            words >> font.charSpacing;
        } else if (key == "char") {
            if (code >= 0 && int(font.glyphs[code].size()) != font.height) {
                return Fail(file, number, "previous glyph is not height rows high");
            }
            if (!(words >> code) || code < 0 || code > 255) {
                return Fail(file, number, "bad character code");
            }
            if (font.glyphs.count(code) != 0) {
                return Fail(file, number, "character given twice");
            }
            font.glyphs[code];
        } else {
            return Fail(file, number, "unknown line: " + line);
        }
        if (!words && key != "char") {
            return Fail(file, number, "missing value");
        }
    }
    if (code >= 0 && int(font.glyphs[code].size()) != font.height) {
        return Fail(file, number, "last glyph is not height rows high");
    }
    if (font.name.empty() || font.name.size() > 40 || font.height <= 0 || font.height > 255 ||
        font.lineSpacing < 0 || font.lineSpacing > 255 || font.charSpacing < 0 ||
        font.charSpacing > 255) {
        return Fail(file, number, "name, height, line-spacing or char-spacing missing or bad");
    }
    const size_t bytesPerColumn = (size_t(font.height) + 7) / 8;
    for (const auto& [c, rows] : font.glyphs) {
        if (rows.front().size() * bytesPerColumn > 255) {
            return Fail(file, number, "glyph " + std::to_string(c) + " too wide");
        }
    }
    return true;
}

std::vector<uint8_t> BuildFnt(const Font& font) {
    const size_t bytesPerColumn = (size_t(font.height) + 7) / 8;
    std::vector<uint8_t> fnt(kGlyphOffset, 0);
    const std::string banner = "DMS controller font " + font.name + ", built from its glyph source";
    for (size_t i = 0; i < banner.size() && i < kHeaderBytes; ++i) {
        fnt[i] = uint8_t(banner[i]);
    }
    // The name field holds the first 16 characters of the name; nothing reads it.
    for (size_t i = 0; i < font.name.size() && i < kNameBytes; ++i) {
        fnt[kNameOffset + i] = uint8_t(font.name[i]);
    }
    fnt[kHeightOffset] = uint8_t(font.height);
    fnt[kHeightOffset + 1] = uint8_t(font.lineSpacing);
    fnt[kHeightOffset + 2] = uint8_t(font.charSpacing);
    for (const auto& [code, rows] : font.glyphs) {
        const size_t width = rows.front().size();
        fnt[kCountsOffset + size_t(code)] = uint8_t(width * bytesPerColumn);
        for (size_t column = 0; column < width; ++column) {
            std::vector<uint8_t> bytes(bytesPerColumn, 0);
            for (size_t row = 0; row < rows.size(); ++row) {
                if (rows[row][column] == '#') {
                    bytes[row / 8] = uint8_t(bytes[row / 8] | 1u << (row % 8));
                }
            }
            fnt.insert(fnt.end(), bytes.begin(), bytes.end());
        }
    }
    return fnt;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output directory> <font source>...\n", argv[0]);
        return 2;
    }
    const std::string outDir = argv[1];
    std::ostringstream source;
    source << "// Generated by fontgen from the glyph sources in render/fonts. Do not edit.\n"
           << "#include \"render/builtin_fonts.h\"\n\nnamespace {\n";
    std::ostringstream table;
    for (int i = 2; i < argc; ++i) {
        Font font;
        if (!Parse(argv[i], font)) {
            return 1;
        }
        const std::vector<uint8_t> fnt = BuildFnt(font);
        if (!WriteFile(outDir + "/" + font.name + ".FNT", std::string(fnt.begin(), fnt.end()))) {
            std::fprintf(stderr, "cannot write %s.FNT\n", font.name.c_str());
            return 1;
        }
        uLongf packedSize = compressBound(uLong(fnt.size()));
        std::vector<uint8_t> packed(packedSize);
        if (compress2(packed.data(), &packedSize, fnt.data(), uLong(fnt.size()), 9) != Z_OK) {
            std::fprintf(stderr, "cannot compress %s\n", font.name.c_str());
            return 1;
        }
        source << "\n// " << font.name << ".FNT: " << fnt.size() << " bytes, " << packedSize
               << " compressed.\nconst uint8_t kFont" << i - 2 << "[] = {";
        for (uLongf b = 0; b < packedSize; ++b) {
            source << (b % 16 == 0 ? "\n    " : " ") << unsigned(packed[b]) << ",";
        }
        source << "\n};\n";
        table << "    {\"" << font.name << ".FNT\", kFont" << i - 2 << ", sizeof kFont" << i - 2
              << ", " << fnt.size() << "},\n";
    }
    source << "\n}  // namespace\n\nconst BuiltinFont g_BuiltinFontTable[] = {\n"
           << table.str() << "};\n\nconst uint32_t g_BuiltinFontCount = " << argc - 2 << ";\n";
    if (!WriteFile(outDir + "/builtin_fonts.cpp", source.str())) {
        std::fprintf(stderr, "cannot write builtin_fonts.cpp\n");
        return 1;
    }
    return 0;
}
