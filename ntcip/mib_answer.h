#pragma once
// Answers of the object handlers: a value put in the varbind's answer word, and the
// store-then-read-back step shared by handlers whose rows map onto one database object.

#include <cstdint>

#include "database/db_types.h"
#include "database/object_ids.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_pdu.h"

// The word as the answer of varbind index.
uintptr_t* MibAnswerWord(snmp_pdu* pdu, int index, uint32_t value, uint32_t* value_length);
// The text (its address) as the answer of varbind index.
uintptr_t* MibAnswerText(snmp_pdu* pdu, int index, const char* text, uint32_t length,
                         uint32_t* value_length);

// True in the commit pass of a set: the only call in which a handler stores.
bool MibCommitting(int mode);

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
