#pragma once
// Pixel buffer a MULTI page is drawn into, with the text and bitmap primitives of the renderer.
//
// Colours are 15-bit values (red bits 0-4, green 5-9, blue 10-14); kNoColour stands for a
// transparent background. A surface is used by one thread at a time; the spacing it remembers
// between runs of text is its own, so renders on different surfaces never disturb each other.

#include <cstdint>

class CFontBase;

// Text rectangle or clip in pixels; x1 and y1 are exclusive.
struct SurfaceRect {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

// Character positions of a fully justified line: each character drawn takes x[*next] and
// advances *next. Characters beyond count are not drawn.
struct JustifiedPositions {
    const int32_t* x;
    uint32_t count;
    uint32_t* next;
};

class CSurface {
public:
    static constexpr uint32_t kNoColour = 0xFFFFFFFFu;
    // Colours that a 2-bit pixel's bits stand for, both ways.
    static constexpr uint32_t kTwoBitRed = 0x001F;
    static constexpr uint32_t kTwoBitGreen = 0x03E0;
    // What a lit 1-bit pixel reads as.
    static constexpr uint32_t kOneBitLit = 0x7C00;
    // Largest buffer Allocate hands out.
    static constexpr uint32_t kMaxBytes = 16u << 20;

    CSurface() = default;
    virtual ~CSurface();
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    // Buffer of height x width pixels at 1, 2, 8 or 15 bits per pixel. The present buffer is
    // returned untouched when the geometry is unchanged; otherwise a new zeroed one. Null (and
    // no buffer) for another depth, an empty or oversized geometry or when the heap is full.
    uint8_t* Allocate(int32_t height, int32_t width, uint8_t bitsPerPixel);
    // Zeroes the pixels unless keep is set.
    void Clear();
    void Free();

    // Outside the surface: reads 0, writes nothing. 15-bit pixels read as colour << 16.
    uint32_t GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint32_t colour);
    // Every pixel; a non-zero colour does nothing in simulation mode (dmsControlMode 6).
    void Fill(uint32_t colour);
    void FillColumn(int32_t x, uint32_t colour);
    void FillRow(int32_t y, uint32_t colour);

    // Measures a run of text starting at x; returns the font height and leaves x after the
    // run. spacing: -1 for the font's own (averaged with the previous run's at the boundary),
    // else pixels; on return the space used before the first character (0 after a run that
    // started a line). largestLineSpacing grows to the font's line spacing (reset at line
    // start). Outside moving text, when x passes the rectangle's width the index of the
    // character that did not fit is added to overflow; overflow is 0 when the run fits.
    int MeasureText(CFontBase& font, const char* text, uint32_t count, int32_t& x,
                    const SurfaceRect& rect, int32_t& spacing, uint8_t& largestLineSpacing,
                    uint32_t& overflow, bool movingText, bool lineStart);
    // Draws a run with its top at y, clipped to clip, in the foreground colour over the
    // background colour (none when kNoColour). Hidden draws only the background (flash off).
    // justified, outside moving text, places every character at its listed position.
    // Nothing is drawn in simulation mode.
    void DrawText(CFontBase& font, const char* text, uint32_t count, int32_t& x, int32_t y,
                  const SurfaceRect& clip, bool hidden, int32_t spacing, bool lineStart,
                  bool movingText, const JustifiedPositions* justified);
    // Draws an uncompressed 8- or 24-bit Windows BMP held in memory with its top-left pixel
    // at (x, y). False, drawing nothing, for any other depth or a malformed image.
    bool DrawBmp(const uint8_t* image, uint32_t size, int32_t x, int32_t y, uint32_t flag = 0);

    uint8_t* Pixels() const { return m_pixels; }
    uint32_t Size() const { return m_size; }
    uint8_t BitsPerPixel() const { return m_bitsPerPixel; }
    bool IsAllocated() const { return m_allocated != 0; }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    uint32_t Foreground() const { return m_foreground; }
    void SetForeground(uint32_t colour) { m_foreground = colour; }
    uint32_t Background() const { return m_background; }
    void SetBackground(uint32_t colour) { m_background = colour; }
    uint32_t Keep() const { return m_keep; }
    void SetKeep(uint32_t keep) { m_keep = keep; }

private:
    struct RunSpacing {
        int32_t spacing;  // between characters of the run
        int32_t first;    // before its first character
    };
    RunSpacing WorkOutSpacing(CFontBase& font, int32_t spacingArgument, int32_t& remembered);

    uint8_t* m_pixels = nullptr;
    uint8_t m_bitsPerPixel = 0;
    uint8_t m_allocated = 0;
    uint32_t m_foreground = 0;
    uint32_t m_background = kNoColour;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_keep = 0;
    uint32_t m_size = 0;
    // Character spacing of the last run measured and of the last run drawn.
    int32_t m_measuredSpacing = 0;
    int32_t m_drawnSpacing = 0;
};
