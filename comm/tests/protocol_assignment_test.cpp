// Interfaces bound to ports from the protocol settings: Configure's rows and claims, switching
// between PMPP and PPP, the radio-mode transition and the Ethernet codes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "comm/comm_database.h"
#include "comm/comm_task.h"
#include "comm/ntcip_interface.h"
#include "comm/ntcip_transports.h"
#include "comm/tests/serial_fixture.h"

namespace {

using testing_support::Captured;

class ProtocolAssignmentTest : public testing_support::SerialBoardTest {
protected:
    ProtocolAssignmentTest() {
        db_.SetValidationEnabled(false);
        db_.Set(dbo::brenCommConfigProtocol, 2, 0, 0);
        db_.Set(dbo::brenCommConfigProtocol, 11, 0, 4);
        db_.Set(dbo::rs232PortInSpeed, 9600, 0, 0);
        db_.Set(dbo::brenhdlcAddress, 7, 0);
        db_.Set(dbo::brenCommConfigInnerCharTimeout, 30, 0, 0);
        db_.Set(dbo::brenCommConfigInnerCharTimeout, 40, 0, 4);
        db_.SetValidationEnabled(true);
        BuildTransports();
        CommSetDatabase(&db_);
    }
    ~ProtocolAssignmentTest() override {
        Shutdown();
        CommSetDatabase(nullptr);
        EndTransports();
    }

    void Start() {
        BootBoard([](uint8_t* next) { EXPECT_EQ(InitNtcipTransports(&next), 0); });
    }
    void Reconfigure() {
        InThread([] { comm_task::ReconfigurePorts(); });
    }
    static CommInterfaceEntry& RowOf(const char* name) { return CNTCIP::Row(FindPortByName(name)); }
    static const LinkCallbacks& CallbacksOf(const char* name) {
        CommInterfaceEntry& row = RowOf(name);
        switch (row.kind) {
            case kKindPmpp:
                return row.interface->pmpp.callbacks;
            case kKindPpp:
                return row.interface->ppp.callbacks;
            default:
                return row.interface->ethernet.callbacks;
        }
    }
    static bool Detached(const char* name) {
        const LinkCallbacks& c = CallbacksOf(name);
        return c.putChar == &NonePutChar && c.getChar == &NoneGetChar &&
               c.sendFrame == &NoneSendFrame;
    }
    static bool OnCcp(const char* name) { return CallbacksOf(name).putChar == &CcpPortPutChar; }

    CDataBase db_{0x10000};
};

TEST_F(ProtocolAssignmentTest, StartUpCreatesTheSixAgentsAndBindsTheFactoryProtocols) {
    Start();
    ASSERT_EQ(CNTCIP::RowCount(), 6u);
    const char* names[] = {"ccp_pmpp",     "ccp_ppp",      "ethernet_pmpp",
                           "ethernet_ppp", "ethernet_tcp", "ethernet_udp"};
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(FindPortByName(names[i]), i);
        EXPECT_EQ(CNTCIP::Row(i).trapBuffer, &g_TrapBuffer);
    }
    EXPECT_EQ(FindPortByName("nobody"), CNTCIP::kNoRow);
    EXPECT_TRUE(OnCcp("ccp_pmpp"));
    EXPECT_TRUE(Detached("ccp_ppp"));
    EXPECT_EQ(CallbacksOf("ethernet_udp").sendFrame, &UdpPortSendFrame);
    EXPECT_EQ(CallbacksOf("ethernet_tcp").sendFrame, &TcpPortSendFrame);
    EXPECT_EQ(PortClaimMask(), 0x31u);
    EXPECT_EQ(CcpSerialDriver().RxCallback(), &PortRxNotify);
    EXPECT_EQ(RowOf("ccp_pmpp").interface->pmpp.stationAddress, 7u);
    EXPECT_EQ(RowOf("ccp_pmpp").interface->pmpp.commTimeout, 30u);
    EXPECT_EQ(RowOf("ethernet_ppp").interface->ppp.commTimeout, 40u);
    EXPECT_TRUE(RowOf("ccp_ppp").interface->ppp.chap);
    EXPECT_EQ(RowOf("ccp_pmpp").interface->agent.port, 1161);
    EXPECT_EQ(RowOf("ethernet_udp").interface->agent.port, 161);
    EXPECT_EQ(PanelSerialDriver().RxSize(), kPanelRingSize);

    // Bytes of the PMPP link reach the wire; received bytes wake its worker.
    TX_EVENT_FLAGS_GROUP worker{};
    InThread([&] {
        tx_event_flags_create(&worker, "worker");
        CNTCIP* pmpp = RowOf("ccp_pmpp").interface;
        pmpp->pmpp.workerEvents = &worker;
        pmpp->pmpp.workerBit = 0x4;
        CNTCIP::Configure("ccp_pmpp", kCommPortCcp);
        pmpp->pmpp.callbacks.putChar('P');
    });
    Advance(1);
    EXPECT_EQ(pipe_->Collect(), std::vector<uint8_t>{'P'});
    pipe_->Inject("Q", 1);
    Advance(1);
    EXPECT_EQ(worker.tx_event_flags_group_current & 0x4, 0x4u);
    uint8_t byte = 0;
    InThread([&] { EXPECT_EQ(CallbacksOf("ccp_pmpp").getChar(&byte), 1); });
    EXPECT_EQ(byte, 'Q');
}

TEST_F(ProtocolAssignmentTest, ConfigureRowsAndClaims) {
    Start();
    struct Case {
        const char* name;
        uint32_t port;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {"nobody", 0, 0, ""},
        {"ethernet_tcp", 0, 1, "CNTCIP::Configure: error invalid port setting:0\n"},
        {"ccp_ppp", 0, 0, "CNTCIP::Configure: error unable to attain driver:0\n"},
        {"ccp_ppp", 2, 0, "CNTCIP::Configure: error unable to attain driver:2\n"},
        {"ccp_ppp", 6, 1, "CNTICIP::Configure: error invalid port setting:6\n"},
        {"ccp_pmpp", 9, 0, "CNTCIP::Configure: error unable to attain driver:9\n"},
        {"ethernet_tcp", kCommPortNone, 1, ""},
    };
    InThread([] { CNTCIP::Configure("ccp_pmpp", kCommPortNone); });
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.port));
        Captured().clear();
        int result = -1;
        InThread([&] { result = CNTCIP::Configure(c.name, c.port); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Captured(), c.text);
    }
    // The Ethernet interface kept its claim of port 0 until it was detached again; port 2 has
    // no channel and its bit stays set.
    EXPECT_EQ(PortClaimMask() & 0x01u, 0u);
    EXPECT_EQ(PortClaimMask() & 0x04u, 0x04u);
    EXPECT_TRUE(Detached("ethernet_tcp"));
    EXPECT_EQ(AttainPortDriver(7), nullptr);
    EXPECT_EQ(ReleasePortDriver(15), 1);
    EXPECT_EQ(ReleasePortDriver(16), 0);

    // Twelve rows at most.
    for (unsigned i = CNTCIP::RowCount(); i < CNTCIP::kMaxRows; ++i) {
        EXPECT_TRUE(CNTCIP::RegisterInterface(&NtcipInterface(2), kKindPmpp));
    }
    EXPECT_FALSE(CNTCIP::RegisterInterface(&NtcipInterface(3), kKindPmpp));
}

TEST_F(ProtocolAssignmentTest, SwitchingPmppAndPppLeavesExactlyOneOnTheCcpPort) {
    Start();
    for (uint32_t code : {4u, 2u, 5u, 77u}) {
        SCOPED_TRACE(code);
        db_.Set(dbo::brenCommConfigProtocol, code, 0, 0);
        Reconfigure();
        const bool ppp = code == 4 || code == 5;
        EXPECT_EQ(OnCcp("ccp_ppp"), ppp);
        EXPECT_EQ(OnCcp("ccp_pmpp"), !ppp);
        EXPECT_TRUE(Detached(ppp ? "ccp_pmpp" : "ccp_ppp"));
        EXPECT_EQ(PortClaimMask() & 0x01u, 0x01u);
    }
}

TEST_F(ProtocolAssignmentTest, RadioModeIsEnteredBeforeThePortOpensAndLeftWithTheDefaults) {
    db_.SetValidationEnabled(false);
    db_.Set(dbo::dmsGraphicStatus, 5, 0, 0);  // in use
    db_.Set(dbo::dmsGraphicStatus, 1, 0, 1);  // not used
    db_.Set(dbo::dmsGraphicStatus, 2, 0, 2);  // modifying
    db_.Set(dbo::brenCommConfigFlowControl, 7, 0, 0);
    db_.Set(dbo::rs232PortInSpeed, 38400, 0, 0);
    db_.SetValidationEnabled(true);
    Start();
    EXPECT_EQ(uart_.Baud(), 38400u);

    db_.Set(dbo::brenCommConfigProtocol, 14, 0, 0);
    Reconfigure();
    EXPECT_EQ(db_.Get(dbo::rs232PortInSpeed, 0), 9600u);
    EXPECT_EQ(db_.Get(dbo::brenCommConfigFlowControl, 0), 2u);
    EXPECT_EQ(uart_.Baud(), 9600u) << "the port opens with the radio's settings";
    EXPECT_EQ(CcpSerialDriver().ModeWord(), 0x5222u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicBlockSize), 400u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicMaxSize), 25200u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 0), 9u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 1), 1u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 2), 9u);
    EXPECT_EQ(db_.Get(dbo::requestSourceMode, 6), 2u);
    EXPECT_EQ(db_.Get(dbo::requestOrigin, 6), 2u);
    uint32_t length = 0;
    const char* code = db_.GetText(dbo::requestCode, &length, 6);
    const uint8_t blank[12] = {0xFF, 0xFF, 0xFF, 7, 0, 1, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(length, 12u);
    EXPECT_EQ(std::memcmp(code, blank, 12), 0);
    EXPECT_EQ(RowOf("ccp_pmpp").interface->pmpp.rdiMode, 1);

    db_.Set(dbo::dmsGraphicStatus, 5, 0, 3);
    db_.Set(dbo::brenCommConfigProtocol, 2, 0, 0);
    Reconfigure();
    EXPECT_EQ(db_.Get(dbo::brenCommConfigFlowControl, 0), 0u);
    EXPECT_EQ(db_.Get(dbo::rs232PortInSpeed, 0), 9600u) << "the baud is not restored";
    EXPECT_EQ(db_.Get(dbo::dmsGraphicBlockSize), 1023u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicMaxSize), 64449u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 3), 9u);
    EXPECT_EQ(CcpSerialDriver().ModeWord(), 0x3121u);
    EXPECT_EQ(RowOf("ccp_pmpp").interface->pmpp.rdiMode, 0);
}

TEST_F(ProtocolAssignmentTest, RadioModeAtStartEmptiesTheGraphicTableOnce) {
    db_.SetValidationEnabled(false);
    db_.Set(dbo::brenCommConfigProtocol, 14, 0, 0);
    db_.Set(dbo::dmsGraphicStatus, 5, 0, 4);
    db_.SetValidationEnabled(true);
    Start();
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 4), 9u);
    EXPECT_EQ(db_.Get(dbo::dmsGraphicBlockSize), 400u);
    db_.Set(dbo::dmsGraphicStatus, 5, 0, 4);
    Reconfigure();
    EXPECT_EQ(db_.Get(dbo::dmsGraphicStatus, 4), 5u) << "staying in radio mode changes nothing";
}

TEST_F(ProtocolAssignmentTest, EthernetCodesBindTheirInterfaces) {
    Start();
    struct Case {
        uint32_t code;
        const char* onTcp;
        bool udp;
    };
    for (const Case& c : {Case{9, "ethernet_pmpp", false}, Case{10, "ethernet_ppp", false},
                          Case{11, "ethernet_tcp", true}, Case{3, "ethernet_tcp", true}}) {
        SCOPED_TRACE(c.code);
        db_.Set(dbo::brenCommConfigProtocol, c.code, 0, 4);
        Reconfigure();
        for (const char* name : {"ethernet_pmpp", "ethernet_ppp", "ethernet_tcp"}) {
            EXPECT_EQ(CallbacksOf(name).sendFrame == &TcpPortSendFrame,
                      std::strcmp(name, c.onTcp) == 0)
                << name;
        }
        EXPECT_EQ(CallbacksOf("ethernet_udp").sendFrame == &UdpPortSendFrame, c.udp);
        // The server channels keep the code of the start while an interface holds them.
        EXPECT_EQ(TcpServer().protocolCode, 11);
    }
}

}  // namespace
