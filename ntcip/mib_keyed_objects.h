#pragma once
// Handlers whose rows each map onto one catalogue object, chosen by the row's key: tables of
// (key, object) and the scalar and one-index column forms of the handler contract.

#include <cstddef>
#include <cstdint>

#include "database/object_ids.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_engine.h"
#include "ntcip/mib_header.h"

// A row key and the catalogue object it serves; a null object answers the row index.
struct MibKeyedObject {
    uint8_t key;
    const DbObject* object;
};

// The entry of a key in a table of entries with a `key` field, or null.
template <typename Entry, size_t N>
const Entry* MibFindKey(const Entry (&table)[N], uint8_t key) {
    for (const Entry& entry : table) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// Exact scalar rows: the key selects the object.
template <size_t N>
uintptr_t* MibServeKeyedScalar(const MibKeyedObject (&table)[N], MibVariable* row, uint32_t* name,
                               uint32_t* name_length, int mode, uint32_t* value_length,
                               snmp_pdu* pdu, int index) {
    if (MibHeaderExact(row, name, *name_length, mode, value_length) != 0) {
        return nullptr;
    }
    const MibKeyedObject* entry = MibFindKey(table, row->key);
    if (entry == nullptr || entry->object == nullptr) {
        return nullptr;
    }
    return MibServeObject(*entry->object, 0, mode, pdu, index, value_length);
}

// One-index columns with rows 1..rows: the key selects the object, row i is its row i - 1.
template <size_t N>
uintptr_t* MibServeKeyedColumn(const MibKeyedObject (&table)[N], uint32_t rows, MibVariable* row,
                               uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (MibHeaderIndexed(row, name, *name_length, mode, value_length, rows) != 0) {
        return nullptr;
    }
    const uint32_t i = MibInstance(row, name);
    const MibKeyedObject* entry = MibFindKey(table, row->key);
    if (entry == nullptr) {
        return nullptr;
    }
    if (entry->object == nullptr) {
        return MibAnswerWord(pdu, index, i, value_length);
    }
    return MibServeObject(*entry->object, i - 1u, mode, pdu, index, value_length);
}
