#include "render/render_player.h"

#include <algorithm>
#include <cstring>
#include <memory>

CRenderPlayer::CRenderPlayer(CRender& render) : m_render(render), m_message(&render.Surface()) {}

void CRenderPlayer::Save() {
    m_saved.flash_mode = m_message.flash_mode;
    std::memcpy(m_saved.page_justification, m_message.page_justification,
                sizeof m_saved.page_justification);
    std::memcpy(m_saved.line_justification, m_message.line_justification,
                sizeof m_saved.line_justification);
    m_saved.current_font = m_message.current_font;
    m_saved.foreground_colour = m_message.foreground_colour;
    m_saved.character_background_colour = m_message.character_background_colour;
    m_saved.character_spacing = m_message.character_spacing;
    m_saved.page_background_colour = m_message.page_background_colour;
}

void CRenderPlayer::Restore() {
    m_message.flash_mode = m_saved.flash_mode;
    std::memcpy(m_message.page_justification, m_saved.page_justification,
                sizeof m_saved.page_justification);
    std::memcpy(m_message.line_justification, m_saved.line_justification,
                sizeof m_saved.line_justification);
    m_message.current_font = m_saved.current_font;
    m_message.foreground_colour = m_saved.foreground_colour;
    m_message.character_background_colour = m_saved.character_background_colour;
    m_message.character_spacing = m_saved.character_spacing;
    m_message.page_background_colour = m_saved.page_background_colour;
    std::fill(std::begin(m_message.page_justification_given),
              std::end(m_message.page_justification_given), 0);
}

MultiParseResult CRenderPlayer::Load(const char* text, uint32_t length) {
    const CSurface& surface = m_render.Surface();
    {
        // Validation measures on a message of its own, with no surface to draw on.
        auto check = std::make_unique<CMessage>();
        check->SetWholeSignRectangles(surface.Width(), surface.Height());
        const MultiParseResult valid = m_render.Validate(m_parser, check.get(), text, length);
        m_errorPosition = check->error_position;
        if (valid != kMultiOk) {
            return valid;
        }
    }
    m_pages = std::max<uint32_t>(m_render.CountPages(m_parser, text, length), 1);
    m_page = 0;
    m_message.defaults.Load();
    m_render.SetMessage(m_parser, &m_message, text, length);
    m_message.SetWholeSignRectangles(surface.Width(), surface.Height());
    m_message.Reset(0);
    m_message.LoadWorkingDefaults();
    m_message.flash_mode = 0;
    Save();
    m_render.page_number = 0;
    if (!m_render.ReparsePage(m_parser, &m_message)) {
        m_errorPosition = m_message.error_position;
        return m_message.error_position != 0 ? kMultiTextTooBig : kMultiBadArguments;
    }
    return kMultiOk;
}

bool CRenderPlayer::NextFrame() {
    Restore();
    return m_render.ReparsePage(m_parser, &m_message) != 0;
}

bool CRenderPlayer::NextPage() {
    if (m_pages <= 1) {
        m_message.Reset(1);
        Save();
    } else {
        Save();
        m_message.Reset(0);
        Restore();
    }
    if (m_render.ParseNextPage(m_parser, &m_message)) {
        ++m_page;
        m_render.page_number = static_cast<uint8_t>(m_page);
        return true;
    }
    m_message.flash_mode = 0;
    if (m_pages > 1) {
        m_message.Reset(0);
    }
    m_page = 0;
    m_render.ResetDefaults(m_parser, &m_message);
    Save();
    m_render.page_number = 0;
    return m_render.ReparsePage(m_parser, &m_message) != 0;
}

uint32_t CRenderPlayer::PageOnFrames() const {
    const uint32_t frames = (m_message.page_on_time * m_render.frame_rate + 9u) / 10u;
    return std::max<uint32_t>(frames, 1);
}
