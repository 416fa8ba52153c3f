#pragma once
// Handlers of the message group: the message counts and free-memory figures, and the message
// table indexed by memory type and message number, mapped onto the arrays each memory type keeps
// in the object database. The object store's validation judges every write (status
// transitions, edits only while modifying); message table processing carries the status
// requests out.

#include <cstdint>

#include "ntcip/mib_engine.h"

uintptr_t* var_dmsMessage(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                          uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsMessageEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                               uint32_t* value_length, snmp_pdu* pdu, int index);

// Memory types with rows in the message table: permanent (2) to blank (7).
bool IsMessageTableMemoryType(uint32_t memory_type);
// Highest message number of the memory type (0: no rows), as the table's index limit.
uint32_t MessageTableMaxNumber(uint32_t memory_type);
