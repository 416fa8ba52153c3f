// CDisplay: the message and graphic table passes (status requests, CRCs, counts, references).

#include <cstring>

#include "database/file_system_driver.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/bitmap_store.h"
#include "display/display.h"
#include "display/message_store.h"
#include "display/table_crc.h"
#include "platform/kernel/tx_api.h"
#include "render/msg_id_code.h"
#include "runtime/os_wrappers.h"

namespace {

enum MessageStatus : uint32_t {
    kNotUsed = 1,
    kModifying = 2,
    kValidating = 3,
    kValid = 4,
    kError = 5,
    kModifyReq = 6,
    kValidateReq = 7,
    kNotUsedReq = 8,
};

enum GraphicStatus : uint32_t {
    kGraphicNotUsed = 1,
    kGraphicModifying = 2,
    kGraphicReady = 4,
    kGraphicInUse = 5,
    kGraphicModifyReq = 7,
    kGraphicReadyReq = 8,
    kGraphicNotUsedReq = 9,
};

constexpr uint32_t kMessageMemory = 1500;
constexpr uint32_t kChangeableMemory = 750000;
constexpr uint32_t kVolatileMemory = 6000;
constexpr uint32_t kVolatileMessages = 4;
constexpr uint32_t kChangeableEntries = 500;

// The message references kept pointing at valid changeable messages, in the order they are
// checked.
const DbObject* const kReferences[] = {
    &dbo::dmsEndDurationMessage,        &dbo::dmsCommunicationsLossMessage,
    &dbo::brenMessageReference,         &dbo::dmsResetMessage,
    &dbo::dmsShortPowerRecoveryMessage, &dbo::dmsLongPowerRecoveryMessage,
    &dbo::spareMessageReference,        &dbo::spareMessageReference,
};
constexpr uint32_t kReferenceCount = sizeof kReferences / sizeof kReferences[0];

struct Reference {
    uint32_t id = 0;
    bool decoded = false;
    CMsgIDCode code;
};

void PurgeBitmaps() {
    bitmap_store::PurgeUnusedBitmaps(g_DataBase, &g_FileSystem, &g_SystemDrive);
}

// The pass's final writes: non-volatile ones notify and skip validation, volatile ones neither.
uint32_t FinalFlags(const message_store::Location& where) {
    return where.image == DbImage::kNv ? kDbNotify | kDbSkipValidation : kDbSkipValidation;
}

}  // namespace

uint32_t CDisplay::StepMessageStatus(const message_store::Location& where) {
    const uint32_t status = g_DataBase.GetInt(where.status, 1, where.image);
    auto set = [&](uint32_t value, uint32_t flags) {
        g_DataBase.SetInt(where.status, 1, value, where.image, flags);
        return value;
    };
    switch (status) {
        case kNotUsed:
        case kModifying:
        case kValid:
        case kError:
            return status;
        case kValidating:
            return ValidateStoredMessage(where);
        case kModifyReq:
            set(kModifying, kDbSkipValidation);
            PurgeBitmaps();
            return kModifying;
        case kValidateReq:
            set(kValidating, kDbSkipValidation);
            return ValidateStoredMessage(where);
        case kNotUsedReq:
            set(kNotUsed, FinalFlags(where));
            PurgeBitmaps();
            return kNotUsed;
        default:  // 0 and 9 and above
            return set(kNotUsed, kDbSkipValidation);
    }
}

// The text is read within the validator's capacity; a longer one (which a read of the NV image
// would return as empty) is an error, never validated as the empty message.
uint32_t CDisplay::ValidateStoredMessage(const message_store::Location& where) {
    const uint32_t flags = FinalFlags(where);
    const uint32_t stored = g_DataBase.StoredStringLength(where.text, where.image);
    const uint32_t limit =
        where.image == DbImage::kNv && CDataBase::kMaxNvStringRead < CMessage::kTextSize
            ? CDataBase::kMaxNvStringRead
            : CMessage::kTextSize;
    bool valid = false;
    if (stored > limit) {
        SetValidationError(kMultiTextTooBig, limit);
    } else {
        const uint32_t length =
            g_DataBase.ReadString(where.text, where.image, validationText_, limit);
        if (length == stored && ValidateMultiText(validationText_, length, 0)) {
            const uint8_t beacon = uint8_t(g_DataBase.GetInt(where.beacon, 1, where.image));
            const uint8_t pixelService =
                uint8_t(g_DataBase.GetInt(where.pixelService, 1, where.image));
            const uint16_t crc =
                table_crc::MessageCrc(validationText_, length, beacon, pixelService);
            const uint32_t refused = g_DataBase.JournalFailures();
            g_DataBase.SetInt(where.crc, 2, crc, where.image, flags);
            if (g_DataBase.JournalFailures() != refused) {
                // The journal refused the CRC: a valid status would outlive it at the next
                // start. The message stays validating and the next pass writes it again.
                tx_thread_relinquish();
                return kValidating;
            }
            valid = true;
        }
    }
    const uint32_t status = valid ? kValid : kError;
    g_DataBase.SetInt(where.status, 1, status, where.image, flags);
    // A dispatch point after every trial render: a pass over many messages on another thread
    // never holds the display task past its cycle.
    tx_thread_relinquish();
    return status;
}

void CDisplay::ProcessMessageTable() {
    const bool locked =
        tableMutexCreated_ && os_mutex_get(&tableMutex_, TX_WAIT_FOREVER) == OS_SUCCESS;

    Reference references[kReferenceCount];
    for (uint32_t i = 0; i < kReferenceCount; ++i) {
        Reference& r = references[i];
        r.id = kReferences[i]->Row(i == kReferenceCount - 1 ? 1 : 0);
        uint8_t octets[CMsgIDCode::kSize + 1] = {};
        if (g_DataBase.ReadString(r.id, DbImage::kNv, octets, sizeof octets) == CMsgIDCode::kSize) {
            r.code.Unpack(octets);
            r.decoded = true;
        }
    }

    uint32_t volatileValid = 0;
    for (uint32_t i = 0; i < kVolatileMessages; ++i) {
        message_store::Location where;
        message_store::Locate(message_store::kVolatile, uint16_t(i + 1), &where);
        volatileValid += StepMessageStatus(where) == kValid;
    }
    g_DataBase.Set(dbo::dmsNumVolatileMsg, volatileValid, kDbNotify);
    g_DataBase.Set(dbo::dmsFreeVolatileMemory, kVolatileMemory - kMessageMemory * volatileValid,
                   kDbNotify);

    const bool split = g_DataBase.Get(dbo::messageStoreSplit) == 2;
    const uint32_t entries = split ? 600 : kChangeableEntries;
    uint32_t changeable = 0;
    uint32_t upper = 2;
    bool retry = false;
    for (uint32_t k = 0; k < entries; ++k) {
        const uint32_t status = StepMessageStatus(message_store::NvEntry(k));
        if (status == kValid) {
            (k < kChangeableEntries ? changeable : upper) += 1;
            continue;
        }
        if (status == kValidating) {
            retry = true;  // its references stay until the message is valid or in error
            continue;
        }
        for (Reference& r : references) {
            if (r.decoded && r.code.memoryType == message_store::kChangeable &&
                r.code.messageNumber == k + 1) {
                r.code.Set(message_store::kBlank, 1, 0);
                g_DataBase.SetString(r.id, 4, r.code.raw, CMsgIDCode::kSize, DbImage::kNv,
                                     kDbNotify);
            }
        }
    }
    g_DataBase.Set(dbo::dmsNumChangeableMsg, changeable, kDbNotify);
    if (split) {
        g_DataBase.Set(dbo::dmsNumPermanentMsg, upper, kDbNotify);
    }
    g_DataBase.Set(dbo::dmsFreeChangeableMemory, kChangeableMemory - kMessageMemory * changeable,
                   kDbNotify);
    // A message left validating (its CRC refused by the journal) is tried again at the next
    // display cycle.
    if (retry && databaseEvents_ != nullptr) {
        os_event_flags_set(databaseEvents_, kEventMessageTable, OS_EVENT_OR);
    }
    if (locked) {
        os_mutex_put(&tableMutex_);
    }
}

void CDisplay::ProcessGraphicTable() {
    const bool locked =
        tableMutexCreated_ && os_mutex_get(&tableMutex_, TX_WAIT_FOREVER) == OS_SUCCESS;
    constexpr uint32_t kFlags = kDbNotify | kDbSkipValidation;
    for (uint32_t g = 0; g < table_crc::kGraphics; ++g) {
        switch (g_DataBase.Get(dbo::dmsGraphicStatus, g)) {
            case kGraphicModifyReq:
                g_DataBase.Set(dbo::dmsGraphicStatus, kGraphicModifying, kFlags, g);
                break;
            case kGraphicReadyReq:
                g_DataBase.Set(dbo::dmsGraphicID, table_crc::GraphicId(g_DataBase, g), kDbNotify,
                               g);
                g_DataBase.Set(dbo::dmsGraphicStatus, kGraphicReady, kFlags, g);
                break;
            case kGraphicNotUsedReq: {
                g_DataBase.Set(dbo::dmsGraphicStatus, kGraphicNotUsed, kFlags, g);
                g_DataBase.Set(dbo::dmsGraphicNumber, 0, kFlags, g);
                g_DataBase.SetText(dbo::dmsGraphicName, "", 0, kFlags, g);
                g_DataBase.Set(dbo::dmsGraphicHeight, 0, kFlags, g);
                g_DataBase.Set(dbo::dmsGraphicWidth, 0, kFlags, g);
                g_DataBase.Set(dbo::dmsGraphicID, 0, kDbNotify, g);
                g_DataBase.Set(dbo::dmsGraphicTransparentEnabled, 0, kFlags, g);
                const uint8_t black = 0;
                g_DataBase.SetText(dbo::dmsGraphicTransparentColor, &black, 1, kFlags, g);
                for (uint32_t b = 0; b < table_crc::kBlocksPerGraphic; ++b) {
                    g_DataBase.SetText(dbo::dmsGraphicBlockBitmap, "", 0, kFlags,
                                       table_crc::kBlocksPerGraphic * g + b);
                }
                break;
            }
            default:
                break;
        }
    }
    // The entry count is recounted: ready and in-use graphics.
    uint32_t entries = 0;
    for (uint32_t g = 0; g < table_crc::kGraphics; ++g) {
        const uint32_t status = g_DataBase.Get(dbo::dmsGraphicStatus, g);
        entries += status == kGraphicReady || status == kGraphicInUse;
    }
    g_DataBase.Set(dbo::dmsGraphicNumEntries, entries, kDbNotify);
    if (locked) {
        os_mutex_put(&tableMutex_);
    }
}

void display_process_message_table() {
    if (g_Display != nullptr) {
        g_Display->ProcessMessageTable();
    }
}

void display_process_graphic_table() {
    if (g_Display != nullptr) {
        g_Display->ProcessGraphicTable();
    }
}
