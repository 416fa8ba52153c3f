#pragma once
// Handlers of the font definitions: the font scalars, the font table (20 fonts) and the character
// table (255 characters per font). Every successful change of a font's contents marks the font
// changed, so its version id moves on; a read of the version id recomputes it first.

#include "ntcip/mib_engine.h"

uintptr_t* var_fontDefinition(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_fontEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                         uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_characterEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);
