#pragma once
// What the object handlers share: answering a word or a stored string, storing
// the set value in the commit pass, reporting a refused store, and serving a
// table of columns that map row keys onto database objects.

#include <cstddef>
#include <cstdint>

#include "database/db_types.h"
#include "database/object_ids.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_pdu.h"

uintptr_t* MibAnswerWord(snmp_pdu* pdu, int index, uint32_t value, uint32_t* value_length);
// The string object's octets (an OID object answers its packed sub-identifiers).
uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const DbObject& object, uint32_t row,
                         uint32_t* value_length);
// True in the commit pass of a set: the only time a handler writes.
bool MibCommitting(int mode);
// Stores the value being set (word or octets) into row `row` of the object.
DbResult MibStore(const DbObject& object, uint32_t row, uint32_t flags = kDbNotify);
// A refused store becomes the request's error status.
void MibReportStore(snmp_pdu* pdu, int index, DbResult result);
// In the check pass of a set: a word value the store would refuse becomes the request's error
// status there, so that nothing of the request is written.
void MibCheckStore(const DbObject& object, uint32_t row, int mode, snmp_pdu* pdu, int index);
// A write-enabled row whose flag is set reaches its handler without the engine's type check:
// a set value of another syntax (whose staged word or octets are stale) is refused here with
// badValue. True when refused; the handler then writes nothing.
bool MibRefuseWrongSyntax(const MibVariable* row, int mode, snmp_pdu* pdu, int index);

enum MibColumnFlags : uint8_t {
    kMibColumnPlain = 0,
    kMibColumnIndex = 1,   // answers the row index, stores nothing
    kMibColumnReport = 2,  // a refused store is the request's error status
};

struct MibColumn {
    uint8_t key;
    const DbObject* object;  // null for an index column
    uint8_t flags;
};

// Serves the column of the row's key at database row `row` (index answered for
// index columns): stores in the commit pass and answers the value read back.
// Null for a key the table does not hold.
uintptr_t* MibServeColumn(const MibColumn* columns, size_t count, const MibVariable* row, int mode,
                          snmp_pdu* pdu, int index, uint32_t db_row, uint32_t index_value,
                          uint32_t* value_length);

template <size_t N>
uintptr_t* MibServeColumn(const MibColumn (&columns)[N], const MibVariable* row, int mode,
                          snmp_pdu* pdu, int index, uint32_t db_row, uint32_t index_value,
                          uint32_t* value_length) {
    return MibServeColumn(columns, N, row, mode, pdu, index, db_row, index_value, value_length);
}

// The text (its address) as the answer of varbind index.
uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const char* text, uint32_t length,
                         uint32_t* value_length);

// Integer object of the given width: stores g_SnmpSetInt in the commit pass of a set, then
// answers the stored value.
uintptr_t* MibServeInt(int mode, snmp_pdu* pdu, int index, uint32_t id, uint32_t width,
                       DbImage image, uint32_t* value_length);
// String object: stores the set buffer in the commit pass of a set, then answers the text.
uintptr_t* MibServeString(int mode, snmp_pdu* pdu, int index, uint32_t id, DbImage image,
                          uint32_t* value_length);

// Row `row` (from 0) of a catalogue object, integer or string, served as above.
uintptr_t* MibServeObject(const DbObject& object, uint32_t row, int mode, snmp_pdu* pdu, int index,
                          uint32_t* value_length);

// Row index of a one-index column's instance (after a good header check).
uint32_t MibInstance(const MibVariable* row, const uint32_t* name);
