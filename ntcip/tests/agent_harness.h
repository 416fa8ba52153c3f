#pragma once
// An agent on an in-process transport, in a stepped kernel: datagrams are handed to
// its dispatch thread through the net driver's receive operation, and what the agent
// sends is recorded. Also builds requests and decodes responses with the codec.

#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/global_database.h"
#include "database/object_ids.h"
#include "ntcip/snmp_agent.h"
#include "ntcip/snmp_process.h"
#include "ntcip/tests/snmp_request_builder.h"
#include "ntcip/tests/snmp_test_support.h"
#include "platform/kernel/kernel.h"

namespace snmp_test {

inline constexpr const char* kAdmin = "administrator";
inline constexpr const char* kUser = "public";  // user community of row 1, group mask 0x1
inline constexpr const char* kSysDescrText = "DMS field controller";

// The communities and system texts the tests expect.
inline void SeedDatabase() {
    auto text = [](const DbObject& object, const std::string& value, uint32_t row = 0) {
        g_DataBase.SetText(object, value.data(), static_cast<uint32_t>(value.size()),
                           kDbReplayFlags, row);
    };
    text(dbo::communityNameAdmin, kAdmin);
    text(dbo::communityNameUser, kUser);
    g_DataBase.Set(dbo::communityNameAccessMask, 0x1, kDbReplayFlags);
    text(dbo::sysDescr, kSysDescrText);
    const uint8_t object_id[] = {0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 6, 0, 0,
                                 0, 1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 4, 0xB6};  // 1.3.6.1.4.1.1206
    g_DataBase.SetText(dbo::sysObjectID, object_id, sizeof object_id, kDbReplayFlags);
    text(dbo::sysName, "");
    text(dbo::sysContact, "");
    text(dbo::sysLocation, "");
    g_DataBase.Set(dbo::sysServices, 72, kDbReplayFlags);
}

class AgentHarness {
public:
    AgentHarness() {
        SeedDatabase();
        current_ = this;
        kernel_ = std::make_unique<kernel::Kernel>();
        kernel_->Start([this](void*) {
            tx_semaphore_create(&arrived_, "datagrams", 0);
            snmp_entry();
            uint32_t used = 0;
            const uint8_t address[4] = {127, 0, 0, 1};
            status_ = snmp_agent_create(&agent_, "pmpp", 1161, 1162, address, memory_.data(), &used,
                                        2048, snmp_process, snmp_agent_null_callback, &Driver,
                                        pmpp_udp_ip_thread_entry, nullptr);
            used_ = used;
        });
        kernel_->Advance(1);
    }
    ~AgentHarness() {
        kernel_.reset();
        current_ = nullptr;
    }

    // Hands one datagram in; what the agent sent for it, if anything.
    std::optional<Bytes> Exchange(const Bytes& datagram) {
        inbox_.push_back(datagram);
        sent_.clear();
        tx_semaphore_put(&arrived_);
        kernel_->Advance(1);
        if (sent_.empty()) {
            return std::nullopt;
        }
        return sent_.front();
    }

    snmp_agent& agent() { return agent_; }
    int status() const { return status_; }
    uint32_t used() const { return used_; }
    kernel::Kernel& kernel() { return *kernel_; }

private:
    static int Driver(snmp_agent* agent, uint32_t, uint32_t operation, uint8_t* buffer,
                      uint32_t* length) {
        AgentHarness* self = current_;
        switch (operation) {
            case kSnmpNetReceive: {
                if (tx_semaphore_get(&self->arrived_, TX_WAIT_FOREVER) != TX_SUCCESS ||
                    self->inbox_.empty()) {
                    return 1;
                }
                const Bytes datagram = self->inbox_.front();
                self->inbox_.pop_front();
                std::memcpy(buffer, datagram.data(), datagram.size());
                *length = static_cast<uint32_t>(datagram.size());
                agent->source_port = 40161;
                const uint8_t loopback[4] = {127, 0, 0, 1};
                std::memcpy(agent->source_address, loopback, 4);
                return 0;
            }
            case kSnmpNetSend:
                self->sent_.emplace_back(buffer, buffer + *length);
                return 0;
            default:
                return 0;
        }
    }

    static inline AgentHarness* current_ = nullptr;
    std::unique_ptr<kernel::Kernel> kernel_;
    TX_SEMAPHORE arrived_{};
    snmp_agent agent_{};
    std::vector<uint8_t> memory_ = std::vector<uint8_t>(16384);
    std::deque<Bytes> inbox_;
    std::vector<Bytes> sent_;
    int status_ = -1;
    uint32_t used_ = 0;
};

}  // namespace snmp_test
