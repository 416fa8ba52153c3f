// Writes random chunks (offset, length, bytes) into frames of every depth and reads them back:
// nothing outside a frame is touched, refused writes change nothing, the lit count stays true.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "display/frame.h"
#include "display/surface_adapter.h"
#include "render/surface.h"

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint32_t Take(unsigned bytes) {
        uint32_t v = 0;
        for (unsigned k = 0; k < bytes; ++k) {
            v = v << 8 | (pos_ < size_ ? data_[pos_++] : 0);
        }
        return v;
    }
    const uint8_t* Rest(uint32_t& length) {
        length = uint32_t(std::min<size_t>(length, size_ - std::min(pos_, size_)));
        const uint8_t* p = data_ + std::min(pos_, size_);
        pos_ += length;
        return p;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

uint32_t CountLit(disp::frame& f) {
    uint32_t lit = 0;
    for (uint16_t y = 0; y < f.Height(); ++y) {
        for (uint16_t x = 0; x < f.Width(); ++x) {
            disp::pixel p(x, y);
            Check(f.GetPixel(p));
            lit += p.value != 0;
        }
    }
    return lit;
}

std::vector<uint8_t> Image(disp::frame& f) {
    std::vector<uint8_t> out(f.State()->ByteSize());
    uint32_t offset = 0, count = 0;
    Check(f.ReadChunk(offset, out.data(), uint32_t(out.size()), count));
    return out;
}

void FuzzFrame(uint32_t depth, uint16_t height, uint16_t width, Input in) {
    disp::frame f;
    Check(f.Create(height, width, 0, depth));
    std::vector<uint8_t> model(f.State()->ByteSize(), 0);
    while (!in.Empty()) {
        uint32_t offset = in.Take(2);
        if (offset & 0x8000) {
            offset = 0xFFFFFFFFu - (offset & 0x7FFF);  // near the top: sums that wrap
        }
        uint32_t length = in.Take(1);
        const uint32_t wanted = length;
        const uint8_t* bytes = in.Rest(length);
        const uint32_t start = offset;
        const bool fits = length <= model.size() && offset <= model.size() - length;
        // An exact copy, so that a read past the chunk is caught (never null, even when empty).
        std::unique_ptr<uint8_t[]> chunk(new uint8_t[length]);
        std::memcpy(chunk.get(), bytes, length);
        Check(f.WriteChunk(offset, chunk.get(), length) == fits);
        if (fits) {
            std::memcpy(model.data() + start, chunk.get(), length);
            Check(offset == start + length);
        } else {
            Check(offset == start);
        }
        // Read back through an exact buffer of the length asked for.
        std::unique_ptr<uint8_t[]> out(new uint8_t[wanted]);
        uint32_t from = start, count = 0;
        const bool inside = start < model.size();
        Check(f.ReadChunk(from, out.get(), wanted, count) == inside);
        if (inside) {
            Check(count == std::min<uint32_t>(wanted, uint32_t(model.size()) - start));
            Check(std::memcmp(out.get(), model.data() + start, count) == 0);
        } else {
            Check(count == 0);
        }
    }
    Check(Image(f) == model);
    Check(f.LitCount() == CountLit(f));
}

void FuzzSurface(uint8_t depth, uint16_t height, uint16_t width, Input in) {
    CSurface surface;
    if (surface.Allocate(height, width, depth) == nullptr) {
        return;
    }
    disp::surface_adapter adapter(&surface);
    adapter.Create(height, width, 0, depth);
    while (!in.Empty()) {
        const uint16_t x = uint16_t(in.Take(1) % width), y = uint16_t(in.Take(1) % height);
        adapter.SetPixel(disp::pixel(x, y, in.Take(2)));
        uint32_t offset = in.Take(2);
        const uint32_t length = in.Take(1);
        std::unique_ptr<uint8_t[]> out(new uint8_t[length]);
        uint32_t count = 0;
        adapter.ReadChunk(offset, out.get(), length, count);
        Check(count <= length);
    }
    adapter.Bind();
    disp::frame copy;
    Check(copy.Create(height, width, 0, depth));
    Check(copy.Copy(&adapter));
    Check(copy.LitCount() == adapter.LitCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > 4096) {
        return 0;
    }
    static const uint32_t kDepths[] = {1, 2, 3, 15, 24};
    const uint16_t height = uint16_t(data[1] % 24 + 1);
    const uint16_t width = uint16_t(data[2] % 40 + 1);
    Input rest(data + 3, size - 3);
    if (data[0] & 0x80) {
        static const uint8_t kSurfaceDepths[] = {1, 2, 15};
        FuzzSurface(kSurfaceDepths[data[0] % 3], height, width, rest);
    } else {
        FuzzFrame(kDepths[data[0] % 5], height, width, rest);
    }
    return 0;
}
