#include "ntcip/bren_status.h"

#include "database/global_database.h"
#include "ntcip/mib_keyed_objects.h"
#include "ntcip/snmp_set_staging.h"
#include "runtime/debug_print.h"

namespace {

constexpr uint32_t kSensorRows = 4;
constexpr uint32_t kSlots = 26;
constexpr uint32_t kChunksPerSlot = 63;
constexpr uint32_t kFaces = 2;
constexpr uint8_t kFileTransferStatusKey = 0;

void (*g_FileTransferPoll)() = &FileTransferPollStandIn;

const MibKeyedObject kCallback[] = {{0, &dbo::brenCallbackNumber},
                                    {4, &dbo::brenCallbackMinTimeBetweenAttempts},
                                    {8, &dbo::brenCallbackMaxAttempts}};
const MibKeyedObject kFileTransfer[] = {{kFileTransferStatusKey, &dbo::brenFileTransferStatus},
                                        {4, &dbo::brenFileTransferBlockSize},
                                        {8, &dbo::brenFileTransferFileSize},
                                        {12, &dbo::brenFileTransferBlockNumber},
                                        {16, &dbo::brenFileTransferBlock},
                                        {20, &dbo::brenFileTransferBlockCrc}};
const MibKeyedObject kStatus[] = {
    {8, &dbo::brenPixelFailureCountType3}, {12, &dbo::brenPixelFailureCountType2},
    {16, &dbo::brenLCDPassword},           {36, &dbo::activationOrigin},
    {40, &dbo::illumRequestedLevel},       {44, &dbo::illumLimitStatus}};
const MibKeyedObject kSensorEntry[] = {{0, nullptr}, {4, &dbo::brenSensorValue}};
const MibKeyedObject kRemoteText[] = {{0, &dbo::brenRemoteInfo}, {4, &dbo::externalText}};
const MibKeyedObject kInfo[] = {
    {0, &dbo::brenInfoText1}, {4, &dbo::brenInfoCounter}, {8, &dbo::brenInfoText2}};
const MibKeyedObject kPixelTestResults[] = {
    {0, &dbo::pixelTestSlotsInUse}, {4, &dbo::pixelTestChunkSize}, {8, &dbo::pixelTestFaceCount}};
const MibKeyedObject kSlotEntry[] = {{0, nullptr},
                                     {4, &dbo::pixelTestSlotName},
                                     {8, &dbo::pixelTestSlotRows},
                                     {12, &dbo::pixelTestSlotColumns},
                                     {16, &dbo::pixelTestSlotDepth},
                                     {20, &dbo::pixelTestSlotType},
                                     {24, &dbo::pixelTestSlotFace},
                                     {28, &dbo::pixelTestSlotDimension}};
const MibKeyedObject kFaceEntry[] = {
    {0, nullptr}, {4, &dbo::pixelTestFaceFirstSlot}, {8, &dbo::pixelTestFaceLastSlot}};

// The three sensor percentages are scalars of one three-row object.
constexpr uint8_t kSensorPercentKeys[] = {24, 28, 32};

}  // namespace

void FileTransferPollStandIn() {
    DebugPrintLevel1("file transfer: no transfer task, status left as set\n");
}

void BrenSetFileTransferPoll(void (*poll)()) {
    g_FileTransferPoll = poll != nullptr ? poll : &FileTransferPollStandIn;
}

uintptr_t* var_brenCallback(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kCallback, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenFileTransfer(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    const MibKeyedObject* entry = MibFindKey(kFileTransfer, row->key);
    if (entry == nullptr) {
        return nullptr;
    }
    const DbObject& object = *entry->object;
    if (MibCommitting(mode)) {
        const DbResult result = object.IsString() ? g_DataBase.SetText(object, g_SnmpSetBuffer,
                                                                       g_SnmpSetLength, kDbNotify)
                                                  : g_DataBase.Set(object, g_SnmpSetInt, kDbNotify);
        if (result != kDbOk) {
            pdu->request.error_status = result;
        }
    }
    uintptr_t* answer = MibServeObject(object, 0, kMibGet, pdu, index, value_length);
    if (MibCommitting(mode) && row->key == kFileTransferStatusKey) {
        g_FileTransferPoll();
    }
    return answer;
}

uintptr_t* var_brenStatus(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index) {
    for (uint32_t k = 0; k < sizeof kSensorPercentKeys; ++k) {
        if (row->key == kSensorPercentKeys[k]) {
            if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
                return nullptr;
            }
            return MibServeObject(dbo::brenSensorPercent, k, mode, pdu, index, value_length);
        }
    }
    return MibServeKeyedScalar(kStatus, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenSensorEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kSensorEntry, kSensorRows, row, name, name_length, mode,
                               value_length, pdu, index);
}

uintptr_t* var_brenRemoteText(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kRemoteText, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenInfo(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kInfo, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_brenPixelTestResults(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                    int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedScalar(kPixelTestResults, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenPixelTestSlotEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                      int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kSlotEntry, kSlots, row, name, name_length, mode, value_length, pdu,
                               index);
}

uintptr_t* var_brenPixelTestChunkEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                       int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    const uint32_t bounds[2] = {kSlots, kChunksPerSlot};
    if (MibHeaderIndexBounds(row, name, *name_length, mode, value_length, bounds, 2) != 0) {
        return nullptr;
    }
    const uint32_t column = row->name_length - 1u;
    const uint32_t slot = name[column];
    const uint32_t chunk = name[column + 1u];
    switch (row->key) {
        case 0:
            return MibAnswerWord(pdu, index, slot, value_length);
        case 4:
            return MibAnswerWord(pdu, index, chunk, value_length);
        case 8:
            return MibServeObject(dbo::pixelTestResultChunk,
                                  kChunksPerSlot * (slot - 1u) + (chunk - 1u), kMibGet, pdu, index,
                                  value_length);
        default:
            return nullptr;
    }
}

uintptr_t* var_brenPixelTestFaceEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                      int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return MibServeKeyedColumn(kFaceEntry, kFaces, row, name, name_length, mode, value_length, pdu,
                               index);
}
