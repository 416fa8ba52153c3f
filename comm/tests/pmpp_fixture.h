#pragma once
// PMPP links on a stepped kernel with the agent's request processing: each link's port is a
// memory pipe (octets in through the byte-in callback, octets out recorded), and frames are built
// and read here with an FCS computed bit by bit, independently of the link's table.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "comm/comm_database.h"
#include "comm/pmpp_link.h"
#include "comm/snmp_over_pmpp.h"
#include "database/global_database.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "ntcip/tests/agent_harness.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "runtime/tests/kernel_fixture.h"

namespace pmpp_test {

using Bytes = std::vector<uint8_t>;

inline const std::vector<uint32_t> kSysDescr = {1, 3, 6, 1, 2, 1, 1, 1, 0};

// A version-1 GET of one object with the administrator community.
inline Bytes GetRequest(const std::vector<uint32_t>& name, uint32_t id = 77) {
    snmp_test::Varbind varbind;
    varbind.name = name;
    return snmp_test::Request(0, snmp_test::kAdmin, kSnmpGetRequest, {varbind}, id);
}

inline uint16_t BitwiseFcs(const Bytes& data) {
    uint16_t fcs = 0xFFFF;
    for (uint8_t octet : data) {
        fcs ^= octet;
        for (int bit = 0; bit < 8; ++bit) {
            fcs = (fcs & 1) ? uint16_t((fcs >> 1) ^ 0x8408) : uint16_t(fcs >> 1);
        }
    }
    return fcs;
}

// Flags around the content (address field onwards) with its FCS, 0x7D and 0x7E escaped.
inline Bytes Framed(Bytes content, bool goodFcs = true) {
    const uint16_t fcs = uint16_t(~BitwiseFcs(content) ^ (goodFcs ? 0 : 0x0101));
    content.push_back(uint8_t(fcs & 0xFF));
    content.push_back(uint8_t(fcs >> 8));
    Bytes out{0x7E};
    for (uint8_t octet : content) {
        if (octet == 0x7E || octet == 0x7D) {
            out.push_back(0x7D);
            out.push_back(uint8_t(octet ^ 0x20));
        } else {
            out.push_back(octet);
        }
    }
    out.push_back(0x7E);
    return out;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Address field of a one-octet address (group flag as bit 1).
inline Bytes Address(uint8_t address, bool group = false) {
    if (address < 64) {
        return {uint8_t(address << 2 | (group ? 2 : 0) | 1)};
    }
    return {uint8_t((address << 2) | (group ? 2 : 0)), uint8_t((address >> 5) | 1)};
}

// The frames in a byte stream, escapes undone, with the FCS checked and removed; a frame with a
// bad FCS comes back empty.
inline std::vector<Bytes> Unframe(const Bytes& stream) {
    std::vector<Bytes> frames;
    Bytes current;
    bool open = false;
    bool escape = false;
    for (uint8_t octet : stream) {
        if (octet == 0x7E) {
            if (open && !current.empty()) {
                if (current.size() >= 2 && BitwiseFcs(current) == 0xF0B8) {
                    current.resize(current.size() - 2);
                } else {
                    current.clear();
                }
                frames.push_back(current);
                open = false;
            } else {
                open = true;
            }
            current.clear();
            continue;
        }
        if (!open) {
            continue;
        }
        if (escape) {
            current.push_back(uint8_t(octet ^ 0x20));
            escape = false;
        } else if (octet == 0x7D) {
            escape = true;
        } else {
            current.push_back(octet);
        }
    }
    return frames;
}

// The port of one link: a memory pipe.
struct Pipe {
    std::deque<uint8_t> in;
    Bytes out;
};

inline constexpr unsigned kMaxPipes = 12;
inline Pipe g_pipes[kMaxPipes];
// The pipes in the order their first octet went out.
inline std::vector<unsigned> g_order;
// Cross-wired links: what link N sends arrives at g_peer[N] (its pipe and its worker bit).
inline bool g_cross = false;
inline PmppLink* g_peer[kMaxPipes];
inline unsigned g_peerPipe[kMaxPipes];

template <unsigned N>
int GetChar(uint8_t* octet) {
    if (g_pipes[N].in.empty()) {
        return 0;
    }
    *octet = g_pipes[N].in.front();
    g_pipes[N].in.pop_front();
    return 1;
}

template <unsigned N>
void PutChar(uint8_t octet) {
    if (g_cross && g_peer[N] != nullptr) {
        g_pipes[g_peerPipe[N]].in.push_back(octet);
        tx_event_flags_set(g_peer[N]->workerEvents, g_peer[N]->workerBit, TX_OR);
        return;
    }
    if (g_pipes[N].out.empty()) {
        g_order.push_back(N);
    }
    g_pipes[N].out.push_back(octet);
}

// An agent over a PMPP link, as an interface holds them.
struct PmppInterface {
    snmp_agent agent{};
    PmppLink link{};
    std::vector<uint8_t> memory = std::vector<uint8_t>(32768);
};

class PmppTest : public testing_support::KernelTest {
protected:
    PmppTest() {
        snmp_test::SeedDatabase();
        for (uint32_t row = 0; row < dbo::pmppGroupAddress.rows; ++row) {
            g_DataBase.Set(dbo::pmppGroupAddress, 0, kDbReplayFlags, row);
        }
        CommSetDatabase(&g_DataBase);
        for (Pipe& pipe : g_pipes) {
            pipe = Pipe{};
        }
        g_cross = false;
        for (PmppLink*& peer : g_peer) {
            peer = nullptr;
        }
    }
    ~PmppTest() override {
        Shutdown();
        CommSetDatabase(nullptr);
        SnmpOverPmppEndOfBoot();
    }

    // Boots with count interfaces, each on pipe i, with the given station address; dispatch
    // threads only when asked.
    void Start(unsigned count, uint8_t station = 1, bool dispatch = false,
               const std::function<void(uint8_t*)>& more = {}) {
        interfaces_.resize(count);
        Boot([&, count, station, dispatch](uint8_t* next) {
            snmp_entry();
            static const LinkByteIn kIn[kMaxPipes] = {
                GetChar<0>, GetChar<1>, GetChar<2>, GetChar<3>, GetChar<4>,  GetChar<5>,
                GetChar<6>, GetChar<7>, GetChar<8>, GetChar<9>, GetChar<10>, GetChar<11>};
            static const LinkByteOut kOut[kMaxPipes] = {
                PutChar<0>, PutChar<1>, PutChar<2>, PutChar<3>, PutChar<4>,  PutChar<5>,
                PutChar<6>, PutChar<7>, PutChar<8>, PutChar<9>, PutChar<10>, PutChar<11>};
            for (unsigned i = 0; i < count; ++i) {
                PmppInterface& f = interfaces_[i];
                ASSERT_TRUE(PmppAttachAgent(&f.agent, &f.link));
                uint32_t used = 0;
                const uint8_t address[4] = {10, 0, 2, 15};
                ASSERT_EQ(snmp_agent_create(&f.agent, "pmpp", 1161, 1162, address, f.memory.data(),
                                            &used, 2048, snmp_process, snmp_agent_null_callback,
                                            snmp_pmpp_net_drv,
                                            dispatch ? pmpp_udp_ip_thread_entry : nullptr,
                                            dispatch ? pmpp_tcp_ip_thread_entry : nullptr),
                          0);
                f.link.stationAddress = station;
                f.link.callbacks = {kOut[i], kIn[i], nullptr};
            }
            if (more) {
                more(next);
            }
        });
        kernel_->Advance(0);
    }

    // A fresh boot for the next case.
    void Reboot() {
        Shutdown();
        SnmpOverPmppEndOfBoot();
        for (Pipe& pipe : g_pipes) {
            pipe = Pipe{};
        }
        kernel_ = std::make_unique<kernel::Kernel>();
    }

    PmppLink& Link(unsigned i = 0) { return interfaces_[i].link; }

    // Queues octets on a link's port and wakes the worker.
    void Feed(unsigned i, const Bytes& octets) {
        g_pipes[i].in.insert(g_pipes[i].in.end(), octets.begin(), octets.end());
        InThread([this, i] { tx_event_flags_set(Link(i).workerEvents, Link(i).workerBit, TX_OR); });
    }

    // What the link sent since the last call.
    Bytes Sent(unsigned i = 0) {
        Bytes out = g_pipes[i].out;
        g_pipes[i].out.clear();
        return out;
    }

    std::vector<PmppInterface> interfaces_;
};

}  // namespace pmpp_test
