#include "ntcip/small_branches.h"

#include "database/data_base.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

const MibKeyedObject kEss[] = {
    {0, &dbo::essLatitude},
    {4, &dbo::essLongitude},
    {12, &dbo::essVehicleBearing},
};

const MibKeyedObject kPanynj[] = {
    {0, &dbo::fdotMaxNumPixelFailure},   {4, &dbo::brenLegibilityRatioThreshold},
    {8, &dbo::pixelErrorBlankedMessage}, {16, &dbo::badCommunityCount},
    {20, &dbo::brenLegibilityRatio},     {24, &dbo::moduleErrorBitmap},
};
constexpr uint8_t kOriginKey = 12;

// Origin of the message on display as the agency codes it.
uint32_t PanynjOrigin(uint32_t origin) {
    switch (origin) {
        case 4:
            return 2;
        case 5:
            return 3;
        default:
            return 1;
    }
}

struct NvdotRequest {
    uint8_t key;
    const DbObject* state;    // answered to a get
    const DbObject* request;  // stored by a set, answered to a set and a get-next
};
const NvdotRequest kNvdotRequests[] = {
    {0, &dbo::nvdotOutputState1, &dbo::nvdotManualRun1},
    {8, &dbo::nvdotOutputState2, &dbo::nvdotManualRun2},
};
const MibKeyedObject kNvdotStatus[] = {
    {4, &dbo::nvdotStatusByte},
    {12, &dbo::nvdotSupplyStatus},
};

}  // namespace

uintptr_t* var_essNtcipLocation(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                                uint32_t* value_length, snmp_pdu* pdu, int index) {
    // Read-only rows: request processing refuses sets before they get here.
    return MibServeKeyedScalar(kEss, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_panynj(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (row->key == kOriginKey) {
        if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
            return nullptr;
        }
        return MibAnswerWord(pdu, index, PanynjOrigin(g_DataBase.Get(dbo::activationOrigin)),
                             value_length);
    }
    return MibServeKeyedScalar(kPanynj, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_nvdot(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    for (const NvdotRequest& entry : kNvdotRequests) {
        if (entry.key != row->key) {
            continue;
        }
        if (mode == kMibGet) {
            return MibAnswerWord(pdu, index, g_DataBase.Get(*entry.state), value_length);
        }
        return MibServeObject(*entry.request, 0, mode, pdu, index, value_length);
    }
    const MibKeyedObject* status = MibFindKey(kNvdotStatus, row->key);
    if (status == nullptr) {
        pdu->varbinds[index].handler_value = 0;
        return nullptr;
    }
    return MibServeObject(*status->object, 0, mode, pdu, index, value_length);
}

void ess_volatile_defaults(CDataBase& db) {
    db.SetInt(dbo::essLatitude.id, 4, db.GetInt(dbo::brenLatitude.id, 4, DbImage::kNv),
              DbImage::kVolatile, kDbNotify);
    db.SetInt(dbo::essLongitude.id, 4, db.GetInt(dbo::brenLongitude.id, 4, DbImage::kNv),
              DbImage::kVolatile, kDbNotify);
    db.SetInt(dbo::essVehicleBearing.id, 2, 0, DbImage::kVolatile, kDbNotify);
}

void SetMonitorVolatileDefaults(CDataBase& db) {
    static const uint8_t kZero[1] = {0};
    db.SetString(dbo::pixelErrorBlankedMessage.id, 4, kZero, 0, DbImage::kVolatile, kDbNotify);
    db.SetInt(dbo::badCommunityCount.id, 4, 0, DbImage::kVolatile, kDbNotify);
    db.SetString(dbo::moduleErrorBitmap.id, 4, kZero, 1, DbImage::kVolatile, kDbNotify);
}

void nvdot_factory_defaults(CDataBase& db, int /*mode*/) {
    db.SetInt(dbo::nvdotManualRun1.id, 1, 2, DbImage::kNv, kDbNotify);
    db.SetInt(dbo::nvdotManualRun2.id, 1, 2, DbImage::kNv, kDbNotify);
}

void nvdot_volatile_defaults(CDataBase& db) {
    static const uint8_t kZeros[2] = {0, 0};
    db.SetInt(dbo::nvdotOutputState1.id, 1, 2, DbImage::kVolatile, kDbNotify);
    db.SetInt(dbo::nvdotOutputState2.id, 1, 2, DbImage::kVolatile, kDbNotify);
    db.SetString(dbo::nvdotStatusByte.id, 4, kZeros, 1, DbImage::kVolatile, kDbNotify);
    db.SetString(dbo::nvdotSupplyStatus.id, 4, kZeros, 2, DbImage::kVolatile, kDbNotify);
}
