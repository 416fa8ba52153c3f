#include "ntcip/graphic_objects.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"
#include "ntcip/snmp_set_staging.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kGraphics = 50;
constexpr uint32_t kBlocks = 63;
constexpr uint8_t kAvailableMemoryKey = 12;
constexpr uint8_t kHeightKey = 12;
constexpr uint8_t kWidthKey = 16;
constexpr uint8_t kStatusKey = 36;

enum GraphicStatus : uint32_t {
    kReadyForUse = 4,
    kModifyReq = 7,
    kNotUsedReq = 9,
};

const MibKeyedObject kScalars[] = {{0, &dbo::dmsGraphicMaxEntries},
                                   {4, &dbo::dmsGraphicNumEntries},
                                   {8, &dbo::dmsGraphicMaxSize},
                                   {16, &dbo::dmsGraphicBlockSize}};

const MibColumn kGraphicColumns[] = {{0, nullptr, kMibColumnIndex},
                                     {4, &dbo::dmsGraphicNumber, kMibColumnReport},
                                     {8, &dbo::dmsGraphicName, kMibColumnReport},
                                     {kHeightKey, &dbo::dmsGraphicHeight, kMibColumnReport},
                                     {kWidthKey, &dbo::dmsGraphicWidth, kMibColumnReport},
                                     {20, &dbo::dmsGraphicType, kMibColumnReport},
                                     {24, &dbo::dmsGraphicID, kMibColumnReport},
                                     {28, &dbo::dmsGraphicTransparentEnabled, kMibColumnReport},
                                     {32, &dbo::dmsGraphicTransparentColor, kMibColumnReport},
                                     {kStatusKey, &dbo::dmsGraphicStatus, kMibColumnReport}};

const MibColumn kBitmapColumns[] = {{8, &dbo::dmsGraphicBlockBitmap, kMibColumnReport}};

// The graphic's 63 blocks emptied.
void ClearBlocks(uint32_t slot) {
    for (uint32_t b = 0; b < kBlocks; ++b) {
        g_DataBase.SetText(dbo::dmsGraphicBlockBitmap, "", 0, kDbNotify | kDbSkipValidation,
                           kBlocks * slot + b);
    }
}

// A request that takes a ready graphic out of use: one graphic fewer, and without its
// blocks when it is not to be used any more.
void LeaveReadyForUse(uint32_t slot, uint32_t request) {
    if (g_DataBase.Get(dbo::dmsGraphicStatus, slot) != kReadyForUse ||
        (request != kModifyReq && request != kNotUsedReq)) {
        return;
    }
    const uint32_t count = g_DataBase.Get(dbo::dmsGraphicNumEntries);
    const uint32_t lowered = count == 0 ? 0 : count - 1u;
    g_DataBase.Set(dbo::dmsGraphicNumEntries, lowered, kDbNotify);
    DebugPrintLevel1("Del - Num Graphics:%d\n", static_cast<int>(lowered));
    if (request == kNotUsedReq) {
        ClearBlocks(slot);
    }
}

}  // namespace

uintptr_t* var_graphicDefinition(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                 uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (row->key == kAvailableMemoryKey) {
        if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
            return nullptr;
        }
        return MibAnswerWord(pdu, index, g_DataBase.Pool().Info().available, value_length);
    }
    return MibServeKeyedScalar(kScalars, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_dmsGraphicEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t g = MibIndexedInstance(row, name, *name_length, mode, value_length, kGraphics);
    if (g == 0) {
        return nullptr;
    }
    const uint32_t slot = g - 1u;
    if (MibCommitting(mode) && (row->key == kHeightKey || row->key == kWidthKey)) {
        const DbObject& size =
            row->key == kHeightKey ? dbo::dmsGraphicHeight : dbo::dmsGraphicWidth;
        const uint32_t before = g_DataBase.Get(size, slot);
        const DbResult result = MibStore(size, slot);
        MibReportStore(pdu, index, result);
        if (result == kDbOk && g_DataBase.Get(size, slot) != before) {
            ClearBlocks(slot);
        }
        mode = kMibGet;
    } else if (MibCommitting(mode) && row->key == kStatusKey) {
        LeaveReadyForUse(slot, g_SnmpSetInt);
    }
    return MibServeColumn(kGraphicColumns, row, mode, pdu, index, slot, g, value_length);
}

uintptr_t* var_dmsGraphicBitmapEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                     int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    static const uint32_t kBounds[2] = {kGraphics, kBlocks};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, kBounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t column = row->name_length - 1u;
    const uint32_t g = name[column];
    const uint32_t b = name[column + 1u];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, g, value_length);
        case 4:
            return MibAnswerWord(pdu, index, b, value_length);
        default:
            return MibServeColumn(kBitmapColumns, row, mode, pdu, index,
                                  kBlocks * (g - 1u) + (b - 1u), 0, value_length);
    }
}
