// Request processing over a small MIB at the OIDs it treats specially: activation refusals,
// the post-set hooks, the compatibility switch, oversized values, graphic block padding and
// the user community's protected objects.

#include <gtest/gtest.h>

#include <cstring>

#include "database/db_services.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "database/recording_journal.h"
#include "ntcip/mib_header.h"
#include "ntcip/snmp_set_staging.h"
#include "ntcip/tests/agent_harness.h"

using namespace snmp_test;

namespace {

using Oid = std::vector<uint32_t>;

const Oid kBase = {1, 3, 6, 1, 4, 1, 1206};
Oid Under(const Oid& suffix) {
    Oid out = kBase;
    out.insert(out.end(), suffix.begin(), suffix.end());
    return out;
}
const Oid kCompatSwitch = Under({3, 16, 1, 1, 20, 5, 0});
const Oid kMessageStatus = Under({4, 2, 3, 5, 8, 1, 9, 255});
const Oid kActivate = Under({4, 2, 3, 6, 3, 0});
const Oid kBlockBitmap = Under({4, 2, 3, 10, 7, 1, 3, 255});
const Oid kAdminName = Under({4, 2, 6, 5, 1, 0});
const Oid kAccessMask = Under({4, 2, 6, 5, 3, 1, 3, 255});
const Oid kFree = Under({9, 1, 0});
const Oid kEnd = {1, 3, 6, 1, 4, 1, 1207};

uint8_t g_octets[kSnmpSetBufferSize];
uint32_t g_octets_length = 0;
uint32_t g_staged_length = 0;
int g_commits = 0;
bool g_store_on_commit = false;  // a committed set also stores a journalled object

// Answers the stored octets (OCTET STRING rows) or the key; a committed set stores.
uintptr_t* Handler(MibVariable* row, uint32_t* name, uint32_t* length, int mode,
                   uint32_t* value_length, snmp_pdu* pdu, int index) {
    if (row->index_count == 1 && MibHeaderIndexed(row, name, *length, mode, value_length, 100)) {
        return nullptr;
    }
    if (mode == kMibSet) {
        g_staged_length = g_SnmpSetLength;
        if (g_SnmpSetCommit == 1) {
            ++g_commits;
            if (g_store_on_commit) {
                g_DataBase.SetText(dbo::sysContact, g_SnmpSetBuffer, g_SnmpSetLength, 0);
            }
            std::memcpy(g_octets, g_SnmpSetBuffer, g_SnmpSetLength);
            g_octets_length = g_SnmpSetLength;
        }
    }
    uintptr_t& word = pdu->varbinds[index].handler_value;
    if (row->type == kMibTypeOctets) {
        word = reinterpret_cast<uintptr_t>(g_octets);
        *value_length = g_octets_length;
    } else {
        word = row->key;
        *value_length = 4;
    }
    return &word;
}

int g_refuse_activation = 0;
int g_message_table_runs = 0;
int Activate() {
    return g_refuse_activation;
}
void ProcessMessageTable() {
    ++g_message_table_runs;
}

class Processing : public ::testing::Test {
protected:
    void SetUp() override {
        const Oid* names[] = {&kCompatSwitch, &kMessageStatus, &kActivate, &kBlockBitmap,
                              &kAdminName,    &kAccessMask,    &kFree};
        uint8_t key = 0;
        for (const Oid* name : names) {
            MibVariable row{};
            row.name = name->data();
            row.name_length = static_cast<uint8_t>(name->size());
            row.type = (*name == kMessageStatus || *name == kAccessMask) ? kMibTypeInteger
                                                                         : kMibTypeOctets;
            row.key = key;
            key = static_cast<uint8_t>(key + 4);
            row.access = kMibReadWrite;
            row.handler = &Handler;
            row.index_count = name->back() == 255 ? (*name == kAccessMask ? 1 : 0) : 0;
            rows_.push_back(row);
        }
        std::memset(&node_, 0, sizeof node_);
        std::copy(kBase.begin(), kBase.end(), node_.prefix);
        node_.prefix_length = static_cast<uint8_t>(kBase.size());
        std::copy(kCompatSwitch.begin(), kCompatSwitch.end(), node_.first);
        node_.first_length = static_cast<uint8_t>(kCompatSwitch.size());
        std::copy(kEnd.begin(), kEnd.end(), node_.last);
        node_.last_length = static_cast<uint8_t>(kEnd.size());
        node_.rows = rows_.data();
        node_.row_count = static_cast<uint16_t>(rows_.size());
        g_MibSubtreeList = &node_;
        g_refuse_activation = 0;
        g_message_table_runs = 0;
        g_commits = 0;
        g_octets_length = 0;
        snmp_process_hooks hooks{};
        hooks.activate_requested_message = &Activate;
        hooks.process_message_table = &ProcessMessageTable;
        snmp_process_set_hooks(hooks);
    }
    void TearDown() override {
        snmp_process_set_hooks({});
        MibInit(nullptr);
        g_DataBase.Set(dbo::communityNameAccessMask, 0x1, kDbReplayFlags);
    }

    Decoded Ask(const std::string& community, uint32_t type, const std::vector<Varbind>& vbs) {
        std::optional<Bytes> sent = agent_.Exchange(Request(0, community, type, vbs));
        EXPECT_TRUE(sent.has_value());
        std::optional<Decoded> d = sent ? Decode(*sent) : std::nullopt;
        return d ? std::move(*d) : Decoded{};
    }

    AgentHarness agent_;  // links the real MIB; the fixture then swaps in its own
    std::vector<MibVariable> rows_;
    MibSubtree node_;
};

Varbind Octets(const Oid& name, const std::string& text) {
    Varbind v;
    v.name = name;
    v.syntax = kSnmpOctetString;
    v.octets = text;
    return v;
}
Varbind Integer(const Oid& name, uint32_t value) {
    Varbind v;
    v.name = name;
    v.syntax = kSnmpInteger;
    v.integer = value;
    return v;
}
Varbind At(const Oid& name) {
    Varbind v;
    v.name = name;
    return v;
}

TEST_F(Processing, RefusedActivationAnswersGenErrAndKeepsTheCode) {
    const std::string code(12, '\x01');
    g_refuse_activation = 1;
    Decoded r = Ask(kAdmin, kSnmpSetRequest, {Octets(kFree, "x"), Octets(kActivate, code)});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpGenErr);
    EXPECT_EQ(r.pdu->request.error_index, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(g_octets), g_octets_length), code)
        << "the handler stored the code all the same";

    g_refuse_activation = 0;
    r = Ask(kAdmin, kSnmpSetRequest, {Octets(kActivate, code)});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
}

TEST_F(Processing, MessageStatusSetRunsTableProcessingEvenWhenRefused) {
    const Oid instance = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 9, 3, 1};
    Decoded r = Ask(kAdmin, kSnmpSetRequest, {Integer(instance, 6)});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(g_message_table_runs, 1);
    r = Ask(kAdmin, kSnmpSetRequest, {Octets(instance, "bad type")});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpBadValue);
    EXPECT_EQ(g_message_table_runs, 2);
    Ask(kAdmin, kSnmpGetRequest, {At(instance)});
    EXPECT_EQ(g_message_table_runs, 2) << "only sets";
}

// Only a get or set naming the switch turns compatibility mode on: a get-next that arrives at
// it (any walk over the branch) or starts from it leaves the mode, the clock and the time zone.
TEST_F(Processing, NamingTheCompatibilitySwitchTurnsCompatibilityOn) {
    Oid before_switch = kCompatSwitch;
    before_switch.pop_back();
    const struct {
        const char* what;
        uint32_t type;
        Varbind varbind;
        int on;
    } cases[] = {
        {"get", kSnmpGetRequest, At(kCompatSwitch), 1},
        {"set", kSnmpSetRequest, Octets(kCompatSwitch, "x"), 1},
        {"get-next arriving at it", kSnmpGetNextRequest, At(before_switch), 0},
        {"get-next from it", kSnmpGetNextRequest, At(kCompatSwitch), 0},
        {"get of another object", kSnmpGetRequest, At(kFree), 0},
    };
    for (const auto& c : cases) {
        db_compat_mode_set(false);
        g_DataBase.Set(dbo::controllerStandardTimeZone, 3600, kDbReplayFlags);
        Decoded r = Ask(kAdmin, c.type, {c.varbind});
        if (c.varbind.name == before_switch) {
            const snmp_object& v = r.pdu->varbinds[0];
            ASSERT_EQ(Oid(v.name, v.name + v.name_length), kCompatSwitch) << "answers the switch";
        }
        EXPECT_EQ(db_compat_mode_get(), c.on) << c.what;
        EXPECT_EQ(g_DataBase.Get(dbo::controllerStandardTimeZone), c.on ? 0u : 3600u) << c.what;
    }
    db_compat_mode_set(false);
}

TEST_F(Processing, OversizedSetValueIsCutForTheHandlerAndAnsweredTooBig) {
    const uint32_t too_bigs = g_DataBase.Get(dbo::snmpInTooBigs);
    Decoded r = Ask(kAdmin, kSnmpSetRequest, {Octets(kFree, std::string(2100, 'z'))});
    EXPECT_EQ(g_staged_length, kSnmpSetBufferSize);
    EXPECT_GT(g_DataBase.Get(dbo::snmpInTooBigs), too_bigs);
    // The message is answered (within 3000 octets) with what the handler read back.
    EXPECT_EQ(r.pdu->varbinds[0].value_length, kSnmpSetBufferSize);
}

TEST_F(Processing, GraphicBlockAnswersArePaddedTo1023Octets) {
    std::memcpy(g_octets, "\xAA\xBB", 2);
    g_octets_length = 2;
    const Oid block = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 10, 7, 1, 3, 255};
    Decoded r = Ask(kAdmin, kSnmpGetRequest, {At(block)});
    ASSERT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(r.pdu->varbinds[0].value_length, 1023u);
    EXPECT_EQ(r.pdu->varbinds[0].octets()[1], 0xBB);
    EXPECT_EQ(r.pdu->varbinds[0].octets()[1022], 0);
}

TEST_F(Processing, UserCommunityNeverSeesTheSecurityObjects) {
    const Oid past16 = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 5, 3, 1, 2, 16};
    struct Case {
        const char* what;
        uint32_t type;
        Varbind varbind;
    } cases[] = {
        {"get", kSnmpGetRequest, At(kAdminName)},
        {"get-next at row 16", kSnmpGetNextRequest, At(past16)},
        {"get-next into the table", kSnmpGetNextRequest, At(Under({4, 2, 6}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Decoded r = Ask(kUser, c.type, {c.varbind});
        EXPECT_EQ(r.pdu->request.error_status, kSnmpNoSuchName);
        EXPECT_EQ(r.pdu->request.error_index, 1u);
        EXPECT_EQ(Name(r.pdu->varbinds[0]), c.varbind.name) << "the request's own name";
    }
    Decoded admin = Ask(kAdmin, kSnmpGetNextRequest, {At(Under({4, 2, 6}))});
    EXPECT_EQ(Name(admin.pdu->varbinds[0]), kAdminName);
}

TEST_F(Processing, UserCommunityWithoutAccessMaskSetsNothing) {
    g_DataBase.Set(dbo::communityNameAccessMask, 0, kDbReplayFlags);
    Decoded r = Ask(kUser, kSnmpSetRequest, {Octets(kFree, "x")});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoSuchName);
    EXPECT_EQ(g_commits, 0);
    g_DataBase.Set(dbo::communityNameAccessMask, 0x1, kDbReplayFlags);
    r = Ask(kUser, kSnmpSetRequest, {Octets(kFree, "x")});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpNoError);
    EXPECT_EQ(g_commits, 1);
}

TEST_F(Processing, ValidatePassErrorPreventsEveryWrite) {
    Decoded r = Ask(kAdmin, kSnmpSetRequest,
                    {Octets(kFree, "first"), Integer(kFree, 3), Octets(kActivate, "y")});
    EXPECT_EQ(r.pdu->request.error_status, kSnmpBadValue);
    EXPECT_EQ(r.pdu->request.error_index, 2u);
    EXPECT_EQ(g_commits, 0);
}

}  // namespace

// A set whose values cannot be journalled (a full or failing flash) would not survive a restart:
// it is answered with genErr instead of being acknowledged.
TEST_F(Processing, ASetThatCannotBeJournalledIsNotAcknowledged) {
    RecordingJournal journal;
    DbJournal* const previous = g_DataBase.Journal();
    const bool writing = g_DataBase.JournalWriting();
    g_DataBase.SetJournal(&journal);
    g_DataBase.SetJournalWriting(true);
    g_store_on_commit = true;
    const struct {
        bool failing;
        const char* text;
        uint32_t status;
        size_t records;
    } cases[] = {{false, "kept", kSnmpNoError, 1}, {true, "lost", kSnmpGenErr, 0}};
    for (const auto& c : cases) {
        journal.Clear();
        journal.SetFailing(c.failing);
        const Decoded r = Ask(kAdmin, kSnmpSetRequest, {Octets(kFree, c.text)});
        EXPECT_EQ(r.pdu->request.error_status, c.status) << c.text;
        EXPECT_EQ(journal.Records().size(), c.records) << c.text;
    }
    // Reads are not affected by an earlier failure.
    EXPECT_EQ(Ask(kAdmin, kSnmpGetRequest, {Octets(kFree, "")}).pdu->request.error_status,
              kSnmpNoError);
    g_store_on_commit = false;
    g_DataBase.SetJournalWriting(writing);
    g_DataBase.SetJournal(previous);
}
