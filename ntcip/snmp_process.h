#pragma once
// Request processing: the process callback of every agent. Checks the community,
// walks the MIB for each varbind (a set in a validate pass and a commit pass),
// turns the handlers' answers into response values, sends the response and then
// lets display control act on what was set.

#include <cstdint>

#include "ntcip/snmp_agent.h"

int snmp_process(snmp_agent* agent, uint32_t version, uint32_t security_model,
                 const char* community, uint32_t security_flags, const char* context_engine_id,
                 const char* context_name, uint32_t message_model, snmp_pdu* pdu,
                 uint32_t pending_slot);

// What request processing needs of display control and of the interfaces. Each
// member left null keeps its stand-in (no activation refused, nothing to
// process, resolution 0, trap poll disabled).
struct snmp_process_hooks {
    // After the commit of dmsActivateMessage.0: nonzero when the activation was refused.
    int (*activate_requested_message)();
    // After the response of a set naming a dmsMessageStatus / dmsGraphicStatus instance.
    void (*process_message_table)();
    void (*process_graphic_table)();
    // Resolution byte of auxiliary I/O port slot 0..135.
    uint8_t (*peripheral_table_type)(uint32_t slot);
    // Trap poll of a serial interface: when it is enabled and a trap is queued, the
    // request is answered by that trap instead (send_pending_trap).
    int (*is_trap_poll_disabled)(snmp_agent* agent);
    int (*is_trap_buffer_empty)(snmp_agent* agent);
    void (*send_pending_trap)(snmp_agent* agent, uint32_t version, uint32_t security_model,
                              uint32_t security_flags, const char* context_engine_id,
                              const char* context_name, uint32_t message_model);
};
void snmp_process_set_hooks(const snmp_process_hooks& hooks);
// The hooks in force (stand-ins included), so that a wiring step can replace only its own:
//   snmp_process_hooks h = snmp_process_get_hooks(); h.x = ...; snmp_process_set_hooks(h);
snmp_process_hooks snmp_process_get_hooks();
