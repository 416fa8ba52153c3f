// The SNMP compatibility mode follows its feature bit in the object store.
#include "ntcip/snmp_compat.h"

#include <gtest/gtest.h>

#include "database/global_database.h"
#include "database/object_ids.h"

namespace {

// The codec follows bit 0x20 of brenSpecialFeatureSet in the object store, and setting it from
// the codec's side leaves the other feature bits alone.
TEST(SnmpCompatibility, FollowsTheFeatureBitOfTheObjectStore) {
    const uint32_t saved = g_DataBase.Get(dbo::brenSpecialFeatureSet);
    const uint32_t flags = kDbNoFlashWrite | kDbSkipValidation;

    g_DataBase.Set(dbo::brenSpecialFeatureSet, 0x800 | 0x20, flags);
    EXPECT_TRUE(snmp_compatibility_mode());
    g_DataBase.Set(dbo::brenSpecialFeatureSet, 0x800, flags);
    EXPECT_FALSE(snmp_compatibility_mode());

    snmp_compatibility_mode_set(true);
    EXPECT_EQ(g_DataBase.Get(dbo::brenSpecialFeatureSet), 0x820u);
    snmp_compatibility_mode_set(false);
    EXPECT_EQ(g_DataBase.Get(dbo::brenSpecialFeatureSet), 0x800u);

    g_DataBase.Set(dbo::brenSpecialFeatureSet, saved, flags);
}

}  // namespace
