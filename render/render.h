#pragma once
// CRender: turns the elements the MULTI parser delivers into a laid-out, drawn page in the
// message's target surface. The measuring pass measures every text into the line cells and
// places segments and lines; the drawing pass draws each element where the layout put it.
// Validation runs measuring passes only. The renderer has no thread: it runs on its caller's,
// and every state that lasts between elements lives in the message.
//
// The display task renders the sign like this:
//   g_Render.AllocateSurface(height, width, 15);
//   CMessage message(&g_Render.Surface());
//   message.SetWholeSignRectangles(width, height);
//   g_Render.SetMessage(parser, &message, text, length);
//   g_Render.ReparsePage(parser, &message);   // every frame: flashing and moving text advance
//   g_Render.ParseNextPage(parser, &message); // the next page; false after the last one

#include <cstdint>

#include "render/message.h"
#include "render/multi_parse_result.h"
#include "render/multi_parser_base.h"
#include "render/render_glyph_cache.h"
#include "render/surface.h"

class CFontBase;

class CRender {
public:
    CRender() = default;
    virtual ~CRender();
    CRender(const CRender&) = delete;
    CRender& operator=(const CRender&) = delete;

    // The renderer's own surface (the sign image for g_Render). True.
    bool AllocateSurface(int32_t height, int32_t width, uint8_t bitsPerPixel);
    CSurface& Surface() { return m_surface; }

    // The parser's callback; context is the renderer.
    static MultiParseResult RenderElement(void* context, CMessage* message);

    // The parser's operations with this renderer as callback. Each hands the renderer's frame
    // rate to the message first.
    MultiParseResult SetMessage(CParser& parser, CMessage* message, const char* text,
                                uint32_t length);
    uint8_t ParsePage(CParser& parser, CMessage* message, uint32_t page);
    uint8_t ParseNextPage(CParser& parser, CMessage* message);
    uint8_t ReparsePage(CParser& parser, CMessage* message);
    bool ResetDefaults(CParser& parser, CMessage* message);
    uint8_t CountPages(CParser& parser, const char* text, uint32_t length);
    MultiParseResult Validate(CParser& parser, CMessage* message, const char* text,
                              uint32_t length);

    // Attribute bytes the display task keeps for the frame engine.
    uint8_t page_number = 0;
    uint8_t page_on_time = 0;
    uint8_t page_off_time = 0;
    // Frames per second; flash and moving-text times are counted in frames of this rate.
    uint8_t frame_rate = 10;

private:
    MultiParseResult Element(CMessage& message);
    MultiParseResult TextRules(CMessage& message, uint32_t errorPosition);
    MultiParseResult Measure(CMessage& message, CFontBase& font, const char* text, uint32_t count);
    void Draw(CMessage& message, CFontBase& font, const char* text, uint32_t count);
    // The surface measured with: the target, or a scratch one when the message has none.
    CSurface& MeasuringSurface(CMessage& message);

    CSurface m_surface;
    CSurface m_scratch;
    // Glyphs read once per page scan.
    CRenderGlyphCache m_glyphs;
};

// The sign's renderer; its surface is the sign image.
extern CRender g_Render;
