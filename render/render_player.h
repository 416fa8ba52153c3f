#pragma once
// Plays a message page by page and frame by frame the way the display task does, on a
// renderer and its surface: each frame restores the attributes the page started with and
// scans the page again, so flashing and moving text advance one frame per call.

#include <cstdint>

#include "render/message.h"
#include "render/multi_parser.h"
#include "render/render.h"

class CRenderPlayer {
public:
    // Draws into the renderer's own surface.
    explicit CRenderPlayer(CRender& render);

    // Validates the text on a message of its own, then loads it and draws the first frame of
    // page 1. kMultiOk when valid and drawn, else the validation result (error position in
    // ErrorPosition()).
    MultiParseResult Load(const char* text, uint32_t length);
    // The next frame of the current page.
    bool NextFrame();
    // The first frame of the next page; after the last page, back to the first. True when
    // the page drew.
    bool NextPage();
    // Frames of the page on time at the renderer's frame rate (at least 1).
    uint32_t PageOnFrames() const;

    uint32_t Pages() const { return m_pages; }
    uint32_t Page() const { return m_page; }
    uint32_t ErrorPosition() const { return m_errorPosition; }
    CMessage& Message() { return m_message; }
    CMULTIParser& Parser() { return m_parser; }

private:
    struct Attributes {
        uint8_t flash_mode;
        uint8_t page_justification[CMessage::kRectangles];
        uint8_t line_justification[CMessage::kRectangles];
        uint8_t current_font;
        uint32_t foreground_colour;
        uint32_t character_background_colour;
        int32_t character_spacing;
        uint32_t page_background_colour;
    };
    void Save();
    void Restore();

    CRender& m_render;
    CMULTIParser m_parser;
    CMessage m_message;
    Attributes m_saved{};
    uint32_t m_pages = 0;
    uint32_t m_page = 0;
    uint32_t m_errorPosition = 0;
};
