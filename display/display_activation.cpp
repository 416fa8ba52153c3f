// CDisplay: message activation through the seven request slots.

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/message_store.h"
#include "render/msg_id_code.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/os_wrappers.h"

namespace {

constexpr uint32_t kCodeSize = CMsgActivationCode::kSize;

void SetNotified(const DbObject& object, uint32_t value, uint32_t row = 0) {
    g_DataBase.Set(object, value, kDbNotify, row);
}

uint32_t ReadOctets(const DbObject& object, uint32_t row, uint8_t* out, uint32_t capacity) {
    return g_DataBase.ReadString(object.Row(row), object.image, out, capacity);
}

uint32_t GlobalTime() {
    return g_DataBase.GetRegisterTime(dbo::globalTime.id, dbo::globalTime.width,
                                      dbo::globalTime.image);
}

bool FeatureBit(uint32_t bit) {
    return (g_DataBase.Get(dbo::brenSpecialFeatureSet) & bit) != 0;
}

// A stored string copied into out (cut to capacity - 1, terminated); its length.
uint32_t CopyText(DbImage image, uint32_t id, char* out, uint32_t capacity) {
    const uint32_t length = g_DataBase.ReadString(id, image, out, capacity - 1);
    const uint32_t kept = length < capacity - 1 ? length : capacity - 1;
    out[kept] = '\0';
    return kept;
}

}  // namespace

void CDisplay::OnActivateRequest() {
    if (!mutexCreated_ || os_mutex_get(&activateMutex_, TX_WAIT_FOREVER) != OS_SUCCESS) {
        return;
    }
    if (g_DataBase.Get(dbo::displayTestMode) != 1) {
        SetNotified(dbo::displayTestMode, 1);
    }
    uint8_t octets[kCodeSize + 1] = {};
    const uint32_t length = ReadOctets(dbo::dmsActivateMessage, 0, octets, sizeof octets);
    if (length != kCodeSize) {
        // Never served: a malformed code must not fall through to blanking the sign.
        ActivateMessage(octets, length, 0, true, 8, 2);
        os_mutex_put(&activateMutex_);
        return;
    }
    SetNotified(dbo::requestSourceMode, 8, kEndDurationSlot);
    SetNotified(dbo::requestOrigin, 2, kEndDurationSlot);
    g_DataBase.SetText(dbo::requestCode, octets, kCodeSize, 0, kEndDurationSlot);
    ProcessActivationRequests();
    os_mutex_put(&activateMutex_);
}

bool CDisplay::FindPendingRequest(uint32_t* slot) {
    for (uint32_t s = 0; s < kSlots; ++s) {
        uint8_t octets[kCodeSize + 1] = {};
        if (ReadOctets(dbo::requestCode, s, octets, sizeof octets) != kCodeSize) {
            continue;
        }
        for (uint32_t i = 0; i < kCodeSize; ++i) {
            if (octets[i] != 0) {
                *slot = s;
                return true;
            }
        }
    }
    return false;
}

void CDisplay::SetRequestExpiry(uint32_t slot) {
    uint8_t octets[kCodeSize] = {};
    ReadOctets(dbo::requestCode, slot, octets, sizeof octets);
    CMsgActivationCode code;
    code.Unpack(octets);
    g_DataBase.Set(dbo::requestExpiry, GlobalTime() + code.duration * 60u, 0, slot);
}

bool CDisplay::RefreshRequestDuration(uint32_t slot) {
    uint8_t octets[kCodeSize] = {};
    ReadOctets(dbo::requestCode, slot, octets, sizeof octets);
    CMsgActivationCode code;
    code.Unpack(octets);
    if (code.duration == 65535) {
        return true;
    }
    const uint32_t now = GlobalTime();
    const uint32_t expiry = g_DataBase.Get(dbo::requestExpiry, slot);
    const uint32_t minutes = now < expiry ? (expiry - now) / 60 : 0;
    code.duration = uint16_t(minutes > 65534 ? 65534 : minutes);
    code.Pack();
    g_DataBase.SetText(dbo::requestCode, code.raw, kCodeSize, 0, slot);
    return code.duration != 0;
}

bool CDisplay::NeedsActivation(uint32_t served, uint32_t pending) {
    if (pending <= served) {
        return true;
    }
    uint8_t servedOctets[kCodeSize] = {};
    uint8_t pendingOctets[kCodeSize] = {};
    const uint32_t servedLength =
        ReadOctets(dbo::requestServedCode, pending, servedOctets, sizeof servedOctets);
    ReadOctets(dbo::requestCode, pending, pendingOctets, sizeof pendingOctets);
    if (servedLength != kCodeSize) {
        return true;
    }
    CMsgActivationCode a;
    CMsgActivationCode b;
    a.Unpack(servedOctets);
    b.Unpack(pendingOctets);
    return !a.IsSameMessage(b);
}

void CDisplay::ProcessActivationRequests() {
    uint32_t slot = 0;
    if (!FindPendingRequest(&slot)) {
        CMsgActivationCode blank;
        blank.duration = 65535;
        blank.priority = 255;
        blank.memoryType = message_store::kBlank;
        blank.messageNumber = 1;
        blank.crc = 0;
        std::memset(blank.sourceAddress, 0, sizeof blank.sourceAddress);
        blank.Pack();
        ActivateMessage(blank.raw, kCodeSize, 0, true, 2, 2);
        return;
    }
    if (NeedsActivation(servedSlot_, slot) || firstPass_ != 0) {
        SetRequestExpiry(slot);
    } else if (!RefreshRequestDuration(slot)) {
        ActivateEndDurationMessage();
        return;
    }
    ServeSlot(slot);
}

void CDisplay::ServeSlot(uint32_t slot) {
    uint8_t octets[kCodeSize + 1] = {};
    const uint32_t length = ReadOctets(dbo::requestCode, slot, octets, sizeof octets);
    const uint32_t result = ActivateMessage(octets, length, slot + 1, true,
                                            g_DataBase.Get(dbo::requestSourceMode, slot),
                                            g_DataBase.Get(dbo::requestOrigin, slot));
    if (result != kErrorNone) {
        return;
    }
    firstPass_ = 0;
    servedSlot_ = uint8_t(slot);
    g_DataBase.SetText(dbo::requestServedCode, octets, kCodeSize, kDbNotify, slot);
    CMsgActivationCode code;
    code.Unpack(octets);
    if (code.memoryType != message_store::kCurrentBuffer) {
        g_DataBase.SetText(dbo::storedActivateMessage, octets, kCodeSize, kDbNotify);
    }
    if (code.memoryType == message_store::kSchedule) {
        Post(kLetterScheduleClear);
    }
}

uint32_t CDisplay::ActivateMessage(const uint8_t* code, uint32_t length, uint32_t requester,
                                   bool report, uint32_t sourceMode, uint32_t origin) {
    CMessageActivation record;
    uint32_t result = LookUpActivatedMessage(code, length, record);
    if (result == kErrorNone) {
        result = ValidateActivatedMessage(record);
    }
    if (result == kErrorNone) {
        LoadActivatedMessage(record, requester);
        SetNotified(dbo::dmsMsgSourceMode, sourceMode);
        SetNotified(dbo::activationOrigin, origin);
    }
    if (report) {
        SetActivationError(result);
        SetNotified(dbo::dmsMultiSyntaxError, record.multiSyntaxError);
        SetNotified(dbo::dmsMultiSyntaxErrorPosition, record.multiErrorPosition);
    }
    return result;
}

uint32_t CDisplay::LookUpActivatedMessage(const uint8_t* code, uint32_t length,
                                          CMessageActivation& record) {
    if (code == nullptr || length != kCodeSize) {
        return kErrorOther;
    }
    record.code.Unpack(code);
    message_store::Location where;
    const uint32_t found =
        message_store::Locate(record.code.memoryType, record.code.messageNumber, &where);
    if (found != message_store::kFound) {
        return found;
    }
    record.hasText = true;
    if (!where.stored) {  // blank
        record.status = 4;
        record.runTimePriority = FeatureBit(0x20) ? 100 : record.code.messageNumber;
        return kErrorNone;
    }
    record.textLength = CopyText(where.image, where.text, record.text, sizeof record.text);
    record.ownerLength = CopyText(where.image, where.owner, record.owner, sizeof record.owner);
    record.storedCrc = uint16_t(g_DataBase.GetInt(where.crc, 2, where.image));
    record.beacon = g_DataBase.GetInt(where.beacon, 1, where.image);
    record.pixelService = g_DataBase.GetInt(where.pixelService, 1, where.image);
    record.runTimePriority = g_DataBase.GetInt(where.priority, 1, where.image);
    record.status = g_DataBase.GetInt(where.status, 1, where.image);
    return kErrorNone;
}

uint32_t CDisplay::ValidateActivatedMessage(CMessageActivation& record) {
    const uint8_t type = record.code.memoryType;
    if (!record.hasText) {
        return kErrorOther;
    }
    if (type != message_store::kSchedule && record.status != 4) {
        return kErrorStatus;
    }
    if (!FeatureBit(0x20)) {
        const bool unstored = type == message_store::kSchedule || type == message_store::kBlank;
        if (record.code.crc != (unstored ? 0 : record.storedCrc)) {
            return kErrorCrc;
        }
    }
    if (record.code.priority < g_DataBase.Get(dbo::currentBufferRunTimePriority)) {
        return kErrorPriority;
    }
    if (!CheckSpeedLimit(record)) {
        DebugPrint("speed failed to validate\n");
        return kErrorOther;
    }
    return TrialRender(record);
}

// The trial runs on the display's own renderer, parser and message, never on the sign's.
uint32_t CDisplay::TrialRender(CMessageActivation& record) {
    if (!trialRender_.Surface().IsAllocated()) {
        return kErrorNone;  // no sign configured: nothing to check against
    }
    CSurface& surface = trialRender_.Surface();
    surface.SetKeep(1);
    trialMessage_.Reset(1);
    trialMessage_.target_surface = &surface;
    trialMessage_.trial_render = 1;
    trialMessage_.error_position = 0;
    trialMessage_.SetWholeSignRectangles(surface.Width(), surface.Height());
    const MultiParseResult result =
        trialRender_.Validate(trialParser_, &trialMessage_, record.text, record.textLength);
    surface.SetKeep(0);
    if (result != kMultiOk && result != kMultiEndOfText) {
        record.multiSyntaxError = uint32_t(result);
        record.multiErrorPosition = trialMessage_.error_position;
        return kErrorSyntax;
    }
    return kErrorNone;
}

// The number at the first character outside any tag, read with a bounded parse.
bool CDisplay::CheckSpeedLimit(const CMessageActivation& record) {
    const uint32_t limit = g_DataBase.Get(dbo::dmsCurrentSpeedLimit);
    const uint8_t type = record.code.memoryType;
    if (limit == 0 || type < message_store::kPermanent || type > message_store::kVolatile) {
        return true;
    }
    int depth = 0;
    for (uint32_t i = 0; i < record.textLength; ++i) {
        const char c = record.text[i];
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (depth == 0) {
            // atoi semantics: leading blanks, a sign, then digits; cut to the text's end.
            uint32_t j = i;
            while (j < record.textLength && (record.text[j] == ' ' || record.text[j] == '\t')) {
                ++j;
            }
            bool negative = false;
            if (j < record.textLength && (record.text[j] == '-' || record.text[j] == '+')) {
                negative = record.text[j++] == '-';
            }
            int64_t value = 0;
            for (; j < record.textLength && record.text[j] >= '0' && record.text[j] <= '9'; ++j) {
                value = value < 100000000 ? value * 10 + (record.text[j] - '0') : value;
            }
            const int number = int(negative ? -value : value);
            DebugPrint("%d <= %d ?\n", number, int(limit));
            return number <= int(limit);
        }
    }
    return false;
}

void CDisplay::LoadActivatedMessage(const CMessageActivation& record, uint32_t /*requester*/) {
    std::memcpy(currentText_, record.text, record.textLength);
    currentTextLength_ = record.textLength;
    hasCurrentText_ = true;
    ReleaseGraphicsInUse();
    SetNotified(dbo::dmsMessageTimeRemaining, record.code.duration);
    pageCount_ = parser_.CountPages(record.text, record.textLength);
    if (g_DataBase.Get(dbo::displayTestMode) != 1) {
        SetNotified(dbo::displayTestMode, 1);
    }
    frameState_ = record.code.memoryType == message_store::kBlank ? kBlankState : kNewMessage;
    beaconFlag = record.beacon != 0 ? 1 : 0;
    g_DataBase.SetString(112, 4, "", 0, DbImage::kVolatile, kDbNotify);
    const message_store::Location current = [] {
        message_store::Location l;
        message_store::Locate(message_store::kCurrentBuffer, 1, &l);
        return l;
    }();
    g_DataBase.SetString(current.text, 4, record.text, record.textLength, DbImage::kNv, kDbNotify);
    g_DataBase.SetString(current.owner, 4, record.owner, record.ownerLength, DbImage::kNv,
                         kDbNotify);
    g_DataBase.SetInt(current.crc, 2, record.storedCrc, DbImage::kNv, kDbNotify);
    g_DataBase.SetInt(current.beacon, 1, record.beacon, DbImage::kNv, kDbNotify);
    g_DataBase.SetInt(current.pixelService, 1, record.pixelService, DbImage::kNv, kDbNotify);
    g_DataBase.SetInt(current.priority, 1, record.runTimePriority, DbImage::kNv, kDbNotify);
    g_DataBase.SetInt(current.status, 1, 4, DbImage::kNv, kDbNotify);
    g_Render.page_number = 0;
    SetNotified(dbo::controllerStatusFlags, g_DataBase.Get(dbo::controllerStatusFlags) ^ 0x4u);
    StoreCurrentDefaults();
    CMsgIDCode source;
    source.Set(record.code.memoryType, record.code.messageNumber, record.storedCrc);
    g_DataBase.SetText(dbo::dmsMsgTableSource, source.raw, CMsgIDCode::kSize, kDbNotify);
    const uint8_t* a = record.code.sourceAddress;
    const uint32_t address =
        uint32_t(a[0]) << 24 | uint32_t(a[1]) << 16 | uint32_t(a[2]) << 8 | a[3];
    SetNotified(dbo::dmsMsgRequesterID, address == 0x7F000001u ? 0 : address);
}

void CDisplay::StoreCurrentDefaults() {
    defaults_.Load();
    const message_defaults& d = defaults_;
    const uint8_t values[7] = {d.flash_on_time,      d.flash_off_time,     d.font,
                               d.line_justification, d.page_justification, d.page_on_time,
                               d.page_off_time};
    for (uint32_t i = 0; i < 7; ++i) {
        g_DataBase.SetInt(25783 + i, 1, values[i], DbImage::kNv, kDbNotify);
    }
}

void CDisplay::SetActivationError(uint32_t code) {
    SetNotified(dbo::dmsActivateMsgError, code);
    const uint32_t status = g_DataBase.Get(dbo::shortErrorStatus);
    SetNotified(dbo::shortErrorStatus, code != kErrorNone ? status | 0x80u : status & ~0x80u);
}
