#include "ntcip/message_table_objects.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

enum MemoryType : uint32_t {
    kOther = 1,
    kPermanent = 2,
    kChangeable = 3,
    kVolatile = 4,
    kCurrentBuffer = 5,
    kSchedule = 6,
    kBlank = 7,
};

enum Column : uint8_t {
    kMemoryTypeKey = 0,
    kNumberKey = 4,
    kTextKey = 8,
    kOwnerKey = 12,
    kCrcKey = 16,
    kBeaconKey = 20,
    kPixelServiceKey = 24,
    kPriorityKey = 28,
    kStatusKey = 32,
};

constexpr uint32_t kValid = 4;
constexpr uint32_t kSlots = 600;
constexpr uint32_t kFixedPermanent = 2;  // permanent 1 and 2 live in the volatile image
constexpr uint32_t kPermanentSlotOffset = 497;
constexpr uint32_t kCompatibilityBit = 0x20;

// The seven stored columns of one memory type, text first.
struct MessageColumns {
    const DbObject* column[7];
};

const MessageColumns kChangeableColumns = {
    {&dbo::dmsMessageMultiString, &dbo::dmsMessageOwner, &dbo::dmsMessageCRC,
     &dbo::dmsMessageBeacon, &dbo::dmsMessagePixelService, &dbo::dmsMessageRunTimePriority,
     &dbo::dmsMessageStatus}};
const MessageColumns kPermanentColumns = {
    {&dbo::dmsMessageMultiStringPermanent, &dbo::dmsMessageOwnerPermanent,
     &dbo::dmsMessageCRCPermanent, &dbo::dmsMessageBeaconPermanent,
     &dbo::dmsMessagePixelServicePermanent, &dbo::dmsMessageRunTimePriorityPermanent,
     &dbo::dmsMessageStatusPermanent}};
const MessageColumns kVolatileColumns = {
    {&dbo::dmsMessageMultiStringVolatile, &dbo::dmsMessageOwnerVolatile,
     &dbo::dmsMessageCRCVolatile, &dbo::dmsMessageBeaconVolatile,
     &dbo::dmsMessagePixelServiceVolatile, &dbo::dmsMessageRunTimePriorityVolatile,
     &dbo::dmsMessageStatusVolatile}};
const MessageColumns kCurrentBufferColumns = {
    {&dbo::currentBufferMultiString, &dbo::currentBufferOwner, &dbo::currentBufferCRC,
     &dbo::currentBufferBeacon, &dbo::currentBufferPixelService, &dbo::currentBufferRunTimePriority,
     &dbo::currentBufferStatus}};
const MessageColumns kCurrentBufferCopyColumns = {
    {&dbo::currentBufferMultiStringCopy, &dbo::currentBufferOwnerCopy, &dbo::currentBufferCRCCopy,
     &dbo::currentBufferBeaconCopy, &dbo::currentBufferPixelServiceCopy,
     &dbo::currentBufferRunTimePriorityCopy, &dbo::currentBufferStatusCopy}};
const MessageColumns kScheduleColumns = {
    {&dbo::scheduleMessageMultiString, &dbo::scheduleMessageOwner, &dbo::scheduleMessageCRC,
     &dbo::scheduleMessageBeacon, &dbo::scheduleMessagePixelService,
     &dbo::scheduleMessageRunTimePriority, &dbo::scheduleMessageStatus}};

// Where one table row keeps its cells: the columns and the row within them, or nothing (blank).
struct RowPlace {
    const MessageColumns* columns = nullptr;
    uint32_t row = 0;
    uint32_t memory_type = 0;  // answered by column 1
    uint32_t number = 0;       // answered by column 2
    bool permanent = false;    // never written through the table
};

bool CurrentBufferCopyInUse() {
    char first = 0;
    return g_DataBase.ReadString(dbo::currentBufferMultiStringCopy.id,
                                 dbo::currentBufferMultiStringCopy.image, &first, 1) != 0;
}

RowPlace Place(uint32_t memory_type, uint32_t number) {
    RowPlace p;
    p.memory_type = memory_type;
    p.number = number;
    switch (memory_type) {
        case kPermanent:
            p.permanent = true;
            if (number <= kFixedPermanent) {
                p.columns = &kPermanentColumns;
                p.row = number - 1u;
            } else {
                // Permanent 3 and up are the changeable slots 500 and up, in every mode.
                p.columns = &kChangeableColumns;
                p.row = number + kPermanentSlotOffset;
                p.memory_type = kChangeable;
                p.number = p.row + 1u;
            }
            break;
        case kChangeable:
            p.columns = &kChangeableColumns;
            p.row = number - 1u;
            break;
        case kVolatile:
            p.columns = &kVolatileColumns;
            p.row = number - 1u;
            break;
        case kCurrentBuffer:
            p.columns = &kCurrentBufferColumns;
            break;
        case kSchedule:
            p.columns = &kScheduleColumns;
            break;
        default:  // blank: no storage of its own
            break;
    }
    return p;
}

uint32_t CountValidSlots() {
    uint32_t count = 0;
    for (uint32_t s = 0; s < kSlots; ++s) {
        if (g_DataBase.Get(dbo::dmsMessageStatus, s) == kValid) {
            ++count;
        }
    }
    return count;
}

uint32_t NumChangeable() {
    if (g_DataBase.Get(dbo::messageStoreSplit) == 2) {
        return CountValidSlots();
    }
    return g_DataBase.Get(dbo::dmsNumChangeableMsg);
}

uintptr_t* AnswerCell(const DbObject& object, uint32_t row, snmp_pdu* pdu, int index,
                      uint32_t* value_length) {
    if (object.IsString()) {
        return MibAnswerText(pdu, index, object, row, value_length);
    }
    return MibAnswerWord(pdu, index, g_DataBase.Get(object, row), value_length);
}

// Blank rows: text and owner are those of permanent message 1 (read and written); the other
// cells are fixed and refuse a write.
uintptr_t* ServeBlank(uint8_t key, uint32_t number, bool commit, snmp_pdu* pdu, int index,
                      uint32_t* value_length) {
    if (key == kTextKey || key == kOwnerKey) {
        const DbObject& object =
            key == kTextKey ? dbo::dmsMessageMultiStringPermanent : dbo::dmsMessageOwnerPermanent;
        if (commit) {
            MibReportStore(pdu, index, MibStore(object, 0));
        }
        return AnswerCell(object, 0, pdu, index, value_length);
    }
    if (commit) {
        MibReportStore(pdu, index, kDbGenError);
    }
    switch (key) {
        case kStatusKey:
            return AnswerCell(dbo::dmsMessageStatusPermanent, 0, pdu, index, value_length);
        case kPriorityKey:
            return MibAnswerWord(pdu, index, number, value_length);
        default:  // CRC, beacon, pixel service
            return MibAnswerWord(pdu, index, 0, value_length);
    }
}

}  // namespace

bool IsMessageTableMemoryType(uint32_t memory_type) {
    return memory_type >= kPermanent && memory_type <= kBlank;
}

uint32_t MessageTableMaxNumber(uint32_t memory_type) {
    switch (memory_type) {
        case kPermanent: {
            // Never past the last changeable slot, whatever the count says.
            const uint32_t count = g_DataBase.Get(dbo::dmsNumPermanentMsg);
            const uint32_t most = kSlots - 1u - kPermanentSlotOffset;
            return count < most ? count : most;
        }
        case kChangeable: {
            const uint32_t mode = g_DataBase.Get(dbo::dmsControlMode);
            const bool upper =
                g_DataBase.Get(dbo::messageStoreSplit) == 2 && (mode == 2 || mode == 5);
            return upper ? kSlots : 500;
        }
        case kVolatile:
            return dbo::dmsMessageStatusVolatile.rows;
        case kCurrentBuffer:
        case kSchedule:
            return 1;
        case kBlank:
            return 255;
        default:
            return 0;
    }
}

uintptr_t* var_dmsMessage(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    uint32_t value = 0;
    switch (row->key) {
        case 0:
            value = g_DataBase.Get(dbo::dmsNumPermanentMsg);
            break;
        case 4:
            value = NumChangeable();
            break;
        case 8:
            value = (g_DataBase.Get(dbo::brenSpecialFeatureSet) & kCompatibilityBit) != 0
                        ? 25
                        : g_DataBase.Get(dbo::dmsMaxChangeableMsg);
            break;
        case 12: {
            // 1500 octets a message; more valid messages than the memory holds leave none free.
            const uint32_t used = NumChangeable() * 1500u;
            value = used >= 750000u ? 0 : 750000u - used;
            break;
        }
        case 16:
            value = g_DataBase.Get(dbo::dmsNumVolatileMsg);
            break;
        case 20:
            value = g_DataBase.Get(dbo::dmsMaxVolatileMsg);
            break;
        case 24:
            value = g_DataBase.Get(dbo::dmsFreeVolatileMemory);
            break;
        case 28:
            value = g_DataBase.Get(dbo::dmsValidateMessageError);
            break;
        default:
            pdu->varbinds[index].handler_value = 0;
            return nullptr;
    }
    return MibAnswerWord(pdu, index, value, value_length);
}

uintptr_t* var_dmsMessageEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t column = row->name_length - 1u;
    if (*name_length != column + 2u) {
        return nullptr;
    }
    const uint32_t memory_type = name[column];
    const uint32_t number = name[column + 1u];
    const uint32_t bounds[2] = {kBlank, MessageTableMaxNumber(memory_type)};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, bounds, 2) != 0 ||
        !IsMessageTableMemoryType(memory_type)) {
        return nullptr;
    }
    if (MibRefuseWrongSyntax(row, mode, pdu, index)) {
        mode = kMibGet;
    }
    const bool commit = MibCommitting(mode);
    const RowPlace place = Place(memory_type, number);
    switch (row->key) {
        case kMemoryTypeKey:
            return MibAnswerWord(pdu, index, place.memory_type, value_length);
        case kNumberKey:
            return MibAnswerWord(pdu, index, place.number, value_length);
        case kTextKey:
        case kOwnerKey:
        case kCrcKey:
        case kBeaconKey:
        case kPixelServiceKey:
        case kPriorityKey:
        case kStatusKey:
            break;
        default:
            pdu->varbinds[index].handler_value = 0;
            return nullptr;
    }
    if (place.columns == nullptr) {
        return ServeBlank(row->key, number, commit, pdu, index, value_length);
    }
    const uint32_t cell = (row->key - kTextKey) / 4u;
    const DbObject& stored = *place.columns->column[cell];
    if (commit) {
        MibReportStore(pdu, index, place.permanent ? kDbGenError : MibStore(stored, place.row));
    }
    if (memory_type == kCurrentBuffer && CurrentBufferCopyInUse()) {
        return AnswerCell(*kCurrentBufferCopyColumns.column[cell], 0, pdu, index, value_length);
    }
    return AnswerCell(stored, place.row, pdu, index, value_length);
}
