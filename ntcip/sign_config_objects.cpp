#include "ntcip/sign_config_objects.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

const MibKeyedObject kSignCfg[] = {
    {0, &dbo::dmsSignAccess}, {4, &dbo::dmsSignType},          {8, &dbo::dmsSignHeight},
    {12, &dbo::dmsSignWidth}, {16, &dbo::dmsHorizontalBorder}, {20, &dbo::dmsVerticalBorder},
    {24, &dbo::dmsLegend},    {28, &dbo::dmsBeaconType},       {32, &dbo::dmsSignTechnology},
};

const MibKeyedObject kVmsCfg[] = {
    {0, &dbo::vmsCharacterHeightPixels}, {4, &dbo::vmsCharacterWidthPixels},
    {8, &dbo::vmsSignHeightPixels},      {12, &dbo::vmsSignWidthPixels},
    {16, &dbo::vmsHorizontalPitch},      {20, &dbo::vmsVerticalPitch},
    {24, &dbo::monochromeColor},
};

}  // namespace

uintptr_t* var_dmsSignCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    if (MibRefuseWrongSyntax(row, mode, pdu, index)) {
        mode = kMibGet;
    }
    // A refused store is answered without error, with the value kept.
    return MibServeKeyedScalar(kSignCfg, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_vmsCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    const MibKeyedObject* entry = MibFindKey(kVmsCfg, row->key);
    if (entry == nullptr) {
        pdu->varbinds[index].handler_value = 0;
        return nullptr;
    }
    const DbObject& object = *entry->object;
    if (!MibRefuseWrongSyntax(row, mode, pdu, index) && MibCommitting(mode)) {
        MibReportStore(pdu, index, MibStore(object, 0));
    }
    if (object.IsString()) {
        return MibAnswerText(pdu, index, object, 0, value_length);
    }
    return MibAnswerWord(pdu, index, g_DataBase.Get(object), value_length);
}
