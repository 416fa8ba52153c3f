// Feeds arbitrary datagrams through SnmpMessageReceive to request processing and the MIB,
// with a driver that records what would be sent. The first octet selects compatibility
// mode; the rest is the datagram.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_compat.h"
#include "ntcip/snmp_process.h"
#include "runtime/debug_print.h"

namespace {

snmp_agent g_agent;
uint8_t g_transmit[kSnmpMessageBufferSize];
uint8_t g_receive[kSnmpMessageBufferSize];
uint32_t g_sent = 0;

void Quiet(const char*) {}

int RecordingDriver(snmp_agent*, uint32_t, uint32_t operation, uint8_t* buffer, uint32_t* length) {
    if (operation == kSnmpNetSend) {
        // Touch every octet handed over, so a length past the buffer is caught.
        uint32_t sum = 0;
        for (uint32_t i = 0; i < *length; ++i)
            sum += buffer[i];
        g_sent += sum & 1;
    }
    return 0;
}

bool Setup() {
    DebugSetSink(Quiet);
    const char admin[] = "public";
    g_DataBase.SetText(dbo::communityNameAdmin, admin, sizeof admin - 1, kDbReplayFlags);
    const char user[] = "user";
    g_DataBase.SetText(dbo::communityNameUser, user, sizeof user - 1, kDbReplayFlags);
    g_DataBase.Set(dbo::communityNameAccessMask, 0x1, kDbReplayFlags);
    MibInit(nullptr);
    std::strcpy(g_agent.name, "pmpp");
    g_agent.transmit_buffer = g_transmit;
    g_agent.receive_buffer = g_receive;
    g_agent.process = snmp_process;
    g_agent.second = snmp_agent_null_callback;
    g_agent.net_driver = RecordingDriver;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Setup();
    if (!ready || size < 1 || size > kSnmpMessageBufferSize + 1) {
        return 0;
    }
    snmp_compatibility_mode_set(data[0] & 1);
    std::vector<uint8_t> message(data + 1, data + size);
    SnmpMessageReceive(&g_agent, message.data(), static_cast<uint32_t>(message.size()));
    // Every path gives its pending slot back.
    if (snmp_pending_in_use(&g_agent.pending) != 0) {
        __builtin_trap();
    }
    return 0;
}
