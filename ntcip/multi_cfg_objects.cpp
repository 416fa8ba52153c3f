#include "ntcip/multi_cfg_objects.h"

#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_keyed_objects.h"

namespace {

constexpr uint8_t kBackgroundKey = 0;
constexpr uint8_t kForegroundKey = 4;

const MibKeyedObject kDefaults[] = {
    {kBackgroundKey, &dbo::defaultBackgroundColor},
    {kForegroundKey, &dbo::defaultForegroundColor},
    {8, &dbo::defaultFlashOn},
    {12, &dbo::defaultFlashOff},
    {16, &dbo::defaultFont},
    {20, &dbo::defaultJustificationLine},
    {24, &dbo::defaultJustificationPage},
    {28, &dbo::defaultPageOnTime},
    {32, &dbo::defaultPageOffTime},
    {36, &dbo::defaultCharacterSet},
};

}  // namespace

uintptr_t* var_multiCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    const MibKeyedObject* entry = MibFindKey(kDefaults, row->key);
    if (entry == nullptr) {
        return nullptr;
    }
    if (MibCommitting(mode)) {
        // A refused colour is an error; the other defaults answer the value they keep.
        const DbResult result = MibStore(*entry->object, 0);
        if (result != kDbOk && (row->key == kBackgroundKey || row->key == kForegroundKey)) {
            MibReportStore(pdu, index, kDbGenError);
        }
    }
    return MibServeObject(*entry->object, 0, kMibGet, pdu, index, value_length);
}
