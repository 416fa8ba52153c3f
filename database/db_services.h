#pragma once
// Services of the database for the NTCIP agent and the serial links: community checks, the SNMP
// counters, the CHAP texts, the group-address filter and the compatibility mode. All work on
// g_DataBase.

#include <cstdint>

// Admin community: 2 and mask 0xFFFFFFFF; a user community: 1 and its access mask; else 0 and
// the mask untouched. Null arguments give 0.
int db_community_access(const char* community, uint32_t* mask);
// As db_community_access, but the admin community yields mask 0.
int db_community_lookup(const char* community, uint32_t* mask);
// The same with an explicit length (community texts may hold any octet).
int db_community_access_n(const uint8_t* community, uint32_t length, uint32_t* mask);
int db_community_lookup_n(const uint8_t* community, uint32_t length, uint32_t* mask);

// 255 when one of the ten group addresses equals the value, else 0.
int db_find_group_address(uint32_t address);

// Texts of chapName and chapSecret (valid until this thread's fourth string read after it).
const char* db_get_chap_name();
const char* db_get_chap_secret();
// chapName into the link's name field of `capacity` octets: cut to capacity - 1 octets and
// always terminated. Returns the octets copied.
uint32_t db_copy_chap_name(char* out, uint32_t capacity);

// Each adds 1 to its counter (notify).
void db_count_snmp_in_pkts();
// Journal records refused so far (see CDataBase::JournalFailures).
uint32_t db_journal_failures();
void db_count_snmp_out_pkts();
void db_count_snmp_in_bad_versions();
void db_count_snmp_in_bad_community_names();
void db_count_snmp_in_bad_community_uses();
void db_count_snmp_in_too_bigs();
void db_count_snmp_in_no_such_names();
void db_count_snmp_in_bad_values();
void db_count_snmp_in_read_onlys();
void db_count_snmp_in_gen_errs();
void db_count_snmp_in_get_requests();
void db_count_snmp_in_get_nexts();
void db_count_snmp_in_set_requests();
void db_count_snmp_in_get_responses();
void db_count_snmp_out_bad_values();
void db_count_snmp_out_gen_errs();
void db_count_bad_community();
void db_clear_bad_community();

// Bit 0x20 of brenSpecialFeatureSet as 0 or 1.
int db_compat_mode_get();
// On with the bit clear: sets it, globalTime := the local time, controllerStandardTimeZone := 0.
// On with the bit set: nothing. Off: clears it.
void db_compat_mode_set(bool on);
