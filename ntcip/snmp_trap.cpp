#include "ntcip/snmp_trap.h"

#include <cstring>

#include "ntcip/snmp_engine_lock.h"
#include "platform/kernel/tx_api.h"
#include "runtime/debug_print.h"

namespace {

const uint32_t kEnterprise[] = {1, 3, 6, 1, 4, 47};
constexpr uint32_t kLinkLayer = 1;
constexpr uint32_t kRadioHeader = 2;
constexpr uint32_t kUdpProtocol = 17;
constexpr uint32_t kAgentPort = 161;

snmp_trap_transports g_transports{};
uint32_t g_dropped = 0;

// The trap's varbind as a PDU varbind.
void FillVarbind(snmp_object* v, const trap_varbind& t) {
    v->name_length = t.name_length > kSnmpMaxNameLength ? kSnmpMaxNameLength : t.name_length;
    std::memcpy(v->name, t.name, v->name_length * sizeof(uint32_t));
    v->syntax = t.syntax;
    v->value_length = t.value_length;
    const uint32_t length =
        t.value_length > kSnmpValueArea - 1 ? kSnmpValueArea - 1 : t.value_length;
    switch (t.syntax) {
        case kSnmpInteger:
        case kSnmpCounter:
        case kSnmpGauge:
        case kSnmpTimeTicks:
            std::memcpy(&v->value[0], t.value, sizeof(uint32_t));
            v->value_length = 4;
            break;
        case kSnmpOctetString:
        case kSnmpIpAddress:
        case kSnmpOpaque:
            std::memcpy(v->octets(), t.value, length);
            v->octets()[length] = 0;
            break;
        case kSnmpObjectId:
            std::memcpy(v->value, t.value, length & ~3u);
            v->value_length = length / 4;
            break;
        default:
            DebugPrint("snmp_trap: trap varType error\n");
            break;
    }
}

void BuildPdu(snmp_pdu* pdu, const uint8_t agent_address[4], uint32_t generic, uint32_t specific,
              uint32_t count, const trap_varbind* varbinds) {
    pdu->type = kSnmpTrapV1;
    pdu->trap.enterprise_length = sizeof kEnterprise / sizeof kEnterprise[0];
    std::memcpy(pdu->trap.enterprise, kEnterprise, sizeof kEnterprise);
    std::memcpy(pdu->trap.agent_address, agent_address, 4);
    pdu->trap.generic_trap = generic;
    pdu->trap.time_stamp = static_cast<uint32_t>(tx_time_get() / 100u);
    pdu->trap.specific_trap = 0;
    pdu->count = 0;
    if (generic != 6) {
        return;
    }
    pdu->trap.specific_trap = specific;
    const uint32_t n = count > kTrapMaxVarbinds ? kTrapMaxVarbinds : count;
    for (uint32_t i = 0; i < n && varbinds != nullptr; ++i) {
        FillVarbind(&pdu->varbinds[i], varbinds[i]);
    }
    pdu->count = static_cast<int16_t>(varbinds != nullptr ? n : 0);
}

int Fail(const char* line) {
    DebugPrint("%s", line);
    return 0;
}

int EncodeEnvelope(asn1_context* ctx, const char* community, const uint8_t* end) {
    const uint8_t* mark = nullptr;
    if (!g_asn1_octets_encode(ctx, &mark, reinterpret_cast<const uint8_t*>(community),
                              static_cast<uint32_t>(strnlen(community, kSnmpCommunityArea - 1)))) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_encode secuityName\n");
    }
    if (!g_asn1_header_encode(ctx, mark, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString)) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_header_encode 1\n");
    }
    if (!g_asn1_uint_encode(ctx, &mark, 0)) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_unit_encode version\n");
    }
    if (!g_asn1_header_encode(ctx, mark, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger)) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_header_encode 2\n");
    }
    if (!g_asn1_header_encode(ctx, end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence)) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_herder_encode\n");
    }
    return 1;
}

int Deliver(snmp_agent* agent, uint32_t subnetwork, uint32_t trap_port, const uint8_t* message,
            uint32_t length, uint32_t port, const uint8_t address[4]) {
    int (*send)(const uint8_t*, uint32_t, uint32_t, const uint8_t*) = nullptr;
    switch (subnetwork) {
        case kTrapViaLink: {
            if (g_transports.prepare_link != nullptr) {
                g_transports.prepare_link(agent, trap_port);
            }
            uint32_t n = length;
            return agent->net_driver != nullptr
                       ? agent->net_driver(agent, kLinkLayer, kSnmpNetSend,
                                           const_cast<uint8_t*>(message), &n)
                       : -1;
        }
        case kTrapViaUdpClient:
            send = g_transports.udp_client_send_data;
            break;
        case kTrapViaTcpClient:
            send = g_transports.tcp_client_send_data;
            break;
        case kTrapViaTcpServer:
            if (g_transports.TcpServerTrapSend != nullptr) {
                return g_transports.TcpServerTrapSend(message, length);
            }
            ++g_dropped;
            return -1;
        default:
            DebugPrint("sendTrapPdu: error no subnetwork specified\n");
            return -1;
    }
    if (send == nullptr) {
        ++g_dropped;
        return -1;
    }
    return send(message, length, port, address);
}

}  // namespace

void snmp_trap_set_transports(const snmp_trap_transports& transports) {
    g_transports = transports;
}

uint32_t snmp_trap_dropped() {
    return g_dropped;
}

void snmp_trap_radio_fields(uint8_t out[kTrapRadioFieldsSize], const uint8_t remote_address[4],
                            uint32_t trap_port, uint32_t remote_lid) {
    out[0] = kRadioHeader;
    std::memcpy(out + 1, remote_address, 4);
    out[5] = kUdpProtocol;
    std::memset(out + 6, 0, 5);
    out[11] = static_cast<uint8_t>(kAgentPort >> 8);
    out[12] = static_cast<uint8_t>(kAgentPort);
    out[13] = static_cast<uint8_t>(trap_port >> 8);
    out[14] = static_cast<uint8_t>(trap_port);
    uint32_t lid = remote_lid % 100000u;
    DebugPrintLevel1("Remote LID = %d  ", static_cast<int>(remote_lid));
    for (int digit = 4; digit >= 0; --digit) {
        out[15 + digit] = static_cast<uint8_t>('0' + lid % 10u);
        lid /= 10u;
    }
    DebugPrintLevel1("%d %d %d %d %d\r\n", out[15], out[16], out[17], out[18], out[19]);
}

int snmpv1_prepare_trap_message(snmp_agent* agent, uint32_t trap_port,
                                const uint8_t agent_address[4], uint32_t message_model,
                                uint32_t security_model, const char* community,
                                uint32_t security_level, const char*, const void* pdu_version,
                                const snmp_pdu* pdu, uint32_t* port, uint8_t address[4],
                                const uint8_t** message, uint32_t* length) {
    if (message_model != 0) {
        return Fail("snmpv1_prepare_trap_message: error in messageProcessingModel\n");
    }
    if (security_model > 1) {
        return Fail("snmpv1_prepare_trap_message: error in securityModel\n");
    }
    if (security_level != 0) {
        return Fail("snmpv1_prepare_trap_message: error in securityLevel\n");
    }
    if (pdu_version != nullptr) {
        return Fail("snmpv1_prepare_trap_message: error in pduVersion\n");
    }
    asn1_context ctx;
    g_asn1_open(&ctx, agent->transmit_buffer, kSnmpMessageBufferSize, 0);
    const uint8_t* end = nullptr;
    if (!g_asn1_eoc_encode(&ctx, &end)) {
        DebugPrint("snmpv1_prepare_trap_message: error g_asn1_eoc_encode \n");
    }
    if (!g_snmp_pdu_v1_encode(&ctx, pdu)) {
        return Fail("snmpv1_prepare_trap_message: error in g_asn1_pdu_v1_encode\n");
    }
    if (!EncodeEnvelope(&ctx, community != nullptr ? community : kTrapDefaultCommunity, end)) {
        return 0;
    }
    g_asn1_close(&ctx, message, length);
    *port = trap_port == 0 ? kTrapDefaultPort : trap_port;
    std::memcpy(address, agent_address, 4);
    return 1;
}

int sendPduTrap(snmp_agent* agent, uint32_t subnetwork, uint32_t trap_port,
                const uint8_t agent_address[4], uint32_t version, uint32_t security_model,
                const char* community, uint32_t security_level, const char* context_engine_id,
                const void* pdu_version, const snmp_pdu* pdu) {
    if (version != 0) {
        DebugPrint("sendPduTrap: Unknown snmp version not supported\n");
        return -1;
    }
    uint32_t port = 0;
    uint8_t address[4] = {};
    const uint8_t* message = nullptr;
    uint32_t length = 0;
    if (!snmpv1_prepare_trap_message(agent, trap_port, agent_address, 0, security_model, community,
                                     security_level, context_engine_id, pdu_version, pdu, &port,
                                     address, &message, &length)) {
        DebugPrint("sendPduTrap: Message processing failed!\n");
        return -1;
    }
    Deliver(agent, subnetwork, trap_port, message, length, port, address);
    return 1;
}

int snmp_trap(snmp_agent* agent, uint32_t subnetwork, uint32_t trap_port,
              const uint8_t agent_address[4], uint32_t, uint32_t, const char* community, uint32_t,
              const char*, const char*, uint32_t, uint32_t generic, uint32_t specific,
              uint32_t count, const trap_varbind* varbinds) {
    if (agent == nullptr) {
        DebugPrint("snmp_trap: invalid snmp agent pointer\n");
        return 0;
    }
    // The PDU work area (about 400 KB) and the transmit buffer are the engine's.
    static snmp_pdu pdu;
    snmp_engine_lock("snmp_trap");
    BuildPdu(&pdu, agent_address, generic, specific, count, varbinds);
    const char* name =
        community != nullptr && community[0] != 0 ? community : kTrapDefaultCommunity;
    const int result =
        sendPduTrap(agent, subnetwork, trap_port, agent_address, 0, 0, name, 0, "", nullptr, &pdu);
    snmp_engine_unlock("snmp_trap");
    return result;
}
