// CDisplay: MULTI validation into the NTCIP error objects, and the front panel's preview.

#include <algorithm>
#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "render/multi_colour.h"

namespace {

void SetNotified(const DbObject& object, uint32_t value) {
    g_DataBase.Set(object, value, kDbNotify);
}

void SetMessageErrorBit(bool on) {
    const uint32_t status = g_DataBase.Get(dbo::shortErrorStatus);
    SetNotified(dbo::shortErrorStatus, on ? status | 0x80u : status & ~0x80u);
}

}  // namespace

// The validation's refusal of a text: as a MULTI error found by the message table's pass.
void CDisplay::SetValidationError(uint32_t result, uint32_t position) {
    SetNotified(dbo::dmsMultiSyntaxError, result);
    SetNotified(dbo::dmsValidateMessageError, 5);
    SetNotified(dbo::dmsMultiSyntaxErrorPosition, position);
}

bool CDisplay::ValidateMultiText(const char* text, uint32_t length, uint32_t activationMode) {
    CSurface& surface = validationRender_.Surface();
    if (!surface.IsAllocated()) {
        return false;  // no sign, so nothing to validate against
    }
    CMessage& m = validationMessage_;
    m.Reset(1);
    m.target_surface = &surface;
    m.trial_render = 1;
    m.error_position = 0;
    m.SetWholeSignRectangles(surface.Width(), surface.Height());
    const uint32_t r = uint32_t(
        validationRender_.Validate(validationParser_, &m, text, text == nullptr ? 0 : length));
    SetNotified(dbo::dmsMultiSyntaxError, 0);
    SetNotified(dbo::dmsMultiSyntaxErrorPosition, 0);
    const uint32_t position = m.error_position;
    switch (r) {
        case kMultiOk:
        case kMultiEndOfText:
            SetNotified(
                activationMode == 0 ? dbo::dmsValidateMessageError : dbo::dmsActivateMsgError, 2);
            SetNotified(dbo::dmsMultiSyntaxError, 2);
            SetMessageErrorBit(false);
            return true;
        case kMultiFontVersionId:
        case kMultiGraphicId:
            SetValidationError(r, position);
            SetMessageErrorBit(true);
            return false;
        default:
            if (r < kMultiUnsupportedTag ||
                (r > kMultiTooManyPages && r != kMultiGraphicNotDefined)) {
                return false;
            }
            if (activationMode == 0) {
                SetValidationError(r, position);
            } else {
                SetNotified(dbo::dmsActivateMsgError, 8);
                SetNotified(dbo::dmsMultiSyntaxError, r);
                SetNotified(dbo::dmsMultiSyntaxErrorPosition, position);
                SetMessageErrorBit(true);
            }
            return false;
    }
}

uint8_t CDisplay::CountMessagePages(const char* text, uint32_t length) {
    if (text == nullptr) {
        return 0;
    }
    return previewRender_.CountPages(previewParser_, text, length);
}

bool CDisplay::RenderPreviewPage(CSurface* surface, display_driver* driver, const char* text,
                                 uint32_t length, uint32_t page, CMessage* message) {
    if (message == nullptr) {
        return false;
    }
    CSurface& sign = g_Render.Surface();
    message->target_surface = surface;
    message->trial_render = 1;
    if (surface != nullptr) {
        if (surface->Allocate(sign.Height(), sign.Width(), sign.BitsPerPixel()) == nullptr) {
            return false;
        }
        surface->Fill(0);
        if (driver != nullptr) {
            driver->Init(uint32_t(surface->Height()), uint32_t(surface->Width()),
                         g_DataBase.Get(dbo::brenModuleID));
        }
    }
    if (page == 1) {
        message->Reset(0);
        auto byte = [](const DbObject& o) { return uint8_t(g_DataBase.Get(o)); };
        message->character_background_colour = CSurface::kNoColour;
        message->foreground_colour = multi_default_foreground_colour();
        message->page_background_colour = multi_default_background_colour();
        if (surface != nullptr) {
            message->SetWholeSignRectangles(surface->Width(), surface->Height());
        }
        message->current_text_rectangle = 0;
        message->page_justification[0] = byte(dbo::defaultJustificationPage);
        message->line_justification[0] = byte(dbo::defaultJustificationLine);
        message->current_font = byte(dbo::defaultFont);
        message->flash_on_time = byte(dbo::defaultFlashOn);
        message->flash_off_time = byte(dbo::defaultFlashOff);
        message->page_on_time = byte(dbo::defaultPageOnTime);
        message->page_off_time = byte(dbo::defaultPageOffTime);
        message->flash_mode = 0;
    }
    const uint32_t kept = text == nullptr ? 0 : std::min(length, CMessage::kTextSize);
    if (kept != 0) {
        std::memmove(message->text, text, kept);
    }
    message->text_length = kept;
    if (previewRender_.ParsePage(previewParser_, message, page) == 0) {
        return false;
    }
    if (driver != nullptr && surface != nullptr) {
        driver->WriteFrame(surface, 0, 0);
    }
    return true;
}
