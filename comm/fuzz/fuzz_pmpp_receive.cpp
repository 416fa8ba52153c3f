// Feeds arbitrary octets through a PMPP link's whole receive path (ring, frame assembly, FCS,
// addressing, polls, SNMP messages in 0xC1 frames, IP packets joined from 0x21 frames) to an
// agent whose processing is a stub that answers every decoded request. The first octet picks
// the station address; the link's counts and indices must stay within their buffers.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "comm/pmpp_link.h"
#include "comm/snmp_over_pmpp.h"
#include "ntcip/snmp_agent.h"
#include "platform/kernel/kernel.h"
#include "runtime/debug_print.h"

namespace {

snmp_agent g_agent;
PmppLink g_link;
alignas(16) uint8_t g_memory[32768];
alignas(16) uint8_t g_poolMemory[0x20000];
NX_PACKET_POOL g_pool;
const uint8_t* g_input = nullptr;
size_t g_left = 0;
uint32_t g_sent = 0;

void Quiet(const char*) {}

int GetChar(uint8_t* octet) {
    if (g_left == 0) {
        return 0;
    }
    *octet = *g_input++;
    --g_left;
    return 1;
}

void PutChar(uint8_t octet) {
    g_sent += octet & 1;
}

// Answers every request it is given, whatever the PDU.
int Stub(snmp_agent* agent, uint32_t version, uint32_t model, const char* community, uint32_t flags,
         const char* engine, const char* context, uint32_t message_model, snmp_pdu* pdu,
         uint32_t slot) {
    return returnResponsePdu(agent, version, model, community, flags, engine, context,
                             message_model, pdu, slot);
}

kernel::Kernel* Boot() {
    DebugSetSink(Quiet);
    static auto k = std::make_unique<kernel::Kernel>();
    k->Start([](void*) {
        snmp_entry();
        PmppAttachAgent(&g_agent, &g_link);
        uint32_t used = 0;
        const uint8_t address[4] = {10, 0, 2, 15};
        snmp_agent_create(&g_agent, "pmpp", 1161, 1162, address, g_memory, &used, 2048, Stub,
                          snmp_agent_null_callback, snmp_pmpp_net_drv, nullptr, nullptr);
        g_link.callbacks = {PutChar, GetChar, nullptr};
        nx_packet_pool_create(&g_pool, "NetX", 1568, g_poolMemory, sizeof g_poolMemory);
        StartPmppIp(&g_pool, 0);
    });
    k->Advance(1);
    return k.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kernel::Kernel* k = Boot();
    if (size < 1 || size > 3 * kPmppMaxFrame) {
        return 0;
    }
    g_link.stationAddress = data[0];
    g_input = data + 1;
    g_left = size - 1;
    tx_event_flags_set(g_link.workerEvents, g_link.workerBit, TX_OR);
    k->Advance(0);
    k->Advance(101);  // the time-out drops whatever frame is left open
    if (g_link.frameLength != 0 || g_link.ringCount != 0 ||
        g_link.txLength > kPmppFrameBufferSize || g_link.pollReplyLength > kPmppFrameBufferSize ||
        g_link.frameIndex > kPmppFrameBufferSize) {
        __builtin_trap();
    }
    return 0;
}
