// A central system's set of dmsActivateMessage, in process: the datagram through the agent (both
// passes), the sign-control handler, the display's activation checks and the trial render of a
// three-page message on a 48 x 192 RGB sign, and the response. Budget: 20 ms a set.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/factory_defaults.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/display.h"
#include "display/q2_display_driver.h"
#include "display/tests/sign_fixture.h"
#include "ntcip/mib_engine.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "platform/kernel/kernel.h"
#include "render/msg_activation_code.h"
#include "render/render_sign_store.h"
#include "runtime/gp_buffer.h"
#include "runtime/post_office.h"

namespace {

constexpr uint32_t kHeight = 48;
constexpr uint32_t kWidth = 192;
const char kAdmin[] = "quartermaster";

snmp_agent g_agent;
uint8_t g_transmit[kSnmpMessageBufferSize];
uint8_t g_receive[kSnmpMessageBufferSize];
uint32_t g_sent = 0;
bool g_measured = false;

int CountingDriver(snmp_agent*, uint32_t, uint32_t operation, uint8_t*, uint32_t*) {
    g_sent += operation == kSnmpNetSend ? 1 : 0;
    return 0;
}

std::vector<uint8_t> Tlv(uint8_t tag, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> out{tag};
    if (value.size() >= 0x80) {
        out.push_back(0x81);
    }
    out.push_back(static_cast<uint8_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

// A version 1 set of dmsActivateMessage.0 to the code.
std::vector<uint8_t> ActivationSet(const CMsgActivationCode& code) {
    const std::vector<uint8_t> name = {0x2B, 6, 1, 4, 1, 0x89, 0x36, 4, 2, 3, 6, 3, 0};
    std::vector<uint8_t> varbind = Tlv(0x06, name);
    const std::vector<uint8_t> value = Tlv(0x04, std::vector<uint8_t>(code.raw, code.raw + 12));
    varbind.insert(varbind.end(), value.begin(), value.end());
    std::vector<uint8_t> pdu = {0x02, 1, 7, 0x02, 1, 0, 0x02, 1, 0};
    const std::vector<uint8_t> list = Tlv(0x30, Tlv(0x30, varbind));
    pdu.insert(pdu.end(), list.begin(), list.end());
    std::vector<uint8_t> message = {0x02, 1, 0};
    const std::vector<uint8_t> community =
        Tlv(0x04, std::vector<uint8_t>(kAdmin, kAdmin + sizeof kAdmin - 1));
    message.insert(message.end(), community.begin(), community.end());
    const std::vector<uint8_t> body = Tlv(0xA3, pdu);
    message.insert(message.end(), body.begin(), body.end());
    return Tlv(0x30, message);
}

void StoreMessage(uint32_t slot, const std::string& text, uint16_t crc) {
    g_DataBase.SetText(dbo::dmsMessageMultiString, text.data(), uint32_t(text.size()),
                       kDbSkipValidation, slot);
    g_DataBase.Set(dbo::dmsMessageCRC, crc, kDbSkipValidation, slot);
    g_DataBase.Set(dbo::dmsMessageStatus, 4, kDbSkipValidation, slot);
    g_DataBase.Set(dbo::dmsMessageRunTimePriority, 1, kDbSkipValidation, slot);
}

CMsgActivationCode Code(uint16_t number, uint16_t crc) {
    CMsgActivationCode code;
    code.duration = 65535;
    code.priority = 255;
    code.memoryType = 3;
    code.messageNumber = number;
    code.crc = crc;
    const uint8_t address[4] = {127, 0, 0, 1};
    std::memcpy(code.sourceAddress, address, 4);
    code.Pack();
    return code;
}

// The measured loop, on a kernel thread: the activation waits for its "Activate Msg" lock, which
// start-up context may not do.
void Measure(benchmark::State& state) {
    CQ2DisplayDriver driver;
    CDisplay display(g_PostOffice, nullptr);
    display.SetSignDriver(&driver);
    g_DataBase.Set(dbo::brenModuleID, 116, 0);
    display.BuildDisplayConfiguration(kHeight, kWidth, 15);
    if (display.CurrentDriver() == nullptr || display.FaceCount() != 1) {
        state.SkipWithError("no sign");
        g_measured = true;
        return;
    }
    g_Display = &display;
    snmp_process_hooks hooks = snmp_process_get_hooks();
    hooks.activate_requested_message = [] { return display_activate_requested_message() ? 1 : 0; };
    snmp_process_set_hooks(hooks);
    MibInit(nullptr);
    std::strcpy(g_agent.name, "ethernet");
    g_agent.transmit_buffer = g_transmit;
    g_agent.receive_buffer = g_receive;
    g_agent.process = snmp_process;
    g_agent.second = snmp_agent_null_callback;
    g_agent.net_driver = CountingDriver;
    // Two three-page messages, activated in turn, so that each set changes the message.
    StoreMessage(0,
                 "[pt20o3][flt4o2]FLASH[/fl] ONE[nl]SECOND LINE[np][pt20o3]PAGE "
                 "[flt2o2]TWO[/fl][np][pt20o3][jl3][flt3o3]THREE[/fl]",
                 0x1111);
    StoreMessage(1, "FIRST PAGE[nl]OF TWO LINES[np]SECOND[np][jl4]THIRD PAGE", 0x2222);
    const std::vector<uint8_t> sets[2] = {ActivationSet(Code(1, 0x1111)),
                                          ActivationSet(Code(2, 0x2222))};
    std::vector<uint8_t> message;
    uint32_t n = 0;
    uint32_t refused = 0;
    uint32_t changed = 0;  // sets after which the sign's message is the one just activated
    for (auto _ : state) {
        message = sets[n++ & 1u];
        SnmpMessageReceive(&g_agent, message.data(), static_cast<uint32_t>(message.size()));
        refused += g_DataBase.Get(dbo::dmsActivateMsgError) != CDisplay::kErrorNone ? 1 : 0;
        uint8_t source[5] = {};
        g_DataBase.ReadString(dbo::dmsMsgTableSource.id, dbo::dmsMsgTableSource.image, source,
                              sizeof source);
        changed += source[2] == ((n - 1u) & 1u) + 1u ? 1 : 0;
    }
    state.counters["shown"] = changed;
    state.counters["refused"] = refused;
    state.counters["answered"] = g_sent;
    snmp_process_set_hooks({});
    g_Display = nullptr;
    g_measured = true;
}

void BM_SignActivationSet(benchmark::State& state) {
    sign_test::SignFixture board;
    CRenderSignStore fonts(RenderSignGeometry{int32_t(kWidth), int32_t(kHeight)});
    g_DataBase.SetNotificationEnabled(false);
    g_DataBase.SetValidationEnabled(false);
    dms_factory_defaults(g_DataBase, kDefaultsFirstStart);
    private_factory_defaults(g_DataBase, kDefaultsFirstStart);
    global_factory_defaults(g_DataBase, kDefaultsFirstStart);
    dms_volatile_defaults(g_DataBase);
    private_volatile_defaults(g_DataBase);
    g_DataBase.SetValidationEnabled(true);
    g_DataBase.SetText(dbo::communityNameAdmin, kAdmin, sizeof kAdmin - 1, kDbReplayFlags);
    DebugSetSink([](const char*) {});
    {
        kernel::Kernel k;
        TX_THREAD thread{};
        std::vector<uint8_t> stack(0x8000);
        benchmark::State* measured = &state;
        k.Start([&](void* memory) {
            std::destroy_at(&g_GpBuffer);
            std::construct_at(&g_GpBuffer);
            uint8_t* next = static_cast<uint8_t*>(memory);
            g_GpBuffer.Create(&next, 0x101000);
            tx_thread_create(
                &thread, "bench",
                [](ULONG_PTR input) { Measure(*reinterpret_cast<benchmark::State*>(input)); },
                reinterpret_cast<ULONG_PTR>(measured), stack.data(),
                static_cast<ULONG>(stack.size()), 10, 10, 0, TX_AUTO_START);
        });
        // The sign driver's start waits on the clock: step it until the loop is done.
        for (int tick = 0; tick < 100000 && !g_measured; ++tick) {
            k.Advance(1);
        }
    }
    std::destroy_at(&g_GpBuffer);
    std::construct_at(&g_GpBuffer);
    DebugSetSink(nullptr);
}
BENCHMARK(BM_SignActivationSet)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
