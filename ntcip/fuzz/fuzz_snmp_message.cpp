// Feeds arbitrary datagrams to the message decoders and answers what decodes.
// The first octet selects compatibility mode; the rest is the message.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ntcip/snmp_compat.h"
#include "ntcip/snmp_message.h"
#include "runtime/debug_print.h"

namespace {

snmp_pdu g_pdu;
snmp_pending_table g_pending;
uint8_t g_transmit[kSnmpMessageBufferSize];

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kSnmpMessageBufferSize + 1) {
        return 0;
    }
    DebugSetSink(Quiet);
    snmp_compatibility_mode_set(data[0] & 1);
    // An exact-size copy, so that any read past the message is caught.
    std::vector<uint8_t> message(data + 1, data + size);
    const uint32_t length = static_cast<uint32_t>(message.size());
    const uint8_t address[4] = {127, 0, 0, 1};

    uint32_t version = 0;
    if (!snmp_message_version(message.data(), length, &version)) {
        return 0;
    }
    snmp_message_fields fields;
    std::memset(&fields, 0, sizeof fields);
    int ok = 0;
    if (version == 0) {
        ok =
            snmpv1_parse_message(&g_pending, 161, address, message.data(), length, &fields, &g_pdu);
    } else if (version == 1 || version == 2) {
        ok = snmpv2c_parse_message(&g_pending, 161, address, message.data(), length, &fields,
                                   &g_pdu);
    } else if (version == 3) {
        ok =
            snmpv3_parse_message(&g_pending, 161, address, message.data(), length, &fields, &g_pdu);
    }
    if (ok && fields.pending_slot != kSnmpNoPendingSlot) {
        fields.version = version;
        g_pdu.type = kSnmpGetResponse;
        snmp_reply reply;
        if (version == 0) {
            snmpv1_prepare_response_message(&g_pending, g_transmit, &fields, &g_pdu, &reply);
        } else if (version == 3) {
            fields.message_model = 2;
            snmpv3_prepare_response_message(&g_pending, g_transmit, &fields, &g_pdu, &reply);
        } else {
            snmpv2c_prepare_response_message(&g_pending, g_transmit, &fields, &g_pdu, &reply);
        }
        snmp_pending_release(&g_pending, fields.pending_slot);
    }
    if (snmp_pending_in_use(&g_pending) != 0) {
        __builtin_trap();  // a slot outlived its request
    }
    return 0;
}
