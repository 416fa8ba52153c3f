#pragma once
// CMULTIParser: reads MULTI markup one page at a time, checks every tag
// against the sign's configuration and hands each element of the page to a
// callback (the renderer). Each page is scanned twice: a measuring pass, then
// a drawing pass; validation stops after the measuring pass. All scan state
// lives in the CMessage; the parser keeps only the callback of SetMessage.

#include <cstdint>

#include "render/multi_parse_result.h"
#include "render/multi_parser_base.h"

class CMessage;

class CMULTIParser : public CParser {
public:
    static constexpr uint32_t kMaxPages = 6;

    CMULTIParser() = default;
    ~CMULTIParser() override = default;

    // Draws page n (0 and 1: the first) of the message's text; true when it scanned.
    bool ParsePage(void* context, MultiElementCallback callback, CMessage* message,
                   uint32_t page) override;
    // 1 + the number of "[np]" (any case); 0 for no text. Saturates at 255.
    uint8_t CountPages(const char* text, uint32_t length) override;
    // Draws the page after the one scanned last; true when it scanned.
    bool ParseNextPage(CMessage* message) override;
    // Draws the current page again (true at once for an empty message).
    bool ReparsePage(CMessage* message) override;
    // Working defaults and page offsets back to the start.
    bool ResetDefaults(CMessage* message) override;
    // Checks a whole text (at most 6 pages); kMultiOk when valid, otherwise the
    // first violation with its text offset in message->error_position.
    MultiParseResult Validate(void* context, MultiElementCallback callback, CMessage* message,
                              const char* text, uint32_t length) override;
    // Copies at most 2500 bytes of text into the message and resets it for page 0;
    // returns 0.
    MultiParseResult SetMessage(void* context, MultiElementCallback callback, CMessage* message,
                                const char* text, uint32_t length) override;

    // Scans the page starting at start: kMultiOk with *next at the following
    // page, kMultiEndOfText when nothing is left, or an error.
    MultiParseResult ScanPage(void* context, MultiElementCallback callback, CMessage* message,
                              const char* text, uint32_t length, uint32_t start, uint32_t* next,
                              bool validation);

    // Advances the message's current flash region by one frame.
    static void StepFlashRegion(CMessage* message);

private:
    // Draws the page at the message's current page start with the callback of SetMessage.
    MultiParseResult ScanCurrentPage(CMessage* message);

    void* m_context = nullptr;
    MultiElementCallback m_callback = nullptr;
};
