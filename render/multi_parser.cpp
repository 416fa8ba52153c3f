#include "render/multi_parser.h"

#include <algorithm>
#include <cstring>

#include "render/message.h"
#include "render/multi_lexer.h"
#include "render/multi_scan.h"
#include "render/multi_sign_query.h"
#include "render/multi_tag_table.h"
#include "runtime/debug_print.h"

namespace {

using multi::Scan;
using multi::Tag;

// How a stretch of a pass ends.
enum class Pass : uint8_t {
    kGoOn,     // at the end of the text
    kRestart,  // the drawing pass starts over
    kReturn,   // ScanPage returns the result
};

// The tag opening at *offset: its handler, then where scanning goes on.
Pass ScanTag(Scan& scan, uint32_t* offset, uint32_t* next, MultiParseResult* result) {
    CMessage& m = *scan.message;
    scan.content = true;
    *result = multi::DeliverRun(scan, *offset, false);
    if (*result != kMultiOk) {
        return Pass::kReturn;
    }
    const uint32_t name = *offset + 1;
    uint32_t close = 0;
    *result = multi::FindTagEnd(scan.text, scan.length, name, &close);
    if (*result != kMultiOk) {
        m.error_position = name;
        return Pass::kReturn;
    }
    const Tag tag{scan.text + name, close - name, name, close + 1};
    *result = multi::DispatchTag(scan, tag);
    if (*result != kMultiOk && *result != kMultiEndOfText) {
        m.error_position = name;
        if (scan.page_end) {
            *next = scan.next;
        }
        return Pass::kReturn;
    }
    if (scan.page_end) {
        *next = scan.next;
        *result = kMultiOk;
        return Pass::kReturn;
    }
    if (scan.restart) {
        return Pass::kRestart;
    }
    *offset = scan.resume != 0 ? scan.resume : tag.resume;
    scan.resume = 0;
    return Pass::kGoOn;
}

// A run of text starts at offset, or the pending one grows by a character.
void AddCharacter(Scan& scan, uint32_t offset) {
    if (!scan.run_pending) {
        scan.run_pending = true;
        scan.run_start = offset;
        scan.run_count = 0;
        scan.line_has_text = true;
    }
    ++scan.run_count;
}

// Scans from *offset to the end of the text, tag by tag and run by run.
Pass ScanPass(Scan& scan, uint32_t* offset, uint32_t* next, MultiParseResult* result) {
    CMessage& m = *scan.message;
    while (*offset < scan.length) {
        switch (multi::Classify(scan.text, scan.length, *offset, m.moving_text_open != 0)) {
            case multi::Token::kMovingTextClose:
                *result = multi::DeliverRun(scan, *offset, false);
                if (*result == kMultiOk) {
                    *result = multi::DeliverKind(scan, kElementMovingTextEnd);
                }
                if (*result != kMultiOk) {
                    m.error_position = *offset;
                    return Pass::kReturn;
                }
                m.moving_text_open = 0;
                ++*offset;
                break;
            case multi::Token::kTagOpen: {
                const Pass pass = ScanTag(scan, offset, next, result);
                if (pass != Pass::kGoOn) {
                    return pass;
                }
                break;
            }
            case multi::Token::kDoubledBracket:
                scan.content = true;
                *result = multi::DeliverRun(scan, *offset, false);
                if (*result != kMultiOk) {
                    return Pass::kReturn;
                }
                scan.run_pending = true;
                scan.run_start = *offset + 1;
                scan.run_count = 1;
                scan.line_has_text = true;
                *offset += 2;
                break;
            case multi::Token::kStrayClose:
                m.error_position = *offset;
                *result = kMultiUnsupportedTag;
                return Pass::kReturn;
            case multi::Token::kCharacter:
                AddCharacter(scan, *offset);
                ++*offset;
                break;
        }
    }
    return Pass::kGoOn;
}

// The end of the text in a pass: the last run, then the page's end or its drawing pass.
Pass EndOfText(Scan& scan, uint32_t offset, uint32_t* next, MultiParseResult* result) {
    CMessage& m = *scan.message;
    if (scan.run_pending) {
        scan.content = true;
        *result = multi::DeliverRun(scan, offset, true);
        if (*result != kMultiOk) {
            return Pass::kReturn;
        }
    }
    if (!m.measuring_pass || !scan.content) {
        m.current_line = 0;
        *next = offset;
        *result = scan.content ? kMultiOk : kMultiEndOfText;
        return Pass::kReturn;
    }
    *result = multi::EndMeasuring(scan, offset);
    if (*result != kMultiOk) {
        if (m.error_position == 0) {
            m.error_position = offset;
        }
        return Pass::kReturn;
    }
    if (scan.validation) {
        *next = offset;
        return Pass::kReturn;
    }
    *result = multi::DeliverKind(scan, kElementStartDrawing);
    if (*result != kMultiOk) {
        m.error_position = offset;
        return Pass::kReturn;
    }
    multi::StartDrawing(scan);
    return Pass::kRestart;
}

// A line of the page reaches below its text rectangle.
bool TooTall(const CMessage& message) {
    const uint32_t rectangles = std::min(message.current_text_rectangle, CMessage::kRectangles - 1);
    const uint32_t lines = std::min(message.current_line, CMessage::kLines - 1);
    for (uint32_t r = 0; r <= rectangles; ++r) {
        for (uint32_t l = 0; l <= lines; ++l) {
            const line_cell& cell = message.line_cells[r][l];
            if (int64_t{cell.y} + cell.height > message.text_rectangles[r].y1) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

void CMULTIParser::StepFlashRegion(CMessage* message) {
    const uint32_t index = message->current_flash_region;
    if (index >= CMessage::kFlashRegions) {
        return;
    }
    flash_region& region = message->flash_regions[index];
    if (region.countdown != 0) {
        --region.countdown;
    } else {
        const uint8_t on = multi::TenthsToFrames(message->flash_on_time, message->frame_rate);
        const uint8_t off = multi::TenthsToFrames(message->flash_off_time, message->frame_rate);
        uint32_t phase;
        if (region.phase == kFlashShowing) {
            phase = kFlashHidden;
        } else if (region.phase == kFlashHidden) {
            phase = kFlashShowing;
        } else {
            phase = message->flash_mode == 1 ? kFlashShowing : kFlashHidden;
        }
        // A phase of no frames is skipped; with both empty the text stays shown.
        uint8_t frames = phase == kFlashShowing ? on : off;
        if (frames == 0) {
            phase = phase == kFlashShowing ? kFlashHidden : kFlashShowing;
            frames = phase == kFlashShowing ? on : off;
            if (frames == 0) {
                phase = kFlashShowing;
            }
        }
        region.phase = phase;
        region.countdown = frames == 0 ? 0 : static_cast<uint8_t>(frames - 1);
    }
    ++message->current_flash_region;
}

MultiParseResult CMULTIParser::ScanPage(void* context, MultiElementCallback callback,
                                        CMessage* message, const char* text, uint32_t length,
                                        uint32_t start, uint32_t* next, bool validation) {
    if (callback == nullptr || message == nullptr || text == nullptr || next == nullptr ||
        length == 0) {
        return kMultiBadArguments;
    }
    length = std::min(length, CMessage::kTextSize);
    if (start > length) {
        // A trailing [np] has already given its empty page.
        *next = start;
        return kMultiEndOfText;
    }
    Scan scan{context, callback, message, text, length, start, validation};
    multi::BeginPage(scan);
    for (;;) {
        multi::BeginPass(scan);
        uint32_t offset = start;
        if (start == length && length > 4 && multi::EqualNoCase(text + length - 4, 4, "[np]")) {
            // A trailing [np] yields one more, empty page.
            offset = length + 1;
            scan.content = true;
        }
        MultiParseResult result = kMultiOk;
        Pass pass = ScanPass(scan, &offset, next, &result);
        if (pass == Pass::kGoOn) {
            pass = EndOfText(scan, offset, next, &result);
        }
        if (pass == Pass::kReturn) {
            return result;
        }
    }
}

uint8_t CMULTIParser::CountPages(const char* text, uint32_t length) {
    if (text == nullptr || length == 0) {
        return 0;
    }
    uint32_t pages = 1;
    for (uint32_t i = 0; i + 4 <= length; ++i) {
        if (multi::EqualNoCase(text + i, 4, "[np]")) {
            ++pages;
        }
    }
    return static_cast<uint8_t>(std::min<uint32_t>(pages, 255));
}

bool CMULTIParser::ParsePage(void* context, MultiElementCallback callback, CMessage* message,
                             uint32_t page) {
    if (message == nullptr || message->TextLength() == 0) {
        return false;
    }
    const uint32_t length = message->TextLength();
    uint32_t start = 0;
    if (page > 1) {
        uint32_t found = 0;
        start = length + 1;
        for (uint32_t i = 0; i + 4 <= length; ++i) {
            if (multi::EqualNoCase(message->text + i, 4, "[np]") && ++found == page - 1) {
                start = i + 4;
                break;
            }
        }
    }
    message->current_page_start = start;
    return ScanPage(context, callback, message, message->text, length, start,
                    &message->next_page_start, false) == kMultiOk;
}

bool CMULTIParser::ParseNextPage(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    message->current_page_start = message->next_page_start;
    if (ScanCurrentPage(message) == kMultiOk) {
        if (message->page_counter < 255) {
            ++message->page_counter;
        }
        return true;
    }
    message->page_counter = 0;
    return false;
}

bool CMULTIParser::ReparsePage(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    if (message->TextLength() == 0) {
        return true;
    }
    return ScanCurrentPage(message) == kMultiOk;
}

MultiParseResult CMULTIParser::ScanCurrentPage(CMessage* message) {
    return ScanPage(m_context, m_callback, message, message->text, message->TextLength(),
                    message->current_page_start, &message->next_page_start, false);
}

bool CMULTIParser::ResetDefaults(CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    message->LoadWorkingDefaults();
    message->current_page_start = 0;
    message->next_page_start = 0;
    return true;
}

MultiParseResult CMULTIParser::SetMessage(void* context, MultiElementCallback callback,
                                          CMessage* message, const char* text, uint32_t length) {
    if (message == nullptr) {
        return kMultiBadArguments;
    }
    const uint32_t kept = text == nullptr ? 0 : std::min(length, CMessage::kTextSize);
    if (kept != 0) {
        std::memmove(message->text, text, kept);
    }
    message->text_length = kept;
    // A new text does not inherit the flashing of the one before.
    message->flash_mode = 0;
    m_context = context;
    m_callback = callback;
    message->Reset(0);
    message->page_counter = 0;
    message->LoadWorkingDefaults();
    message->current_page_start = 0;
    message->next_page_start = 0;
    return kMultiBadArguments;
}

MultiParseResult CMULTIParser::Validate(void* context, MultiElementCallback callback,
                                        CMessage* message, const char* text, uint32_t length) {
    if (message == nullptr) {
        return kMultiBadArguments;
    }
    message->Reset(1);
    message->flash_mode = 0;
    message->defaults.Load();
    message->LoadWorkingDefaults();
    if (length == 0) {
        return kMultiOk;
    }
    length = std::min(length, CMessage::kTextSize);
    uint32_t start = 0;
    uint32_t pages = 0;
    for (;;) {
        uint32_t next = start;
        const MultiParseResult result =
            ScanPage(context, callback, message, text, length, start, &next, true);
        if (result == kMultiEndOfText) {
            return kMultiOk;
        }
        if (result != kMultiOk) {
            return result;
        }
        if (++pages > kMaxPages) {
            message->error_position = start;
            return kMultiTooManyPages;
        }
        if (TooTall(*message)) {
            DebugPrintLevel1("CMultiParser::Validate: Error Message too tall\n");
            message->error_position = start;
            return kMultiTextTooBig;
        }
        message->Reset(0);
        start = next;
    }
}
