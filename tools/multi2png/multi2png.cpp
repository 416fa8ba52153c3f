// multi2png: renders MULTI text on a sign of a given geometry and writes what the sign shows,
// one PNG per page and per change of picture within the page (flash phases, moving text).
//
//   multi2png [options] "MULTI text"
//     --width N --height N   sign size in pixels (96 x 16)
//     --colour mono|classic|rgb  colour type: 1-bit monochrome, 2-bit, 15-bit (rgb)
//     --bits 1|2|15          pixel depth, the same as --colour
//     --type full|line|char  sign type (full)
//     --cell W,H             character cell for line and character matrix signs
//     --frames N             frames rendered per page (the page on time)
//     --rate N               frames per second (10)
//     --scale N              PNG pixels per sign pixel (4)
//     --time SECONDS         controllerLocalTime for time and date fields
//     --temp C --speed KMH   tempMaxAmbient, dmsCurrentSpeed
//     --remote TEXT          brenRemoteText
//     --file NAME=PATH       a file of the flash file system (bitmaps)
//     --out PREFIX           output files PREFIX_p<page>_f<frame>.png (multi2png)

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/render.h"
#include "render/render_objects.h"
#include "render/render_player.h"
#include "render/render_sign_store.h"

namespace {

struct Options {
    RenderSignGeometry geometry;
    uint32_t frames = 0;
    uint32_t rate = 10;
    uint32_t scale = 4;
    int64_t time = -1;
    int temperature = 20;
    uint32_t speed = 0;
    std::string remote;
    std::vector<std::pair<std::string, std::string>> files;
    std::string out = "multi2png";
    std::string text;
};

void Usage() {
    std::fprintf(
        stderr,
        "usage: multi2png [--width N] [--height N] [--colour mono|classic|rgb] [--bits 1|2|15]\n"
        "                 [--type full|line|char]\n"
        "                 [--cell W,H] [--frames N] [--rate N] [--scale N] [--time S]\n"
        "                 [--temp C] [--speed KMH] [--remote TEXT] [--file NAME=PATH]\n"
        "                 [--out PREFIX] \"MULTI text\"\n");
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() { return std::string(argv[++i]); };
        auto number = [&]() { return std::strtoll(argv[++i], nullptr, 10); };
        if (a == "--width" && hasValue) {
            o.geometry.width = static_cast<int32_t>(number());
        } else if (a == "--height" && hasValue) {
            o.geometry.height = static_cast<int32_t>(number());
        } else if (a == "--bits" && hasValue) {
            o.geometry.bitsPerPixel = static_cast<uint8_t>(number());
        } else if (a == "--colour" && hasValue) {
            const std::string t = value();
            if (t != "mono" && t != "classic" && t != "rgb") {
                return false;
            }
            o.geometry.bitsPerPixel = t == "mono" ? 1 : t == "classic" ? 2 : 15;
        } else if (a == "--type" && hasValue) {
            const std::string t = value();
            o.geometry.signType = t == "char" ? 4 : t == "line" ? 5 : 6;
        } else if (a == "--cell" && hasValue) {
            unsigned w = 0, h = 0;
            if (std::sscanf(argv[++i], "%u,%u", &w, &h) != 2) {
                return false;
            }
            o.geometry.characterWidth = w;
            o.geometry.characterHeight = h;
        } else if (a == "--frames" && hasValue) {
            o.frames = static_cast<uint32_t>(number());
        } else if (a == "--rate" && hasValue) {
            o.rate = static_cast<uint32_t>(number());
        } else if (a == "--scale" && hasValue) {
            o.scale = static_cast<uint32_t>(number());
        } else if (a == "--time" && hasValue) {
            o.time = number();
        } else if (a == "--temp" && hasValue) {
            o.temperature = static_cast<int>(number());
        } else if (a == "--speed" && hasValue) {
            o.speed = static_cast<uint32_t>(number());
        } else if (a == "--remote" && hasValue) {
            o.remote = value();
        } else if (a == "--file" && hasValue) {
            const std::string f = value();
            const size_t eq = f.find('=');
            if (eq == std::string::npos) {
                return false;
            }
            o.files.emplace_back(f.substr(0, eq), f.substr(eq + 1));
        } else if (a == "--out" && hasValue) {
            o.out = value();
        } else if (!a.empty() && a[0] != '-' && o.text.empty()) {
            o.text = a;
        } else {
            return false;
        }
    }
    return o.geometry.width > 0 && o.geometry.height > 0 && o.scale > 0 && o.scale <= 64 &&
           o.rate > 0 && o.rate <= 255;
}

// RGB of a surface pixel: 15-bit colours as they are, lit 1- and 2-bit pixels in their colour.
void PixelRgb(const CSurface& surface, int32_t x, int32_t y, uint8_t rgb[3]) {
    uint32_t colour = surface.GetPixel(x, y);
    if (surface.BitsPerPixel() == 15) {
        colour >>= 16;
    } else if (surface.BitsPerPixel() == 1 && colour != 0) {
        colour = 0x7FFF;
    }
    const uint32_t r = colour & 31, g = colour >> 5 & 31, b = colour >> 10 & 31;
    rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    rgb[1] = static_cast<uint8_t>(g << 3 | g >> 2);
    rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

bool WritePng(const std::string& path, const CSurface& surface, uint32_t scale) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    const uint32_t width = static_cast<uint32_t>(surface.Width()) * scale;
    const uint32_t height = static_cast<uint32_t>(surface.Height()) * scale;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t{width} * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            PixelRgb(surface, static_cast<int32_t>(x / scale), static_cast<int32_t>(y / scale),
                     &row[size_t{x} * 3]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

std::vector<uint8_t> Snapshot(const CSurface& surface) {
    return std::vector<uint8_t>(surface.Pixels(), surface.Pixels() + surface.Size());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o) || o.text.empty()) {
        Usage();
        return 2;
    }
    CRenderSignStore store(o.geometry);
    if (o.time >= 0) {
        store.SetVolatile(render_objects::kControllerLocalTime.id, 4,
                          static_cast<uint32_t>(o.time));
    }
    store.SetVolatile(render_objects::kTempMaxAmbient.id, 1,
                      static_cast<uint32_t>(o.temperature) & 0xFF);
    store.SetVolatile(render_objects::kCurrentSpeed.id, 1, o.speed);
    store.SetVolatileString(render_objects::kRemoteTextId, o.remote.data(),
                            static_cast<uint32_t>(o.remote.size()));
    for (const auto& [name, path] : o.files) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "multi2png: cannot read %s\n", path.c_str());
            return 1;
        }
        store.AddFile(name, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }

    CRender render;
    render.frame_rate = static_cast<uint8_t>(o.rate);
    render.AllocateSurface(o.geometry.height, o.geometry.width, o.geometry.bitsPerPixel);
    if (!render.Surface().IsAllocated()) {
        std::fprintf(stderr, "multi2png: no surface of that geometry\n");
        return 1;
    }
    CRenderPlayer player(render);
    const MultiParseResult result =
        player.Load(o.text.data(), static_cast<uint32_t>(o.text.size()));
    if (result != kMultiOk) {
        std::fprintf(stderr, "multi2png: multiSyntaxError %d at %u\n", static_cast<int>(result),
                     player.ErrorPosition());
        return 1;
    }
    for (uint32_t page = 0; page < player.Pages(); ++page) {
        if (page > 0 && !player.NextPage()) {
            break;
        }
        const uint32_t frames = o.frames != 0 ? o.frames : player.PageOnFrames();
        std::vector<uint8_t> last;
        for (uint32_t frame = 0; frame < frames; ++frame) {
            if (frame > 0) {
                player.NextFrame();
            }
            std::vector<uint8_t> now = Snapshot(render.Surface());
            if (now == last) {
                continue;
            }
            char name[64];
            std::snprintf(name, sizeof name, "_p%u_f%u.png", page + 1, frame);
            const std::string path = o.out + name;
            if (!WritePng(path, render.Surface(), o.scale)) {
                std::fprintf(stderr, "multi2png: cannot write %s\n", path.c_str());
                return 1;
            }
            std::printf("%s\n", path.c_str());
            last = std::move(now);
        }
    }
    return 0;
}
