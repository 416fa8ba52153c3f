#pragma once
// Requests built and responses decoded with the codec, for tests and benchmarks.

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ntcip/snmp_message.h"

namespace snmp_test {

using Bytes = std::vector<uint8_t>;

// A decoded message (request or response).
struct Decoded {
    snmp_message_fields fields{};
    std::unique_ptr<snmp_pdu> pdu = std::make_unique<snmp_pdu>();
};

inline std::optional<Decoded> Decode(const Bytes& message) {
    Decoded out;
    snmp_pending_table pending{};
    const uint8_t address[4] = {127, 0, 0, 1};
    uint32_t version = 0;
    const auto length = static_cast<uint32_t>(message.size());
    if (!snmp_message_version(message.data(), length, &version)) {
        return std::nullopt;
    }
    const int ok = version == 0 ? snmpv1_parse_message(&pending, 161, address, message.data(),
                                                       length, &out.fields, out.pdu.get())
                                : snmpv2c_parse_message(&pending, 161, address, message.data(),
                                                        length, &out.fields, out.pdu.get());
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

struct Varbind {
    std::vector<uint32_t> name;
    uint16_t syntax = kSnmpNull;
    uint32_t integer = 0;
    std::string octets;
};

// A request of version 0 (v1) or 1 (v2c) encoded by the codec.
inline Bytes Request(uint32_t version, const std::string& community, uint32_t type,
                     const std::vector<Varbind>& varbinds, uint32_t request_id = 77) {
    auto pdu = std::make_unique<snmp_pdu>();
    pdu->type = type;
    pdu->request.request_id = request_id;
    pdu->count = static_cast<int16_t>(varbinds.size());
    for (size_t i = 0; i < varbinds.size(); ++i) {
        snmp_object& v = pdu->varbinds[i];
        std::copy(varbinds[i].name.begin(), varbinds[i].name.end(), v.name);
        v.name_length = static_cast<uint32_t>(varbinds[i].name.size());
        v.syntax = varbinds[i].syntax;
        if (v.syntax == kSnmpOctetString) {
            std::memcpy(v.octets(), varbinds[i].octets.data(), varbinds[i].octets.size());
            v.value_length = static_cast<uint32_t>(varbinds[i].octets.size());
        } else if (v.syntax != kSnmpNull) {
            v.value[0] = varbinds[i].integer;
            v.value_length = 4;
        }
    }
    snmp_message_fields fields{};
    fields.version = version;
    fields.message_model = version == 0 ? 0 : 2;
    std::strncpy(fields.community, community.c_str(), kSnmpCommunityArea - 1);
    snmp_pending_table pending{};
    const uint8_t address[4] = {127, 0, 0, 1};
    snmp_pending_alloc(&pending, 0, 161, address, &fields.pending_slot);
    std::vector<uint8_t> transmit(kSnmpMessageBufferSize);
    snmp_reply reply{};
    const int ok = version == 0 ? snmpv1_prepare_response_message(&pending, transmit.data(),
                                                                  &fields, pdu.get(), &reply)
                                : snmpv2c_prepare_response_message(&pending, transmit.data(),
                                                                   &fields, pdu.get(), &reply);
    return ok ? Bytes(reply.message, reply.message + reply.length) : Bytes{};
}

inline std::vector<uint32_t> Name(const snmp_object& object) {
    return std::vector<uint32_t>(object.name, object.name + object.name_length);
}

inline std::string Text(const snmp_object& object) {
    return std::string(reinterpret_cast<const char*>(object.octets()), object.value_length);
}

}  // namespace snmp_test
