// CDisplay: the page, flash and duration sequence of the current message.

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "render/activation_request.h"
#include "render/msg_id_code.h"

namespace {

void SetNotified(const DbObject& object, uint32_t value, uint32_t row = 0) {
    g_DataBase.Set(object, value, kDbNotify, row);
}

}  // namespace

void CDisplay::SavePageAttributes(const CMessage& m) {
    pageStart_.flashMode = m.flash_mode;
    std::memcpy(pageStart_.pageJustification, m.page_justification, sizeof m.page_justification);
    std::memcpy(pageStart_.lineJustification, m.line_justification, sizeof m.line_justification);
    pageStart_.currentFont = m.current_font;
    pageStart_.foregroundColour = m.foreground_colour;
    pageStart_.characterBackgroundColour = m.character_background_colour;
    pageStart_.characterSpacing = m.character_spacing;
    pageStart_.pageBackgroundColour = m.page_background_colour;
}

void CDisplay::RestorePageAttributes(CMessage& m) {
    m.flash_mode = pageStart_.flashMode;
    std::memcpy(m.page_justification, pageStart_.pageJustification, sizeof m.page_justification);
    std::memcpy(m.line_justification, pageStart_.lineJustification, sizeof m.line_justification);
    m.current_font = pageStart_.currentFont;
    m.foreground_colour = pageStart_.foregroundColour;
    m.character_background_colour = pageStart_.characterBackgroundColour;
    m.character_spacing = pageStart_.characterSpacing;
    m.page_background_colour = pageStart_.pageBackgroundColour;
    std::memset(m.page_justification_given, 0, sizeof m.page_justification_given);
}

// Counts of the page just started; true when its on phase lasts beyond this cycle.
void CDisplay::StartPageCounts() {
    const int32_t rate = g_Render.frame_rate;
    pageOffCounter_ = rate * signMessage_.page_off_time / 10;
    g_Render.page_off_time = signMessage_.page_off_time;
    pageOnCounter_ = rate * signMessage_.page_on_time / 10;
    if (faceCount_ > 1) {
        pageOnCounter_ *= 2;
        pageOffCounter_ *= 2;
    }
    g_Render.page_on_time = signMessage_.page_on_time;
    if (pageOnCounter_ != 0) {
        --pageOnCounter_;
    }
}

void CDisplay::ReleaseGraphicsInUse() {
    for (uint32_t g = 0; g < dbo::dmsGraphicStatus.rows; ++g) {
        if (g_DataBase.Get(dbo::dmsGraphicStatus, g) == 5) {
            g_DataBase.Set(dbo::dmsGraphicStatus, 4, kDbNotify | kDbSkipValidation, g);
        }
    }
}

void CDisplay::StepFrameSequence() {
    switch (frameState_) {
        case kTestPattern:
            g_Render.Surface().Fill(0);
            DrawTestPattern(uint8_t(g_DataBase.Get(dbo::displayTestMode)));
            break;
        case kPixelTestWait:
            if (pixelTestRunning_ == 0) {
                frameState_ = kNewMessage;
            }
            break;
        case kBlankState:
            StepBlank();
            break;
        case kNewMessage:
            StepNewMessage();
            break;
        case kPageOn:
            StepPageOn();
            break;
        case kPageOff:
            StepPageOff();
            break;
        default:
            break;
    }
}

void CDisplay::StepBlank() {
    g_Render.Surface().Fill(0);
    g_Render.SetMessage(parser_, &signMessage_, nullptr, 0);
    SetNotified(dbo::statMultiFieldRows, 0);
    ReleaseGraphicsInUse();
}

void CDisplay::StepNewMessage() {
    powerLimitFlags |= 0x40000000u;
    g_Render.page_number = 0;
    SetNotified(dbo::displayTestMode, 1);
    g_DataBase.SetText(dbo::pixelErrorBlankedMessage, "", 0, kDbNotify);
    ReleaseGraphicsInUse();
    // The text of the activation, handed to the sign message on this thread with the MULTI
    // defaults of the activation.
    signMessage_.defaults = defaults_;
    g_Render.SetMessage(parser_, &signMessage_, currentText_, currentTextLength_);
    signMessage_.Reset(0);
    signMessage_.LoadWorkingDefaults();
    signMessage_.flash_mode = 0;
    SavePageAttributes(signMessage_);
    pageIndex_ = 0;
    savedPageIndex_ = 0;
    SetNotified(dbo::statMultiFieldRows, 0);
    if (!g_Render.ReparsePage(parser_, &signMessage_)) {
        frameState_ = kBlankState;
        return;
    }
    StartPageCounts();
    frameState_ = pageOnCounter_ != 0 ? kPageOn : kPageOff;
}

void CDisplay::StepPageOn() {
    RestorePageAttributes(signMessage_);
    pageIndex_ = savedPageIndex_;
    g_Render.ReparsePage(parser_, &signMessage_);
    if (pageCount_ == 1 && !(signMessage_.off_time_given != 0 && pageOffCounter_ != 0)) {
        return;
    }
    if (pageOnCounter_ != 0) {
        --pageOnCounter_;
    }
    if (pageOnCounter_ == 0) {
        frameState_ = kPageOff;
    }
}

void CDisplay::StepPageOff() {
    g_Render.Surface().Fill(0);
    const int32_t dark = pageOffCounter_;
    if (pageOffCounter_ > 0) {
        --pageOffCounter_;
    }
    if (dark != 0) {
        return;
    }
    if (pageCount_ == 1) {
        signMessage_.Reset(1);
        SavePageAttributes(signMessage_);
    } else {
        SavePageAttributes(signMessage_);
        signMessage_.Reset(0);
        RestorePageAttributes(signMessage_);
    }
    savedPageIndex_ = pageIndex_;
    if (!g_Render.ParseNextPage(parser_, &signMessage_)) {
        signMessage_.flash_mode = 0;
        if (pageCount_ > 1) {
            signMessage_.Reset(0);
        }
        pageIndex_ = 0;
        savedPageIndex_ = 0;
        g_Render.ResetDefaults(parser_, &signMessage_);
        SavePageAttributes(signMessage_);
        g_Render.ReparsePage(parser_, &signMessage_);
    }
    g_Render.page_number = signMessage_.page_counter;
    StartPageCounts();
    if (pageOnCounter_ != 0) {
        frameState_ = kPageOn;
    }
}

void CDisplay::CountDownMessageTime() {
    const uint32_t m = g_DataBase.Get(dbo::dmsMessageTimeRemaining);
    const uint32_t t = g_DataBase.GetRegisterTime(dbo::globalTime.id, dbo::globalTime.width,
                                                  dbo::globalTime.image);
    if (m == 65535) {
        durationMinutes_ = 65535;
        return;
    }
    if (m == 0) {
        if (g_DataBase.Get(dbo::dmsMsgSourceMode) != 14) {
            RequestEndDuration();
        }
        return;
    }
    endDurationAsked_ = false;
    if (m != durationMinutes_ || durationMark_ > t) {
        durationMark_ = t;
        durationMinutes_ = m;
        return;
    }
    const uint32_t elapsed = (t - durationMark_) / 60;
    if (elapsed >= durationMinutes_) {
        RequestEndDuration();
        return;
    }
    if (elapsed == 0) {
        return;
    }
    durationMinutes_ -= elapsed;
    SetNotified(dbo::dmsMessageTimeRemaining, durationMinutes_);
    durationMark_ = t - ((t - durationMark_) % 60);
}

// The count-down's request: once for a run-out duration, again only when the end-duration
// message changes (a refused one is not asked for on every cycle).
void CDisplay::RequestEndDuration() {
    uint8_t octets[CMsgIDCode::kSize] = {};
    g_DataBase.ReadString(dbo::dmsEndDurationMessage.id, dbo::dmsEndDurationMessage.image, octets,
                          sizeof octets);
    if (endDurationAsked_ && std::memcmp(octets, askedEndDuration_, sizeof octets) == 0) {
        return;
    }
    endDurationAsked_ = true;
    std::memcpy(askedEndDuration_, octets, sizeof octets);
    SetNotified(dbo::dmsMessageTimeRemaining, 0);
    ActivateEndDurationMessage();
}

void CDisplay::ActivateEndDurationMessage() {
    uint8_t octets[CMsgIDCode::kSize] = {};
    const uint32_t length = g_DataBase.ReadString(
        dbo::dmsEndDurationMessage.id, dbo::dmsEndDurationMessage.image, octets, sizeof octets);
    if (length != CMsgIDCode::kSize) {
        return;
    }
    CMsgIDCode id;
    id.Unpack(octets);
    CMsgActivationCode code;
    code.duration = 65535;
    code.priority = 255;
    code.memoryType = id.memoryType;
    code.messageNumber = id.messageNumber;
    code.crc = id.crc;
    const uint8_t local[4] = {127, 0, 0, 1};
    std::memcpy(code.sourceAddress, local, sizeof local);
    code.Pack();
    WriteActivationRequest(g_DataBase, kEndDurationSlot, 14, 2, code);
}
