#include "ntcip/snmp_compat.h"

#include "database/db_services.h"
#include "database/global_database.h"
#include "database/object_ids.h"

namespace {
constexpr uint32_t kCompatibilityBit = 0x20;
}  // namespace

bool snmp_compatibility_mode() {
    return db_compat_mode_get() != 0;
}

// Edits the bit alone: the clock side effects of db_compat_mode_set belong to the operator's
// switch, not to the codec's view of it.
void snmp_compatibility_mode_set(bool on) {
    const uint32_t features = g_DataBase.Get(dbo::brenSpecialFeatureSet);
    const uint32_t wanted = on ? (features | kCompatibilityBit) : (features & ~kCompatibilityBit);
    g_DataBase.Set(dbo::brenSpecialFeatureSet, wanted, kDbNoFlashWrite | kDbSkipValidation);
}
