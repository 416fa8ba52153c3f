#include "render/render_moving_text.h"

#include <algorithm>

#include "render/surface.h"

namespace {

moving_text_entry& CurrentEntry(CMessage& m) {
    return m.moving_texts[std::min(m.current_moving_text, CMessage::kMovingTexts - 1)];
}

const text_rectangle& CurrentRectangle(const CMessage& m) {
    return m.text_rectangles[std::min(m.current_text_rectangle, CMessage::kRectangles - 1)];
}

}  // namespace

int32_t RenderAdvanceMovingText(moving_text_entry& e) {
    const int64_t text = e.text_width;
    const int64_t window = e.width;
    const int64_t step = e.step;
    const int64_t x = e.x;
    if (text == 0) {
        return e.x;
    }
    const bool started = e.offset != kMovingTextNotStarted;
    int64_t offset = e.offset;
    int64_t cursor = x;
    switch (e.mode) {
        case 1:
        case 2:
            ++e.frame_counter;
            if (!(e.frame_counter < e.frames_per_step && started)) {
                e.frame_counter = 0;
                if (e.mode == 1) {
                    offset = started ? (offset + step) % text : 0;
                } else {
                    offset = started ? (offset - step) % text : text - window + 1;
                }
            }
            cursor = x - offset;
            break;
        case 3: {
            bool restart = !started;
            if (started && offset < text) {
                ++e.frame_counter;
                if (e.frame_counter >= e.frames_per_step) {
                    e.frame_counter = 0;
                    offset += step;
                }
            } else if (started) {
                // Holds at the end for the linear count of frames.
                if (e.pause_counter++ >= e.linear_count) {
                    restart = true;
                }
            }
            if (restart) {
                e.pause_counter = 0;
                offset = window;
            }
            cursor = x + window - offset;
            break;
        }
        case 4:
            if (!started) {
                offset = text - window;
            } else {
                ++e.frame_counter;
                if (offset < 2) {
                    if (e.frame_counter >= e.linear_count) {
                        e.pause_counter = 0;
                        offset = text - window;
                    }
                } else if (e.frame_counter >= e.frames_per_step) {
                    e.frame_counter = 0;
                    offset -= step;
                }
            }
            cursor = x - offset;
            break;
        default:
            return e.x;
    }
    e.offset = static_cast<int32_t>(offset);
    e.started = 1;
    return static_cast<int32_t>(std::clamp<int64_t>(cursor, INT32_MIN / 2, INT32_MAX / 2));
}

void RenderStartMovingText(CMessage& m) {
    moving_text_entry& e = CurrentEntry(m);
    e.x = m.cursor_x;
    e.y = m.cursor_y;
    e.height = 255;
    m.cursor_x += static_cast<int32_t>(e.width);
    if (!m.measuring_pass) {
        m.moving_cursor_x = RenderAdvanceMovingText(e);
        m.moving_cursor_y = m.cursor_y;
    }
}

void RenderDrawMovingText(CMessage& m, CFontBase& font, const char* text, uint32_t count, int32_t y,
                          bool hidden, int32_t spacing) {
    moving_text_entry& e = CurrentEntry(m);
    CSurface* surface = m.target_surface;
    const int64_t width = e.text_width;
    if (surface == nullptr || width == 0 || count == 0) {
        return;  // nothing to scroll
    }
    const text_rectangle& r = CurrentRectangle(m);
    const int64_t right = int64_t{e.x} + e.width;
    const int64_t bottom = int64_t{e.y} + e.height;
    const SurfaceRect clip{std::max(r.x0, e.x), std::max(r.y0, e.y),
                           static_cast<int32_t>(std::min<int64_t>(right, r.x1)),
                           static_cast<int32_t>(std::min<int64_t>(bottom, r.y1))};
    if (clip.x0 >= clip.x1 || clip.y0 >= clip.y1) {
        return;
    }
    // Copy k of the text is drawn k text widths to the right of the moving-text cursor; copies
    // entirely outside the window are not drawn. Copy 0 is always drawn: the next text of the
    // moving text goes on from its end.
    int32_t after = m.moving_cursor_x;
    auto drawCopy = [&](int64_t k) {
        int32_t x = static_cast<int32_t>(m.moving_cursor_x + k * width);
        if (k != 0 && (x >= clip.x1 || int64_t{x} + width <= clip.x0)) {
            return;
        }
        surface->DrawText(font, text, count, x, y, clip, hidden, spacing, false, true, nullptr);
        if (k == 0) {
            after = x;
        }
    };
    if (e.mode == 1 || e.mode == 2) {
        const int64_t room = int64_t{e.width} - e.step;
        int64_t copies = room / width + 1 + (room % width != 0 ? 1 : 0);
        copies = std::clamp<int64_t>(copies, 1, (int64_t{e.width} + e.step) / width + 3);
        // Circular right: the copies start one text width left of the cursor.
        const int64_t first = e.mode == 1 ? 0 : -1;
        for (int64_t k = first + copies - 1; k >= first; --k) {
            drawCopy(k);
        }
    } else {
        drawCopy(0);
    }
    m.moving_cursor_x = after;
}
