#include "ntcip/snmp_agent.h"

#include <cstring>

#include "database/db_services.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_engine_lock.h"
#include "runtime/debug_print.h"

namespace {

// The work areas of the message being handled: one for all agents, under the engine lock.
snmp_pdu g_SnmpPdu;
snmp_message_fields g_SnmpFields;

constexpr ULONG kTcpDispatchDelay = 50;

int ParseByVersion(snmp_agent* agent, uint32_t version, const uint8_t* message, uint32_t length) {
    const uint32_t port = agent->source_port;
    switch (version) {
        case 0:
            return snmpv1_parse_message(&agent->pending, port, agent->source_address, message,
                                        length, &g_SnmpFields, &g_SnmpPdu);
        case 1:
        case 2:
            return snmpv2c_parse_message(&agent->pending, port, agent->source_address, message,
                                         length, &g_SnmpFields, &g_SnmpPdu);
        case 3:
            return snmpv3_parse_message(&agent->pending, port, agent->source_address, message,
                                        length, &g_SnmpFields, &g_SnmpPdu);
        default:
            return 0;
    }
}

int Dispatch(snmp_agent* agent) {
    const snmp_message_fields& f = g_SnmpFields;
    const bool response = f.response_tag != 0;
    snmp_agent_callback callback = response ? agent->second : agent->process;
    if (callback == nullptr) {
        return 0;
    }
    return callback(agent, f.version, f.security_model, f.community, f.security_flags,
                    f.context_engine_id, f.context_name, f.message_model, &g_SnmpPdu,
                    response ? f.response_tag : f.pending_slot);
}

void CopyText(char* destination, const char* source, uint32_t size) {
    std::memset(destination, 0, size);
    if (source != nullptr) {
        std::strncpy(destination, source, size - 1);
    }
}

void ReceiveLoop(snmp_agent* agent, uint32_t layer, bool wait_link) {
    for (;;) {
        if (wait_link && agent->wait_link_enabled != nullptr && agent->wait_link_enabled(agent)) {
            continue;  // a failed wait is retried
        }
        uint32_t length = kSnmpMessageBufferSize;
        if (agent->net_driver(agent, layer, kSnmpNetReceive, agent->receive_buffer, &length) == 0) {
            SnmpMessageReceive(agent, agent->receive_buffer, length);
        }
    }
}

int OpenUdp(snmp_agent* agent) {
    uint8_t block[7] = {static_cast<uint8_t>(agent->port >> 8),
                        static_cast<uint8_t>(agent->port),
                        agent->address[0],
                        agent->address[1],
                        agent->address[2],
                        agent->address[3],
                        0};
    uint32_t length = sizeof block;
    return agent->net_driver(agent, kSnmpLayerUdp, kSnmpNetOpen, block, &length);
}

snmp_agent* AgentOf(ULONG_PTR input) {
    return reinterpret_cast<snmp_agent*>(input);
}

}  // namespace

void snmp_entry() {
    const UINT status = snmp_engine_lock_create();
    if (status != TX_SUCCESS) {
        DebugPrint("snmp_entry: tx_mutex_create SNMP PROTECT MUTEX failed  %02x\n", status);
    }
    MibInit(nullptr);
}

int snmp_agent_create(snmp_agent* agent, const char* name, uint16_t port, uint16_t trap_port,
                      const uint8_t address[4], uint8_t* memory, uint32_t* used,
                      uint32_t stack_size, snmp_agent_callback process, snmp_agent_callback second,
                      snmp_net_drv driver, TX_THREAD_ENTRY udp_entry, TX_THREAD_ENTRY tcp_entry) {
    CopyText(agent->name, name, kSnmpAgentNameSize);
    agent->port = port;
    agent->trap_port = trap_port;
    std::memcpy(agent->address, address, 4);
    agent->process = process;
    agent->second = second;
    agent->net_driver = driver;
    std::memset(&agent->pending, 0, sizeof agent->pending);
    *used = 0;
    int status = driver(agent, kSnmpLayerUdp, kSnmpNetCreate, memory, used);
    if (status != 0) {
        DebugPrint("snmp_agent_create: snmp_net_drv failed %d\n", status);
        return status;
    }
    agent->transmit_buffer = memory + *used;
    *used += kSnmpMessageBufferSize;
    agent->receive_buffer = memory + *used;
    *used += kSnmpMessageBufferSize;
    status = static_cast<int>(tx_semaphore_create(&agent->semaphore, "SNMP SEMAPHORE", 1));
    if (status != 0) {
        DebugPrint("snmp_agent_create: tx_thread_create failed %d\n", status);
        return status;
    }
    const struct {
        TX_THREAD_ENTRY entry;
        TX_THREAD* thread;
        const char* name;
        const char* failure;
    } dispatch[] = {
        {udp_entry, &agent->udp_dispatch, "SNMP UDP Dispatch",
         "snmp_agent_create: tx_thread_create failed %d\n"},
        {tcp_entry, &agent->tcp_dispatch, "SNMP TCP Dispatch",
         "snmp_agent_create_tcp: tx_thread_create failed %d\n"},
    };
    for (const auto& d : dispatch) {
        if (d.entry == nullptr) {
            continue;
        }
        status = static_cast<int>(
            tx_thread_create(d.thread, d.name, d.entry, reinterpret_cast<ULONG_PTR>(agent),
                             memory + *used, stack_size, kSnmpDispatchPriority,
                             kSnmpDispatchPriority, TX_NO_TIME_SLICE, TX_AUTO_START));
        *used += stack_size;
        if (status != 0) {
            DebugPrint(d.failure, status);
            return status;
        }
    }
    return status;
}

void pmpp_udp_ip_thread_entry(ULONG_PTR input) {
    snmp_agent* agent = AgentOf(input);
    if (OpenUdp(agent) != 0) {
        return;
    }
    ReceiveLoop(agent, kSnmpLayerUdp, false);
}

void pmpp_tcp_ip_thread_entry(ULONG_PTR input) {
    tx_thread_sleep(kTcpDispatchDelay);
    ReceiveLoop(AgentOf(input), kSnmpLayerTcp, false);
}

void ppp_udp_ip_thread_entry(ULONG_PTR input) {
    snmp_agent* agent = AgentOf(input);
    if (OpenUdp(agent) != 0) {
        DebugPrint("ppp_udp_ip_thread_entry: failed to create socket\n");
        return;
    }
    ReceiveLoop(agent, kSnmpLayerUdp, true);
}

void ppp_tcp_ip_thread_entry(ULONG_PTR input) {
    tx_thread_sleep(kTcpDispatchDelay);
    ReceiveLoop(AgentOf(input), kSnmpLayerTcp, true);
}

int SnmpMessageReceive(snmp_agent* agent, const uint8_t* message, uint32_t length) {
    snmp_engine_lock("SnmpMessageReceive");
    std::memset(g_SnmpFields.context_engine_id, 0, kSnmpContextArea);
    std::memset(g_SnmpFields.context_name, 0, kSnmpContextArea);
    g_SnmpFields.pending_slot = kSnmpNoPendingSlot;
    db_count_snmp_in_pkts();
    int result = 0;
    uint32_t version = 0;
    if (snmp_message_version(message, length, &version)) {
        if (version != 0) {
            db_count_snmp_in_bad_versions();
        }
        if (ParseByVersion(agent, version, message, length)) {
            result = Dispatch(agent);
        }
    }
    // A request that got no response (unknown community, unserved PDU type, version 3...)
    // gives its slot back here; after a response this is a no-op.
    snmp_pending_release(&agent->pending, g_SnmpFields.pending_slot);
    snmp_engine_unlock("SnmpMessageReceive");
    return result;
}

int returnResponsePdu(snmp_agent* agent, uint32_t version, uint32_t security_model,
                      const char* community, uint32_t security_flags, const char* context_engine_id,
                      const char* context_name, uint32_t message_model, const snmp_pdu* pdu,
                      uint32_t pending_slot) {
    snmp_message_fields fields{};
    fields.version = version;
    fields.security_model = security_model;
    fields.security_flags = security_flags;
    fields.message_model = message_model;
    CopyText(fields.community, community, kSnmpCommunityArea);
    CopyText(fields.context_engine_id, context_engine_id, kSnmpContextArea);
    CopyText(fields.context_name, context_name, kSnmpContextArea);
    fields.pending_slot = pending_slot;
    snmp_reply reply{};
    int ok = 0;
    if (version == 0) {
        ok = snmpv1_prepare_response_message(&agent->pending, agent->transmit_buffer, &fields, pdu,
                                             &reply);
        if (!ok) {
            DebugPrintLevel1("returnResponsePdu: failed when snmpv1_prepare response  msg\n");
        }
    } else if (version == 1 || version == 2) {
        ok = snmpv2c_prepare_response_message(&agent->pending, agent->transmit_buffer, &fields, pdu,
                                              &reply);
    } else if (version == 3) {
        ok = snmpv3_prepare_response_message(&agent->pending, agent->transmit_buffer, &fields, pdu,
                                             &reply);
    } else {
        return 0;
    }
    if (!ok) {
        DebugPrintLevel1("returnResponsePdu: failed when prepare msg\n");
        return 0;
    }
    agent->reply_port = reply.port;
    std::memcpy(agent->reply_address, reply.address, 4);
    uint32_t length = reply.length;
    uint8_t* start = agent->transmit_buffer + (reply.message - agent->transmit_buffer);
    agent->net_driver(agent, kSnmpLayerUdp, kSnmpNetSend, start, &length);
    return 1;
}

int snmp_agent_null_callback(snmp_agent*, uint32_t, uint32_t, const char*, uint32_t, const char*,
                             const char*, uint32_t, snmp_pdu*, uint32_t) {
    return 0;
}
