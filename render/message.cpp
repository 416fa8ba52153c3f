#include "render/message.h"

#include <algorithm>

#include "render/multi_colour.h"
#include "render/multi_environment.h"
#include "render/multi_objects.h"
#include "render/surface.h"

namespace {

uint8_t NvByte(multi_objects::ObjectRef ref) {
    return static_cast<uint8_t>(MultiEnvironment().GetNv(ref.id, ref.width));
}

bool DefaultsFromDatabase() {
    const auto ref = multi_objects::kSpecialFeatureSet;
    return (MultiEnvironment().GetNv(ref.id, ref.width) &
            multi_objects::kFeatureDatabaseDefaults) != 0;
}

}  // namespace

void message_defaults::Load() {
    using namespace multi_objects;
    foreground_number = NvByte(kDefaultForegroundColor);
    background_number = NvByte(kDefaultBackgroundColor);
    flash_on_time = NvByte(kDefaultFlashOn);
    flash_off_time = NvByte(kDefaultFlashOff);
    page_on_time = NvByte(kDefaultPageOnTime);
    page_off_time = NvByte(kDefaultPageOffTime);
    font = NvByte(kDefaultFont);
    line_justification = NvByte(kDefaultJustificationLine);
    page_justification = NvByte(kDefaultJustificationPage);
    ConvertColours();
}

void message_defaults::ConvertColours() {
    foreground_colour = multi_colour_to_rgb15(foreground_number);
    background_colour = multi_colour_to_rgb15(background_number);
    page_background_colour = background_colour;
}

void line_cell::ClearLists() {
    characters.clear();
    character_widths.clear();
    character_positions.clear();
}

CMessage::CMessage() : CMessage(nullptr) {
    std::fill(std::begin(text), std::end(text), '\0');
    text_length = 0;
    next_page_start = 0;
    current_page_start = 0;
}

CMessage::CMessage(CSurface* target) : target_surface(target) {
    Reset(0);
}

void CMessage::Reset(uint32_t flags) {
    moving_text_open = 0;
    foreground_colour = 0x7FE0;
    character_background_colour = kNoColour;
    character_spacing = -1;
    page_background_colour = 0;

    characters_on_line = 0;
    current_line = 0;
    current_text_rectangle = 0;
    current_moving_text = 0;
    error_position = 0;
    page_started = 0;
    ClearElement();

    for (auto& entry : moving_texts) {
        entry = moving_text_entry{};
    }

    for (auto& rectangle : line_cells) {
        for (auto& cell : rectangle) {
            cell.left_x = cell.centre_x = cell.right_x = cell.absolute_x = 0;
            cell.left_width = cell.centre_width = cell.right_width = 0;
            cell.y = 0;
            cell.height = 0;
            cell.next_character = 0;
            cell.character_spacing = -1;
            cell.line_spacing = 0;
            cell.recorded_justification = 0;
            cell.trailing_spacing = 0;
            cell.moving_text = 0;
            cell.ClearLists();
            if (flags == 1) {
                cell.largest_font_line_spacing = 0;
            }
        }
    }

    const uint8_t line = NvByte(multi_objects::kDefaultJustificationLine);
    const uint8_t page = NvByte(multi_objects::kDefaultJustificationPage);
    for (uint32_t r = 0; r < kRectangles; ++r) {
        line_justification[r] = line;
        page_justification[r] = page;
        page_justification_given[r] = 0;
    }

    cursor_x = cursor_y = 0;
    moving_cursor_x = moving_cursor_y = 0;

    if ((flags & 1) == 0) {
        ClearFlashRegions();
    }
    if (target_surface != nullptr) {
        target_surface->Clear();
    }
}

void CMessage::LoadWorkingDefaults() {
    using namespace multi_objects;
    if (DefaultsFromDatabase()) {
        foreground_colour = multi_default_foreground_colour();
        character_background_colour = multi_default_background_colour();
        page_justification[0] = NvByte(kDefaultJustificationPage);
        line_justification[0] = NvByte(kDefaultJustificationLine);
        current_font = NvByte(kDefaultFont);
        flash_on_time = NvByte(kDefaultFlashOn);
        flash_off_time = NvByte(kDefaultFlashOff);
        page_on_time = NvByte(kDefaultPageOnTime);
        page_off_time = NvByte(kDefaultPageOffTime);
        page_background_colour = multi_default_background_colour();
        return;
    }
    foreground_colour = defaults.foreground_colour;
    character_background_colour = defaults.background_colour;
    page_justification[0] = defaults.page_justification;
    line_justification[0] = defaults.line_justification;
    current_font = defaults.font;
    flash_on_time = defaults.flash_on_time;
    flash_off_time = defaults.flash_off_time;
    page_on_time = defaults.page_on_time;
    page_off_time = defaults.page_off_time;
    page_background_colour = defaults.page_background_colour;
}

void CMessage::ClearFlashRegions() {
    current_flash_region = 0;
    for (auto& region : flash_regions) {
        region = flash_region{};
    }
}

void CMessage::SetWholeSignRectangles(int32_t width, int32_t height) {
    for (auto& rectangle : text_rectangles) {
        rectangle = text_rectangle{0, 0, width, height};
    }
}

line_cell& CMessage::CurrentLine() {
    const uint32_t r = std::min(current_text_rectangle, kRectangles - 1);
    const uint32_t l = std::min(current_line, kLines - 1);
    return line_cells[r][l];
}

void CMessage::ClearElement() {
    element_kind = kElementNone;
    element = multi_element{};
}
