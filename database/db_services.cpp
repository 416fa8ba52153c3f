#include "database/db_services.h"

#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"

namespace {
constexpr uint32_t kAdminCommunity = dbo::communityNameAdmin.id;
constexpr uint32_t kUserCommunity = dbo::communityNameUser.id;
constexpr uint32_t kUserAccessMask = dbo::communityNameAccessMask.id;
constexpr uint32_t kUserCommunities = 100;
constexpr uint32_t kGroupAddress = dbo::pmppGroupAddress.id;
constexpr uint32_t kChapName = dbo::chapName.id;
constexpr uint32_t kChapSecret = dbo::chapSecret.id;
constexpr uint32_t kBadCommunityCounter = dbo::badCommunityCount.id;
constexpr uint32_t kSpecialFeatureSet = dbo::brenSpecialFeatureSet.id;
constexpr uint32_t kCompatibilityMode = 0x20;
constexpr uint32_t kGlobalTime = dbo::globalTime.id;
constexpr uint32_t kLocalTime = dbo::controllerLocalTime.id;
constexpr uint32_t kStandardTimeZone = dbo::controllerStandardTimeZone.id;

bool SameString(uint32_t id, const uint8_t* text, uint32_t length) {
    uint8_t stored[64];
    const uint32_t n = g_DataBase.ReadString(id, DbImage::kNv, stored, sizeof stored);
    return n != 0 && n == length && n <= sizeof stored && std::memcmp(stored, text, n) == 0;
}

int Check(const uint8_t* text, uint32_t length, uint32_t* mask, uint32_t adminMask) {
    if (text == nullptr || mask == nullptr) {
        return 0;
    }
    if (SameString(kAdminCommunity, text, length)) {
        *mask = adminMask;
        return 2;
    }
    for (uint32_t k = 0; k < kUserCommunities; ++k) {
        if (SameString(kUserCommunity + 4 * k, text, length)) {
            *mask = g_DataBase.GetInt(kUserAccessMask + 4 * k, 4, DbImage::kNv);
            return 1;
        }
    }
    return 0;
}

void Count(uint32_t id) {
    const uint32_t value = g_DataBase.GetInt(id, 4, DbImage::kVolatile);
    g_DataBase.SetInt(id, 4, value + 1, DbImage::kVolatile, kDbNotify);
}

uint32_t Length(const char* text) {
    return text == nullptr ? 0 : static_cast<uint32_t>(std::strlen(text));
}
}  // namespace

int db_community_access(const char* community, uint32_t* mask) {
    return Check(reinterpret_cast<const uint8_t*>(community), Length(community), mask, 0xFFFFFFFF);
}

int db_community_lookup(const char* community, uint32_t* mask) {
    return Check(reinterpret_cast<const uint8_t*>(community), Length(community), mask, 0);
}

int db_community_access_n(const uint8_t* community, uint32_t length, uint32_t* mask) {
    return Check(community, length, mask, 0xFFFFFFFF);
}

int db_community_lookup_n(const uint8_t* community, uint32_t length, uint32_t* mask) {
    return Check(community, length, mask, 0);
}

int db_find_group_address(uint32_t address) {
    for (uint32_t k = 0; k < 10; ++k) {
        if (g_DataBase.GetInt(kGroupAddress + 4 * k, 4, DbImage::kNv) == address) {
            return 255;
        }
    }
    return 0;
}

const char* db_get_chap_name() {
    return g_DataBase.GetString(kChapName, 4, DbImage::kNv, nullptr);
}

uint32_t db_copy_chap_name(char* out, uint32_t capacity) {
    if (out == nullptr || capacity == 0) {
        return 0;
    }
    uint32_t length = g_DataBase.ReadString(kChapName, DbImage::kNv, out, capacity - 1u);
    if (length > capacity - 1u) {
        length = capacity - 1u;
    }
    out[length] = '\0';
    return length;
}

const char* db_get_chap_secret() {
    return g_DataBase.GetString(kChapSecret, 4, DbImage::kNv, nullptr);
}

void db_count_snmp_in_pkts() {
    Count(dbo::snmpInPkts.id);
}
void db_count_snmp_out_pkts() {
    Count(dbo::snmpOutPkts.id);
}
void db_count_snmp_in_bad_versions() {
    Count(dbo::snmpInBadVersions.id);
}
void db_count_snmp_in_bad_community_names() {
    Count(dbo::snmpInBadCommunityNames.id);
}
void db_count_snmp_in_bad_community_uses() {
    Count(dbo::snmpInBadCommunityUses.id);
}
void db_count_snmp_in_too_bigs() {
    Count(dbo::snmpInTooBigs.id);
}
void db_count_snmp_in_no_such_names() {
    Count(dbo::snmpInNoSuchNames.id);
}
void db_count_snmp_in_bad_values() {
    Count(dbo::snmpInBadValues.id);
}
void db_count_snmp_in_read_onlys() {
    Count(dbo::snmpInReadOnlys.id);
}
uint32_t db_journal_failures() {
    return g_DataBase.JournalFailures();
}
void db_count_snmp_in_gen_errs() {
    Count(dbo::snmpInGenErrs.id);
}
void db_count_snmp_in_get_requests() {
    Count(dbo::snmpInGetRequests.id);
}
void db_count_snmp_in_get_nexts() {
    Count(dbo::snmpInGetNexts.id);
}
void db_count_snmp_in_set_requests() {
    Count(dbo::snmpInSetRequests.id);
}
void db_count_snmp_in_get_responses() {
    Count(dbo::snmpInGetResponses.id);
}
void db_count_snmp_out_bad_values() {
    Count(dbo::snmpOutBadValues.id);
}
void db_count_snmp_out_gen_errs() {
    Count(dbo::snmpOutGenErrs.id);
}
void db_count_bad_community() {
    Count(kBadCommunityCounter);
}

void db_clear_bad_community() {
    g_DataBase.SetInt(kBadCommunityCounter, 4, 0, DbImage::kVolatile, kDbNotify);
}

int db_compat_mode_get() {
    return (g_DataBase.GetInt(kSpecialFeatureSet, 4, DbImage::kNv) & kCompatibilityMode) != 0 ? 1
                                                                                              : 0;
}

void db_compat_mode_set(bool on) {
    const uint32_t features = g_DataBase.GetInt(kSpecialFeatureSet, 4, DbImage::kNv);
    if (!on) {
        g_DataBase.SetInt(kSpecialFeatureSet, 4, features & ~kCompatibilityMode, DbImage::kNv,
                          kDbNotify);
        return;
    }
    if ((features & kCompatibilityMode) != 0) {
        return;
    }
    g_DataBase.SetInt(kSpecialFeatureSet, 4, features | kCompatibilityMode, DbImage::kNv,
                      kDbNotify);
    g_DataBase.SetRegisterTime(kGlobalTime, 4, g_DataBase.GetInt(kLocalTime, 4, DbImage::kVolatile),
                               DbImage::kNv, kDbNotify | kDbIgnoredFlag);
    g_DataBase.SetInt(kStandardTimeZone, 4, 0, DbImage::kNv, kDbNotify);
}
