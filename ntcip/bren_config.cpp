#include "ntcip/bren_config.h"

#include <cstdio>
#include <cstring>

#include "database/flash_database.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/oid_access.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"
#include "platform/monitor/mon.h"
#include "render/activation_request.h"
#include "render/msg_activation_code.h"
#include "runtime/debug_print.h"

namespace {

enum Key : uint8_t {
    kShutOffTemp = 12,
    kMessageStoreSplit = 28,
    kFlashDeadSpace = 128,
    kJournalUsage = 132,
    kActivateMessageNumber = 148,
    kControllerSerialNum = 168,
    kSignSerialNum = 172,
};

struct PlainRow {
    uint8_t key;
    const DbObject* object;
    uint8_t row;
};

// Rows that map onto one object and act only through its change notice.
const PlainRow kPlainRows[] = {
    {8, &dbo::brenResetCommand, 0},
    {kShutOffTemp, &dbo::brenShutOffTemp, 0},
    {16, &dbo::brenMessageReference, 0},
    {kMessageStoreSplit, &dbo::messageStoreSplit, 0},
    {32, &dbo::brenModuleID, 0},
    {36, &dbo::brenEnableRealTimePixelDiagnostics, 0},
    {40, &dbo::brenhdlcAddress, 0},
    {44, &dbo::brenLCDAdminPassword, 0},
    {48, &dbo::brenLegibilityRatio, 0},
    {52, &dbo::brenLegibilityRatioThreshold, 0},
    {56, &dbo::brenSpecialFeatureSet, 0},
    {64, &dbo::brenClimateMode, 0},
    {68, &dbo::brenRemoteIPAddress, 0},
    {72, &dbo::brenRemoteIPPort, 0},
    {76, &dbo::brenHostIPPort, 0},
    {80, &dbo::brenEthernetMode, 0},
    {84, &dbo::brenHostHttpPort, 0},
    {88, &dbo::brenNTPIPAddress, 0},
    {92, &dbo::brenNTPText, 0},
    {96, &dbo::brenNTPPollTime, 0},
    {100, &dbo::brenDisplayRate, 0},
    {104, &dbo::brenDisplayOptions, 0},
    {116, &dbo::brenCANBaudRate, 0},
    {120, &dbo::brenCANMaxLineLength, 0},
    {124, &dbo::brenFeatureSet, 0},
    {136, &dbo::brenModTimeout, 0},
    {144, &dbo::brenHeartBeatThreshold, 0},
    {152, &dbo::brenLightSensorScale, 0},
    {156, &dbo::brenLightSensorScale, 1},
    {160, &dbo::brenLightSensorScale, 2},
    {164, &dbo::brenLightSensorScale, 3},
    {kControllerSerialNum, &dbo::brenControllerSerialNum, 0},
    {kSignSerialNum, &dbo::brenSignSerialNum, 0},
};

constexpr uint32_t kActivationSlot = 6;
constexpr uint8_t kRequestSourceSnmp = 2;
constexpr uint8_t kActivationLocalhost[4] = {127, 0, 0, 1};

const PlainRow* FindPlainRow(uint8_t key) {
    for (const PlainRow& row : kPlainRows) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

// Writes moduleVersion of a module row with the serial number's text.
void WriteSerialVersion(uint32_t module_row, uint32_t serial) {
    char text[24];
    if (serial == 0) {
        std::snprintf(text, sizeof text, "SN: ----");
    } else {
        std::snprintf(text, sizeof text, "SN: %d", static_cast<int>(serial));
    }
    g_DataBase.SetText(dbo::moduleVersion, text, static_cast<uint32_t>(std::strlen(text)),
                       kDbNotify, module_row);
}

// CRC of a stored message, read through the MIB; 0 when it cannot be read.
uint16_t StoredMessageCrc(uint8_t memory_type, uint16_t number) {
    char oid[64];
    const int n = std::snprintf(oid, sizeof oid, "1.3.6.1.4.1.1206.4.2.3.5.8.1.5.%d.%d",
                                static_cast<int>(memory_type), static_cast<int>(number));
    int32_t crc = 0;
    if (!oid_get_int(oid, static_cast<size_t>(n), &crc)) {
        return 0;
    }
    return static_cast<uint16_t>(crc);
}

// Requests the message in activation slot 6; the display task serves it.
void RequestActivation(uint32_t value) {
    CMsgActivationCode code;
    code.duration = 0xFFFF;
    code.priority = 255;
    SplitActivationNumber(value, &code.memoryType, &code.messageNumber);
    code.crc = StoredMessageCrc(code.memoryType, code.messageNumber);
    std::memcpy(code.sourceAddress, kActivationLocalhost, sizeof code.sourceAddress);
    code.Pack();
    DebugPrintLevel1("Activate message %d:%d\n", code.memoryType, code.messageNumber);
    WriteActivationRequest(g_DataBase, kActivationSlot, kRequestSourceSnmp, kRequestSourceSnmp,
                           code);
}

// The message on display: memory type in bits 16-23, number in bits 0-15.
uint32_t CurrentMessage() {
    uint8_t source[8] = {};
    g_DataBase.ReadString(dbo::dmsMsgTableSource.id, dbo::dmsMsgTableSource.image, source,
                          sizeof source);
    const uint32_t current = source[0] * 65536u + source[1] * 256u + source[2];
    DebugPrintLevel1("\nReturn current message %X\n", current);
    return current;
}

uint32_t FlashDeadSpace() {
    const long dead = mon_tfsctrl(TFS_DEADSPACE, 0, 0);
    const long available = mon_tfsctrl(TFS_AVAILABLE, 0, 0);
    const uint64_t d = dead > 0 ? static_cast<uint64_t>(dead) : 0;
    const uint64_t a = available > 0 ? static_cast<uint64_t>(available) : 0;
    const uint32_t percent = FlashDeadSpacePercent(d, a);
    DebugPrintLevel1("Dead: %ld, Av: %ld, Per: %u\n", dead, available, percent);
    g_DataBase.Set(dbo::brenFlashDeadSpace, percent, kDbNotify);
    return percent;
}

uint32_t JournalUsage() {
    const int percent = db_flash_usage_percent();
    DebugPrintLevel1("DB %%: %d\n", percent);
    return static_cast<uint32_t>(percent);
}

uintptr_t* ServePlain(const PlainRow& r, int mode, snmp_pdu* pdu, int index,
                      uint32_t* value_length) {
    const DbObject& object = *r.object;
    if (object.IsString()) {
        return MibServeObject(object, r.row, mode, pdu, index, value_length);
    }
    if (r.key == kShutOffTemp) {
        MibCheckStore(object, r.row, mode, pdu, index);  // refused before anything is written
    }
    if (MibCommitting(mode)) {
        const DbResult result = g_DataBase.Set(object, g_SnmpSetInt, kDbNotify, r.row);
        if (r.key == kShutOffTemp && result != kDbOk) {
            pdu->request.error_status = result;
        }
        if (r.key == kMessageStoreSplit) {
            MibSetWriteEnable(g_DataBase.Get(object));
        } else if (r.key == kControllerSerialNum || r.key == kSignSerialNum) {
            WriteSerialVersion(r.key == kControllerSerialNum ? 1 : 6, g_DataBase.Get(object));
        }
    }
    return MibAnswerWord(pdu, index, g_DataBase.Get(object, r.row), value_length);
}

}  // namespace

uint32_t FlashDeadSpacePercent(uint64_t dead, uint64_t available) {
    const uint64_t total = dead + available;
    return total == 0 ? 0 : static_cast<uint32_t>(dead * 100u / total);
}

void SplitActivationNumber(uint32_t value, uint8_t* memory_type, uint16_t* number) {
    if (value < 0x1000) {
        *memory_type = static_cast<uint8_t>(value >> 8);
        *number = static_cast<uint16_t>(value & 0xFF);
    } else {
        *memory_type = static_cast<uint8_t>((value >> 16) & 0xFF);
        *number = static_cast<uint16_t>(value & 0xFFFF);
    }
}

uintptr_t* var_brenConfig(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    switch (row->key) {
        case kFlashDeadSpace:
            return MibAnswerWord(pdu, index, FlashDeadSpace(), value_length);
        case kJournalUsage:
            return MibAnswerWord(pdu, index, JournalUsage(), value_length);
        case kActivateMessageNumber:
            if (MibCommitting(mode)) {
                RequestActivation(g_SnmpSetInt);
            }
            return MibAnswerWord(pdu, index, CurrentMessage(), value_length);
        default:
            break;
    }
    const PlainRow* plain = FindPlainRow(row->key);
    return plain == nullptr ? nullptr : ServePlain(*plain, mode, pdu, index, value_length);
}
