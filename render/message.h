#pragma once
// CMessage: the working store of one MULTI message while it is parsed and
// rendered (text, attributes in force, text rectangles, line cells, moving
// texts, flash regions, cursor, the element being delivered, the target
// surface). One thread at a time; no lock.

#include <cstdint>
#include <vector>

#include "render/multi_parse_result.h"
#include "render/ntcip_font.h"
#include "render/render_scan_texts.h"
#include "render/surface.h"

// The nine MULTI default objects of the database, cached.
class message_defaults {
public:
    virtual ~message_defaults() = default;

    // Reads the nine objects from the non-volatile image, then converts the colours.
    void Load();
    void ConvertColours();

    uint32_t foreground_colour = 0;
    uint32_t background_colour = 0;
    uint32_t page_background_colour = 0;
    uint8_t foreground_number = 0;
    uint8_t background_number = 0;
    uint8_t flash_on_time = 0;
    uint8_t flash_off_time = 0;
    uint8_t page_on_time = 0;
    uint8_t page_off_time = 0;
    uint8_t font = 0;
    uint8_t line_justification = 0;
    uint8_t page_justification = 0;
};

// One line of a text rectangle.
struct line_cell {
    int16_t left_x = 0;
    int16_t centre_x = 0;
    int16_t right_x = 0;
    int16_t absolute_x = 0;
    uint16_t left_width = 0;
    uint16_t centre_width = 0;
    uint16_t right_width = 0;
    int16_t y = 0;
    uint16_t height = 0;
    uint32_t next_character = 0;    // full justification: next position to draw
    int8_t character_spacing = -1;  // [sc] of this line, -1 none
    uint8_t line_spacing = 0;       // pixels below the line, 0-127
    uint8_t moving_text = 0;        // the line holds moving text
    uint8_t largest_font_line_spacing = 0;
    uint8_t recorded_justification = 0;  // 0-7, 0 none yet
    uint8_t trailing_spacing = 0;        // 0-31
    std::vector<uint8_t> characters;     // characters of a fully justified line
    std::vector<int32_t> character_widths;
    std::vector<int32_t> character_positions;

    // Empties the three lists (their storage is kept for the next scan).
    void ClearLists();
};

inline constexpr int32_t kMovingTextNotStarted = 0xFFFFFF;

// One [mv] of the page.
struct moving_text_entry {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t height = 0;
    uint32_t width = 0;
    uint8_t mode = 0;  // 0 none, 1 circular left, 2 circular right, 3 linear left, 4 linear right
    uint8_t linear_count = 0;
    uint8_t step = 0;
    uint8_t frames_per_step = 0;
    uint32_t text_width = 0;
    int32_t offset = kMovingTextNotStarted;
    uint8_t pause_counter = 0;
    uint8_t frame_counter = 0;
    uint8_t started = 0;
};

// One [fl] of the page.
enum FlashPhase : uint32_t { kFlashNotStarted = 0, kFlashHidden = 1, kFlashShowing = 2 };
struct flash_region {
    uint32_t phase = kFlashNotStarted;
    uint8_t countdown = 0;  // frames left in the phase
};

// x0, y0, x1, y1 in pixels; x1 and y1 exclusive.
using text_rectangle = SurfaceRect;

inline constexpr uint32_t kElementFormatSize = 51;     // 50 bytes and a terminator
inline constexpr uint32_t kElementFileNameSize = 152;  // 151 bytes and a terminator

// Data of the element being delivered; which fields count depends on the kind.
struct multi_element {
    // 1 text run
    const char* text = nullptr;
    uint32_t count = 0;
    uint32_t offset_after = 0;
    // 2 remote text
    uint16_t remote_offset = 0;
    uint8_t remote_length = 0;
    // 3-7 and 22 fields
    char format[kElementFormatSize] = {};
    uint16_t field = 0;
    // 8 bitmap file
    char file_name[kElementFileNameSize] = {};
    // 8 and 9 position (8: pixels from 0; 9: 1-based)
    int32_t x = 0;
    int32_t y = 0;
    // 9 graphic
    uint8_t graphic_number = 0;
    uint16_t graphic_id = 0;
    // 13 character
    uint8_t character = 0;
    // 22 speed sensor (unit 1 mph, 2 km/h)
    uint16_t unit = 0;
    uint16_t sensor = 0;
};

class CMessage {
public:
    static constexpr uint32_t kTextSize = 2500;
    static constexpr uint32_t kRectangles = 12;
    static constexpr uint32_t kLines = 20;
    static constexpr uint32_t kMovingTexts = 20;
    static constexpr uint32_t kFlashRegions = 25;

    // Empty message, no target surface.
    CMessage();
    // Message drawing into target (may be null).
    explicit CMessage(CSurface* target);
    virtual ~CMessage() = default;

    CMessage(const CMessage&) = delete;
    CMessage& operator=(const CMessage&) = delete;

    // Back to an empty page. Bit 0 keeps the flash regions; the value 1 also
    // clears the largest-font-line-spacing byte of every line cell.
    void Reset(uint32_t flags);
    // Attributes from the database (brenSpecialFeatureSet 0x100) or the cache.
    void LoadWorkingDefaults();
    void ClearFlashRegions();

    // Text bytes in use, never more than kTextSize whatever text_length holds.
    uint32_t TextLength() const { return text_length < kTextSize ? text_length : kTextSize; }
    // Every text rectangle becomes the whole sign.
    void SetWholeSignRectangles(int32_t width, int32_t height);
    // The line cell of the current line of the current rectangle (indexes clamped).
    line_cell& CurrentLine();
    // Clears the element block.
    void ClearElement();

    uint32_t page_background_colour = 0;
    uint8_t page_on_time = 0;
    uint8_t page_off_time = 0;
    uint8_t off_time_given = 0;
    uint8_t page_justification[kRectangles] = {};
    uint8_t page_justification_given[kRectangles] = {};
    uint8_t line_justification[kRectangles] = {};
    uint32_t saved_line_justification = 0;  // 0: none saved
    uint32_t saved_page_justification = 0;
    int32_t character_spacing = -1;
    uint8_t current_font = 0;
    uint32_t foreground_colour = 0;
    uint32_t character_background_colour = 0;
    uint8_t flash_mode = 0;  // 0 off, 1 on phase first, 2 off phase first
    uint8_t flash_on_time = 0;
    uint8_t flash_off_time = 0;
    message_defaults defaults;
    char text[kTextSize] = {};
    uint32_t text_length = 0;
    uint32_t next_page_start = 0;
    uint32_t current_page_start = 0;
    uint8_t at_line_start = 0;
    uint8_t measuring_pass = 0;
    uint8_t moving_text_open = 0;
    uint32_t characters_on_line = 0;
    CNTCIPFont font;  // its slot is chosen per element
    uint8_t page_started = 0;
    uint32_t current_line = 0;
    uint32_t current_text_rectangle = 0;
    uint32_t current_moving_text = 0;
    uint32_t current_flash_region = 0;
    uint16_t field_rows_used = 0;
    moving_text_entry moving_texts[kMovingTexts];
    line_cell line_cells[kRectangles][kLines];
    flash_region flash_regions[kFlashRegions];
    uint32_t error_position = 0;
    uint8_t page_counter = 0;
    CSurface* target_surface = nullptr;
    int32_t cursor_x = 0;
    int32_t cursor_y = 0;
    int32_t moving_cursor_x = 0;
    int32_t moving_cursor_y = 0;
    text_rectangle text_rectangles[kRectangles] = {};
    uint32_t element_kind = kElementNone;
    multi_element element;

    // Frames per second of the renderer drawing this message; turns tenths of
    // a second into frames for flashing and moving text.
    uint8_t frame_rate = 10;
    // A preview or trial render: the sign's status objects and outputs are left alone.
    uint8_t trial_render = 0;
    // Field texts of the page's measuring pass, drawn unchanged (the renderer's).
    render_scan_texts scan_texts;
};
