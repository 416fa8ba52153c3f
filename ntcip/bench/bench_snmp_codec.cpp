// Decode plus encode of a 50-varbind version-2c get request and its response.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ntcip/snmp_message.h"

namespace {

// A GetRequest for 50 dmsMessageMultiString instances, as a manager sends it.
std::vector<uint8_t> FiftyVarbindGet() {
    auto pdu = std::make_unique<snmp_pdu>();
    pdu->type = kSnmpGetRequest;
    pdu->request = {0x1DE3D825, 0, 0};
    pdu->count = kSnmpMaxVarbinds;
    const uint32_t prefix[] = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 3};
    for (int i = 0; i < pdu->count; ++i) {
        snmp_object& object = pdu->varbinds[i];
        std::memcpy(object.name, prefix, sizeof prefix);
        object.name[15] = static_cast<uint32_t>(i + 1);
        object.name_length = 16;
        object.syntax = kSnmpNull;
        object.value_length = 0;
    }
    std::vector<uint8_t> buffer(kSnmpMessageBufferSize);
    asn1_context ctx;
    g_asn1_open(&ctx, buffer.data(), kSnmpMessageBufferSize, 0);
    const uint8_t* end = nullptr;
    const uint8_t* value_end = nullptr;
    const uint8_t community[] = "public";
    g_asn1_eoc_encode(&ctx, &end);
    g_snmp_pdu_v2_encode(&ctx, pdu.get());
    g_asn1_octets_encode(&ctx, &value_end, community, 6);
    g_asn1_header_encode(&ctx, value_end, kAsn1Universal, kAsn1Primitive, kAsn1TagOctetString);
    g_asn1_uint_encode(&ctx, &value_end, 1);
    g_asn1_header_encode(&ctx, value_end, kAsn1Universal, kAsn1Primitive, kAsn1TagInteger);
    g_asn1_header_encode(&ctx, end, kAsn1Universal, kAsn1Constructed, kAsn1TagSequence);
    const uint8_t* start = nullptr;
    uint32_t length = 0;
    g_asn1_close(&ctx, &start, &length);
    return std::vector<uint8_t>(start, start + length);
}

const uint8_t kLoopback[4] = {127, 0, 0, 1};

void BM_Decode50(benchmark::State& state) {
    const std::vector<uint8_t> request = FiftyVarbindGet();
    auto pdu = std::make_unique<snmp_pdu>();
    snmp_pending_table pending{};
    snmp_message_fields fields{};
    for (auto _ : state) {
        if (!snmpv2c_parse_message(&pending, 161, kLoopback, request.data(),
                                   static_cast<uint32_t>(request.size()), &fields, pdu.get())) {
            state.SkipWithError("decode failed");
            break;
        }
        snmp_pending_release(&pending, fields.pending_slot);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * request.size()));
}
BENCHMARK(BM_Decode50);

void BM_DecodeEncode50(benchmark::State& state) {
    const std::vector<uint8_t> request = FiftyVarbindGet();
    auto pdu = std::make_unique<snmp_pdu>();
    std::vector<uint8_t> transmit(kSnmpMessageBufferSize);
    snmp_pending_table pending{};
    snmp_message_fields fields{};
    snmp_reply reply{};
    for (auto _ : state) {
        if (!snmpv2c_parse_message(&pending, 161, kLoopback, request.data(),
                                   static_cast<uint32_t>(request.size()), &fields, pdu.get())) {
            state.SkipWithError("decode failed");
            break;
        }
        pdu->type = kSnmpGetResponse;
        for (int i = 0; i < pdu->count; ++i) {
            pdu->varbinds[i].syntax = kSnmpInteger;
            pdu->varbinds[i].value[0] = static_cast<uint32_t>(i * 1000);
            pdu->varbinds[i].value_length = 4;
        }
        if (!snmpv2c_prepare_response_message(&pending, transmit.data(), &fields, pdu.get(),
                                              &reply)) {
            state.SkipWithError("encode failed");
            break;
        }
        benchmark::DoNotOptimize(reply.message);
    }
}
BENCHMARK(BM_DecodeEncode50);

}  // namespace

BENCHMARK_MAIN();
