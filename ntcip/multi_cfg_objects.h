#pragma once
// Handler of the MULTI default values (colours, flash and page times, font, justification,
// character set) that the MULTI parser starts every message with.

#include "ntcip/mib_engine.h"

uintptr_t* var_multiCfg(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index);
