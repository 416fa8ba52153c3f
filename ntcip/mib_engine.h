#pragma once
// The MIB: subtrees of sorted object rows (generated from ntcip/mib/mib_rows.tsv),
// the walker that finds the row for a varbind name and calls its handler, and the
// write-enable switch of the access-3 rows.
//
//   MibInit(nullptr);                              // once, links the subtrees
//   uint8_t type = syntax; uint32_t len = name_length, vlen; uint8_t access;
//   int status;
//   uintptr_t* answer = getStatPtr(&pdu->varbinds[i], &len, &type, &vlen, &access,
//                                  kMibGet, pdu, i, &status);

#include <cstdint>

#include "ntcip/snmp_pdu.h"

constexpr uint32_t kMibMaxPrefix = 17;
constexpr uint32_t kMibConstraintValues = 20;
constexpr uint32_t kMibColumnMarker = 255;

enum MibMode : int { kMibGetNext = 0, kMibGet = 1, kMibSet = 2 };

// Walk status.
enum MibStatus : int {
    kMibFound = 0,
    kMibNoObject = 1,
    kMibNoSuchName = 2,
    kMibBadValue = 10,
};

// Row value types.
enum MibType : uint8_t {
    kMibTypeOid = 4,
    kMibTypeOctets = 5,
    kMibTypeInteger = 6,
    kMibTypeIpAddressRo = 7,
    kMibTypeIpAddress = 8,
    kMibTypeCounter = 9,
    kMibTypeGauge = 10,
    kMibTypeTimeTicks = 11,
    kMibTypeOpaque = 12,
    kMibTypeNoSuchObject = 13,
    kMibTypeDebug = 14,
};

enum MibAccess : uint8_t { kMibReadOnly = 1, kMibReadWrite = 2, kMibWriteEnabled = 3 };

struct MibVariable;

// Handler contract: header check first; answer into pdu->varbinds[index].handler_value
// and return its address, or null for no such instance. Writes only when
// g_SnmpSetCommit is 1 and the mode is kMibSet.
using MibVarHandler = uintptr_t* (*)(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                     int mode, uint32_t* value_length, snmp_pdu* pdu, int index);

struct MibVariable {
    const uint32_t* name;
    uint8_t name_length;
    uint8_t type;  // MibType
    uint8_t key;
    uint8_t access;  // MibAccess
    MibVarHandler handler;
    uint8_t constraint_base;  // 4 unsigned, 2 signed, 3 string
    uint8_t constraint_kind;  // 1 ranges, 2 enumeration
    uint8_t constraint_count;
    uint32_t constraint_values[kMibConstraintValues];
    uint8_t write_enable;
    uint32_t group_mask;
    uint8_t index_count;
    const char* label;         // object name
    const char* handler_name;  // resolved to handler by MibLinkSubtrees
};

struct MibSubtree {
    uint32_t prefix[kMibMaxPrefix];
    uint8_t prefix_length;
    uint32_t first[kMibMaxPrefix];
    uint8_t first_length;
    uint32_t last[kMibMaxPrefix];
    uint8_t last_length;
    MibVariable* rows;
    uint16_t row_count;  // 0 until linked
    uint16_t row_width;
    char label[16];
    MibSubtree* next;
    MibSubtree* previous;
};

// The generated tables.
extern MibSubtree g_MibSubtrees[];
extern const uint32_t g_MibSubtreeCount;
extern const uint16_t g_MibSubtreeRowCounts[];
extern MibSubtree* g_MibSubtreeList;

void MibInit(const char* unused);
void MibLinkSubtrees();

MibSubtree* find_subtree(const uint32_t* name, uint32_t length, MibSubtree* start, int exact);
uintptr_t* fvars(MibSubtree* node, uint32_t* name, uint32_t* name_length, uint8_t* type,
                 uint32_t* value_length, uint8_t* access, int mode, snmp_pdu* pdu, int index,
                 int* status);
uintptr_t* getStatPtr(snmp_object* varbind, uint32_t* name_length, uint8_t* type,
                      uint32_t* value_length, uint8_t* access, int mode, snmp_pdu* pdu, int index,
                      int* status);

// The messageStoreSplit switch: 2 write-enables every access-3 row, 1 disables
// them, other values leave them.
void MibSetWriteEnable(uint32_t message_store_split);

// Set-value checks.
int CheckSetType(uint32_t syntax, uint8_t row_type);
int CheckIntConstraint(uint32_t value, const MibVariable* row);
int CheckStringConstraint(const uint8_t* octets, uint32_t length, const MibVariable* row);
