// PMPP frames in and out of the link with SNMP requests answered by the agent: addressing, polls,
// escapes, counters, the receive time-out, the limits of the ring and of a frame, and the worker
// serving links in turn.
#include <gtest/gtest.h>

#include <algorithm>

#include "comm/comm_led.h"
#include "comm/tests/pmpp_fixture.h"
#include "ntcip/tests/snmp_request_builder.h"

namespace {

using pmpp_test::Address;
using pmpp_test::Bytes;
using pmpp_test::Concat;
using pmpp_test::Framed;
using pmpp_test::Unframe;
using testing_support::Captured;

using pmpp_test::kSysDescr;
const std::vector<uint32_t> kSysContact = {1, 3, 6, 1, 2, 1, 1, 4, 0};

Bytes Get(const std::vector<uint32_t>& name, uint32_t id = 77) {
    return pmpp_test::GetRequest(name, id);
}

// Content of a frame carrying an SNMP message: address field, control, 0xC1, message.
Bytes SnmpContent(const Bytes& address, uint8_t control, const Bytes& message) {
    Bytes content = address;
    content.push_back(control);
    content.push_back(0xC1);
    return Concat(content, message);
}

Bytes Poll(uint8_t station) {
    return Framed(Concat(Address(station), {0x33, 0xE7}));
}

// The SNMP response carried by a reply frame's content (after address, 0x13, 0xC1).
std::optional<snmp_test::Decoded> ResponseIn(const Bytes& content, size_t addressOctets = 1) {
    if (content.size() < addressOctets + 2 || content[addressOctets] != 0x13 ||
        content[addressOctets + 1] != 0xC1) {
        return std::nullopt;
    }
    return snmp_test::Decode(Bytes(content.begin() + long(addressOctets) + 2, content.end()));
}

class PmppLinkTest : public pmpp_test::PmppTest {};

TEST_F(PmppLinkTest, RequestsAreAnsweredByAddressAndControl) {
    struct Case {
        const char* what;
        uint8_t station;
        Bytes address;
        uint8_t control;
        bool answered;
        Bytes replyAddress;
    };
    const Case cases[] = {
        {"own station", 1, {0x05}, 0x13, true, {0x05}},
        {"other station", 2, {0x05}, 0x13, false, {}},
        {"control 0x03", 1, {0x05}, 0x03, true, {0x05}},
        {"unknown control", 1, {0x05}, 0x55, false, {}},
        {"station 31, escaped address", 31, {0x7D}, 0x13, true, {0x7D}},
        {"two-octet address 100", 100, Address(100), 0x13, true, Address(100)},
        {"two-octet address for another", 101, Address(100), 0x13, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start(1, c.station);
        Feed(0, Framed(SnmpContent(c.address, c.control, Get(kSysDescr))));
        const auto frames = Unframe(Sent());
        if (!c.answered) {
            EXPECT_TRUE(frames.empty());
        } else {
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(Bytes(frames[0].begin(), frames[0].begin() + long(c.replyAddress.size())),
                      c.replyAddress);
            auto response = ResponseIn(frames[0], c.replyAddress.size());
            ASSERT_TRUE(response.has_value());
            EXPECT_EQ(response->pdu->type, kSnmpGetResponse);
            EXPECT_EQ(snmp_test::Text(response->pdu->varbinds[0]), snmp_test::kSysDescrText);
        }
        Reboot();
    }
}

TEST_F(PmppLinkTest, AllStationsAndGroupRepliesWaitForThePoll) {
    g_DataBase.Set(dbo::pmppGroupAddress, 9, kDbReplayFlags, 3);
    struct Case {
        const char* what;
        Bytes address;
        bool kept;
    };
    const Case cases[] = {
        {"all stations (0xFD)", {0xFD}, true},
        {"group 9", Address(9, true), true},
        {"group 63", Address(63, true), true},
        {"group 10 (not ours)", Address(10, true), false},
    };
    Start(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Feed(0, Framed(SnmpContent(c.address, 0x13, Get(kSysDescr))));
        EXPECT_TRUE(Sent().empty());
        Feed(0, Poll(1));
        auto frames = Unframe(Sent());
        ASSERT_EQ(frames.size(), 1u);
        if (c.kept) {
            auto response = ResponseIn(frames[0]);
            ASSERT_TRUE(response.has_value());
            EXPECT_EQ(snmp_test::Text(response->pdu->varbinds[0]), snmp_test::kSysDescrText);
        } else {
            EXPECT_EQ(frames[0], (Bytes{0x05, 0x13}));
        }
        // A second poll gets the empty frame.
        Feed(0, Poll(1));
        frames = Unframe(Sent());
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], (Bytes{0x05, 0x13}));
    }
    // A poll for another station is not answered.
    Feed(0, Poll(2));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PmppLinkTest, OctetsHoldingFlagAndEscapeGoBothWaysEscaped) {
    Start(1, 1);
    const std::string value = std::string("a\x7E") + "b\x7D" + "\x7E\x7D";
    const Bytes set = snmp_test::Request(0, snmp_test::kAdmin, kSnmpSetRequest,
                                         {{kSysContact, kSnmpOctetString, 0, value}}, 5);
    Feed(0, Framed(SnmpContent({0x05}, 0x13, set)));
    auto frames = Unframe(Sent());
    ASSERT_EQ(frames.size(), 1u);
    auto response = ResponseIn(frames[0]);
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->pdu->request.error_status, kSnmpNoError);

    Feed(0, Framed(SnmpContent({0x05}, 0x13, Get(kSysContact))));
    const Bytes wire = Sent();
    // Between the flags no bare 0x7E; the value's octets went out escaped.
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(std::count(wire.begin() + 1, wire.end() - 1, 0x7E), 0);
    const Bytes escaped = {0x61, 0x7D, 0x5E, 0x62, 0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x5D};
    EXPECT_NE(std::search(wire.begin(), wire.end(), escaped.begin(), escaped.end()), wire.end());
    frames = Unframe(wire);
    ASSERT_EQ(frames.size(), 1u);
    response = ResponseIn(frames[0]);
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(snmp_test::Text(response->pdu->varbinds[0]), value);
}

TEST_F(PmppLinkTest, TheMessageHandedOverIsExactlyTheEncodedOne) {
    Start(1, 1);
    const Bytes get = Get(kSysDescr);
    ASSERT_LT(get[1], 0x80) << "short length form";
    struct Case {
        const char* what;
        Bytes message;
        bool answered;
        const char* printed;
    };
    Bytes truncated(get.begin(), get.end() - 3);
    Bytes huge = {0x30, 0x82, 0x0B, 0xB9};  // 3001 octets announced
    huge.insert(huge.end(), 40, 0x02);
    const Case cases[] = {
        {"short form", get, true, nullptr},
        {"octets behind the message", Concat(get, {0x00, 0x00, 0x7E}), true, nullptr},
        {"message running past the frame", truncated, false, "SNMP PACKET TOO LONG: "},
        {"message above 3000 octets", huge, false, "SNMP PACKET TOO LONG: 3005"},
        {"no message", {0x05}, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Captured().clear();
        Feed(0, Framed(SnmpContent({0x05}, 0x13, c.message)));
        const auto frames = Unframe(Sent());
        EXPECT_EQ(frames.size(), c.answered ? 1u : 0u);
        if (c.printed != nullptr) {
            EXPECT_NE(Captured().find(c.printed), std::string::npos) << Captured();
        }
    }
}

TEST_F(PmppLinkTest, CountersFollowWhatArrives) {
    Start(1, 1);
    const Bytes good = Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr)));
    Bytes badFcs = Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr)), false);
    // Three octets before the first flag; 7E 7E opens the frame at the second flag.
    Feed(0, Concat(Concat({0x01, 0x02, 0x03, 0x7E}, good), badFcs));
    EXPECT_EQ(Unframe(Sent()).size(), 1u);
    EXPECT_EQ(Link().counters.bytesOutsideFrames, 3u);
    EXPECT_EQ(Link().counters.framesReceived, 1u);
    EXPECT_EQ(Link().counters.framesSent, 1u);
    EXPECT_EQ(Link().bytesReceived, 4u + good.size() + badFcs.size());

    // A closing flag does not open the next frame: octets behind it are outside frames.
    Feed(0, Concat(good, {0x11, 0x22}));
    EXPECT_EQ(Unframe(Sent()).size(), 1u);
    EXPECT_EQ(Link().counters.bytesOutsideFrames, 5u);

    // Another protocol is counted and dropped; an IP frame without an instance is counted.
    Feed(0, Framed({0x05, 0x13, 0x57, 0x01}));
    Feed(0, Framed({0x05, 0x13, 0x21, 0x45, 0x00}));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Link().otherProtocolFrames, 1u);
    EXPECT_EQ(Link().ipFramesReceived, 1u);
    EXPECT_EQ(Link().counters.framesReceived, 4u);
}

TEST_F(PmppLinkTest, APartialFrameIsDroppedAfterTheTimeOutOfAtLeast100Ticks) {
    struct Case {
        uint32_t milliseconds;
        ULONG gap;
        bool answered;
    };
    const Case cases[] = {
        {500, 99, true},   {500, 101, false},  {0, 99, true},    {0, 101, false},
        {2000, 199, true}, {2000, 201, false}, {1000, 99, true}, {1000, 101, false},
    };
    Start(1, 1);
    const Bytes frame = Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr)));
    const Bytes head(frame.begin(), frame.begin() + 6);
    const Bytes tail(frame.begin() + 6, frame.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.milliseconds << " ms, " << c.gap << " ticks");
        pmpp_set_interchar_timeout(&Link(), c.milliseconds);
        Feed(0, head);
        kernel_->Advance(c.gap);
        Feed(0, tail);
        EXPECT_EQ(Unframe(Sent()).size(), c.answered ? 1u : 0u);
        kernel_->Advance(300);  // whatever was left open times out
    }
}

TEST_F(PmppLinkTest, LimitsOfTheRingAndOfAFrame) {
    Start(1, 1);
    // The worker does not run while the runner queues: the 2051st octet is dropped.
    InThread([this] {
        for (uint32_t i = 0; i < kPmppRingSize; ++i) {
            ASSERT_EQ(_nx_pmpp_byte_receive(&Link(), 0x00), 0);
        }
        EXPECT_EQ(_nx_pmpp_byte_receive(&Link(), 0x00), kPmppRingFull);
    });
    EXPECT_EQ(Link().counters.bytesDropped, 1u);
    InThread([this] { tx_event_flags_set(Link().workerEvents, Link().workerBit, TX_OR); });
    EXPECT_EQ(Link().ringCount, 0u);

    // A frame with no closing flag is abandoned at the limit; the next frame is served.
    Bytes endless{0x7E};
    endless.insert(endless.end(), 3000, 0x41);
    const uint32_t dropped = Link().counters.bytesDropped;
    Feed(0, endless);
    EXPECT_GT(Link().counters.bytesDropped, dropped + 2000);
    EXPECT_EQ(Link().framesTooLong, 1u);
    Feed(0, Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr))));
    EXPECT_EQ(Unframe(Sent()).size(), 1u);
}

TEST_F(PmppLinkTest, RepliesLongerThanAFrameAreDroppedAndStoredRepliesKeptWhole) {
    Start(1, 1);
    struct Case {
        const char* what;
        uint32_t octets;
        uint8_t value;
        bool fits;
    };
    const Case cases[] = {
        {"2000 octets", 2000, 0x30, true},
        {"1000 flags, 2000 escaped", 1000, 0x7E, true},
        {"2100 octets", 2100, 0x30, false},
        {"3000 escapes", 3000, 0x7D, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes message(c.octets, c.value);
        for (uint8_t address : {uint8_t(1), kPmppAllStations}) {
            InThread([&] {
                Link().receivedAddress = address;
                Link().receivedGroup = 0;
                EXPECT_EQ(ntcip_pmpp_packet_send(&Link(), message.data(), c.octets),
                          c.fits ? 1 : 0);
            });
            if (address == kPmppAllStations) {
                EXPECT_TRUE(Sent().empty());
                Feed(0, Poll(1));
            } else if (!c.fits) {
                EXPECT_TRUE(Sent().empty());
                continue;
            }
            const auto frames = Unframe(Sent());
            ASSERT_EQ(frames.size(), 1u);
            // Address, 0x13, 0xC1 and the whole message; the empty frame when nothing was kept.
            const size_t expected = c.fits ? 3 + c.octets : 2;
            EXPECT_EQ(frames[0].size(), expected);
        }
    }
}

TEST_F(PmppLinkTest, TheWorkerServesLinksInTurn) {
    Start(3, 1);
    // Link 0 gets 600 junk octets before its request, links 1 and 2 only a request: one octet per
    // link per pass lets the short ones finish first.
    Bytes slow(600, 0x11);
    slow = Concat(slow, Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr, 1))));
    pmpp_test::g_order.clear();
    for (unsigned i = 0; i < 3; ++i) {
        const Bytes octets = i == 0 ? slow : Framed(SnmpContent({0x05}, 0x13, Get(kSysDescr, 2)));
        pmpp_test::g_pipes[i].in.insert(pmpp_test::g_pipes[i].in.end(), octets.begin(),
                                        octets.end());
    }
    InThread([this] {
        for (unsigned i = 0; i < 3; ++i) {
            tx_event_flags_set(Link(i).workerEvents, Link(i).workerBit, TX_OR);
        }
    });
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(Unframe(Sent(i)).size(), 1u) << "link " << i;
    }
    EXPECT_EQ(pmpp_test::g_order, (std::vector<unsigned>{1, 2, 0}));
    EXPECT_EQ(Link(1).workerBit, 2u);
    EXPECT_EQ(Link(2).workerBit, 4u);
    EXPECT_EQ(Link(0).counters.bytesOutsideFrames, 600u);
}

TEST_F(PmppLinkTest, TheEleventhLinkGetsNoWorkerSlot) {
    Start(11, 1);
    EXPECT_NE(Captured().find("nx_pmpp_create: failed to register with worker thread\n"),
              std::string::npos);
    EXPECT_EQ(Link(10).workerEvents, nullptr);
    EXPECT_EQ(PmppLinkCount(), 11u);
    EXPECT_EQ(Link(9).workerBit, 1u << 9);
}

}  // namespace

namespace {

TEST(CommLedTest, ThirtyTwoLinksGetABitEachAndTheRestNone) {
    testing_support::Captured().clear();
    DebugSetSink(&testing_support::Capture);
    CommLedReset();
    for (uint32_t i = 0; i < 32; ++i) {
        EXPECT_EQ(CommLED_RegisterAgent(), uint32_t(1) << i);
    }
    EXPECT_EQ(testing_support::Captured(), "");
    EXPECT_EQ(CommLED_RegisterAgent(), 0u);
    EXPECT_EQ(CommLED_RegisterAgent(), 0u);
    EXPECT_EQ(testing_support::Captured(),
              "CommLED_RegisterAgent: error\nCommLED_RegisterAgent: error\n");
    DebugSetSink(nullptr);
    CommLedReset();
}

}  // namespace
