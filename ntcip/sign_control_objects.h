#pragma once
// Handlers of the sign control group (activation, control mode, reset, the messages named for
// power loss, reset, communication loss and end of duration, memory management, the outcome of
// the last activation) and of the schedule's action table.

#include <cstdint>

#include "ntcip/mib_engine.h"

uintptr_t* var_signControl(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsSchedule(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index);
uintptr_t* var_dmsActionEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index);

// What the handlers need of display control; a null member does nothing.
struct SignControlServices {
    // The display task's memory-management and commanded-reset step.
    void (*clear_memory)() = nullptr;
};
void sign_control_set_services(const SignControlServices& services);

// 1 once the network settings were written over SNMP (never cleared): every later reset
// request first has the new settings written to monrc.
extern uint8_t g_NetworkSettingsChanged;
