// Encodes the log-full trap as the controller would: class 12 filled to 90 % of its
// limit, CEventLogging::CheckLogFull queues the trap, the queued record goes through
// snmp_trap to a UDP trap transport that prints the message as hex on standard output.

#include <cstdio>
#include <cstring>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/time_registers.h"
#include "ntcip/event_logging.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_trap.h"
#include "ntcip/trap_buffer.h"
#include "runtime/debug_print.h"

namespace {

int PrintMessage(const uint8_t* message, uint32_t length, uint32_t, const uint8_t*) {
    for (uint32_t i = 0; i < length; ++i) {
        std::printf("%02x", message[i]);
    }
    std::printf("\n");
    return 0;
}

void Quiet(const char*) {}

}  // namespace

int main() {
    DebugSetSink(Quiet);
    MibInit(nullptr);
    static MemoryTimeRegisters clock;
    g_DataBase.SetTimeRegisters(&clock);
    const DbObject& t = dbo::globalTime;
    g_DataBase.SetRegisterTime(t.id, t.width, 1234567, t.image, 0);
    const char location[] = "I-95 NB MM 12";
    g_DataBase.SetText(dbo::sysLocation, location, sizeof location - 1, kDbReplayFlags);
    g_DataBase.Set(dbo::maxEventClasses, 16, kDbReplayFlags);
    g_DataBase.Set(dbo::eventClassLimit, 10, kDbReplayFlags, 11);
    for (uint32_t k = 0; k < 9; ++k) {
        g_DataBase.Set(dbo::eventLogTime, 1000 + k, kDbReplayFlags, 255 * 11 + k);
    }
    g_DataBase.Set(dbo::eventClassNumRowsInLog, 9, kDbReplayFlags, 11);

    CEventLogging engine;
    engine.CheckLogFull();
    static trap_record record;
    if (!g_TrapBuffer.Pop(&record)) {
        std::fprintf(stderr, "no trap queued\n");
        return 1;
    }
    snmp_trap_transports transports{};
    transports.udp_client_send_data = &PrintMessage;
    snmp_trap_set_transports(transports);
    static uint8_t transmit[kSnmpMessageBufferSize];
    static snmp_agent agent;
    agent.transmit_buffer = transmit;
    const uint8_t address[4] = {127, 0, 0, 1};
    const int sent =
        snmp_trap(&agent, kTrapViaUdpClient, 0, address, 0, 0, nullptr, 0, "", "", 0,
                  record.generic_trap, record.specific_trap, record.varbind_count, record.varbinds);
    return sent == 1 ? 0 : 1;
}
