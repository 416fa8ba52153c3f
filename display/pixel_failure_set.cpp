#include "display/pixel_failure_set.h"

#include <cstring>

#include "display/diagnostics.h"
#include "display/face.h"
#include "display/face_config.h"
#include "display/frame.h"
#include "runtime/debug_print.h"

namespace disp {

namespace {

diagnostics* DiagOf(face& f) {
    return f.Config() != nullptr ? f.Config()->diag : nullptr;
}

}  // namespace

pixel_failure_set::key pixel_failure_set::KeyOf(face* faces, uint32_t faceCount, bool realTime,
                                                uint16_t height, uint16_t width) {
    key k;
    k.faces = faceCount < kMaxFaces ? faceCount : kMaxFaces;
    k.real_time = realTime;
    k.height = height;
    k.width = width;
    for (uint32_t i = 0; i < k.faces; ++i) {
        diagnostics* d = DiagOf(faces[i]);
        k.diag[i] = d;
        if (d != nullptr) {
            k.generation[i] = d->ErrorGeneration();
            k.state[i] = d->GetState();
            k.finished[i] = d->IsTestFinished();
        }
    }
    return k;
}

bool pixel_failure_set::Update(face* faces, uint32_t faceCount, bool realTime, uint16_t height,
                               uint16_t width) {
    const key now = KeyOf(faces, faceCount, realTime, height, width);
    if (valid_ && now == key_) {
        return false;
    }
    key_ = now;
    valid_ = true;
    Scan(faces, now.faces, realTime, height, width);
    return true;
}

void pixel_failure_set::Scan(face* faces, uint32_t faceCount, bool realTime, uint16_t height,
                             uint16_t width) {
    ++scans_;
    entries_.clear();
    std::memset(bitmap_, 0, sizeof bitmap_);
    bitmap_bytes_ = 0;
    if (faceCount == 0 || faces[0].Config() == nullptr) {
        return;
    }
    const face_config& layout = *faces[0].Config();
    bitmap_bytes_ = (layout.total_modules + 7u) / 8u;
    if (bitmap_bytes_ > kBitmapBytes) {
        bitmap_bytes_ = kBitmapBytes;
    }
    const frame* test[kMaxFaces] = {};
    const frame* message[kMaxFaces] = {};
    for (uint32_t i = 0; i < faceCount; ++i) {
        diagnostics* d = DiagOf(faces[i]);
        if (d == nullptr) {
            continue;
        }
        if (d->TestErrorFrame() != nullptr && d->TestErrorFrame()->State() != nullptr &&
            d->IsTestFinished() == 1) {
            test[i] = d->TestErrorFrame();
        }
        if (realTime && d->MessageErrorFrame() != nullptr &&
            d->MessageErrorFrame()->State() != nullptr) {
            message[i] = d->MessageErrorFrame();
        }
    }
    bool reported = false;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t a = 0;
            uint32_t b = 0;
            int32_t first = -1;
            for (uint32_t i = 0; i < faceCount; ++i) {
                pixel p{uint16_t(x), uint16_t(y)};
                if (test[i] != nullptr && test[i]->GetPixel(p)) {
                    a |= p.value;
                }
                p.value = 0;
                if (message[i] != nullptr && message[i]->GetPixel(p)) {
                    b |= p.value;
                }
                if ((a | b) != 0 && first < 0) {
                    first = int32_t(i);
                }
            }
            if (first < 0) {
                continue;
            }
            entries_.push_back(entry{uint16_t(x), uint16_t(y), a, uint8_t(first)});
            uint32_t k = 0;
            if (!diagnostics::ModuleNumberAt(layout, x, y, &k) || k / 8 >= bitmap_bytes_) {
                if (!reported) {
                    DebugPrint(
                        "pixel_failure_set::Scan: pixel %u,%u lies in no module of the "
                        "layout\n",
                        unsigned(x), unsigned(y));
                    reported = true;
                }
                continue;
            }
            bitmap_[k / 8] = uint8_t(bitmap_[k / 8] | 1u << (k % 8));
        }
    }
}

uint32_t pixel_failure_set::SwitchOff(frame* const* frames, uint32_t faceCount) const {
    uint32_t lit = 0;
    const uint32_t faces = faceCount < kMaxFaces ? faceCount : kMaxFaces;
    for (const entry& e : entries_) {
        for (uint32_t i = e.first_face; i < faces; ++i) {
            if (frames[i] == nullptr) {
                continue;
            }
            pixel p(e.x, e.y);
            if (frames[i]->GetPixel(p) && p.value != 0) {
                ++lit;
                p.value = 0;
                frames[i]->SetPixel(p);
            }
        }
    }
    return lit;
}

}  // namespace disp
