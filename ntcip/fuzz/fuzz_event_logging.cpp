// Arbitrary stored OID bytes (as SCRIPT.XML or the web may write them) through
// CEventLogging::GetCompareValue and CEventLogging::Log: the watched and the
// recorded object names come from the input; no read may leave its buffer.

#include <cstddef>
#include <cstdint>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/time_registers.h"
#include "ntcip/event_logging.h"
#include "ntcip/mib_engine.h"
#include "runtime/debug_print.h"

namespace {

MemoryTimeRegisters g_clock;

void Quiet(const char*) {}

bool Setup() {
    DebugSetSink(Quiet);
    MibInit(nullptr);
    g_DataBase.SetTimeRegisters(&g_clock);
    g_DataBase.Set(dbo::eventConfigClass, 1, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::eventConfigMode, 2, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::eventConfigAction, 3, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::eventClassLimit, 3, kDbReplayFlags, 0);
    g_DataBase.Set(dbo::maxEventClasses, 16, kDbReplayFlags);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = Setup();
    static CEventLogging engine;
    if (!ready || size > 2000) {
        return 0;
    }
    const auto length = static_cast<uint32_t>(size);
    int failed = 0;
    static_cast<void>(engine.GetCompareValue(data, length, &failed));
    g_DataBase.SetText(dbo::eventConfigCompareOID, data, length, kDbReplayFlags, 0);
    g_DataBase.SetText(dbo::eventConfigLogOID, data, length, kDbReplayFlags, 0);
    engine.Log(0);
    engine.Process();
    return 0;
}
