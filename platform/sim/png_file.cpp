#include "platform/sim/png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace sim {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors by longjmp: the calls are kept in functions without C++ objects that
// need unwinding.
bool WriteRows(std::FILE* file, const RgbImage& image) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < image.height; ++y) {
        png_write_row(png, image.rgb.data() + size_t(y) * image.width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool ReadRows(std::FILE* file, RgbImage* image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_user_limits(png, 1u << 15, 1u << 15);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    image->width = width;
    image->height = height;
    image->rgb.resize(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        png_read_row(png, image->rgb.data() + size_t(y) * width * 3, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, const RgbImage& image) {
    if (image.width == 0 || image.height == 0 ||
        image.rgb.size() != size_t(image.width) * image.height * 3) {
        return false;
    }
    const std::string temporary = path + ".tmp";
    bool ok = false;
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (file == nullptr) {
            return false;
        }
        ok = WriteRows(file.get(), image) && std::fflush(file.get()) == 0;
    }
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, RgbImage* image) {
    File file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr || image == nullptr) {
        return false;
    }
    return ReadRows(file.get(), image);
}

RgbImage RenderLeds(uint16_t width, uint16_t height, const uint8_t* pixels, uint16_t brightness) {
    RgbImage image;
    image.width = uint32_t(width) * kLedCell;
    image.height = uint32_t(height) * kLedCell;
    image.rgb.assign(size_t(image.width) * image.height * 3, 0);
    const uint32_t percent = brightness > 100 ? 100 : brightness;
    // The dot: picture pixels whose centre lies within the radius of the cell's centre.
    bool dot[kLedCell][kLedCell];
    const int twice = int(kLedCell) - 1;  // coordinates doubled, centre at (twice, twice)
    for (int py = 0; py < int(kLedCell); ++py) {
        for (int px = 0; px < int(kLedCell); ++px) {
            const int dx = 2 * px - twice;
            const int dy = 2 * py - twice;
            dot[py][px] = dx * dx + dy * dy <= twice * twice;
        }
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = pixels + (size_t(y) * width + x) * 3;
            const uint8_t rgb[3] = {uint8_t(p[2] * percent / 100), uint8_t(p[1] * percent / 100),
                                    uint8_t(p[0] * percent / 100)};
            for (uint32_t py = 0; py < kLedCell; ++py) {
                uint8_t* row = image.rgb.data() +
                               ((size_t(y) * kLedCell + py) * image.width + x * kLedCell) * 3;
                for (uint32_t px = 0; px < kLedCell; ++px) {
                    if (dot[py][px]) {
                        row[px * 3] = rgb[0];
                        row[px * 3 + 1] = rgb[1];
                        row[px * 3 + 2] = rgb[2];
                    }
                }
            }
        }
    }
    return image;
}

}  // namespace sim
