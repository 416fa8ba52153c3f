// The MIB: generated tables match the subtree figures; the walker finds rows, steps through
// instances (also past 255) and ends; header checks and set checks refuse what they must.

#include "ntcip/mib_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ntcip/mib_handler_table.h"
#include "ntcip/mib_header.h"
#include "ntcip/mib_oid.h"
#include "ntcip/snmp_set_staging.h"
#include "ntcip/tests/snmp_test_support.h"

namespace {

using Oid = std::vector<uint32_t>;

Oid Concat(const Oid& a, const Oid& b) {
    Oid out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST(MibTables, SubtreesHaveTheirRowsInOrderWithinBounds) {
    struct Figure {
        const char* label;
        Oid prefix;
        uint16_t rows;
    } figures[] = {
        {"cls b", {1, 3, 6, 1, 2, 1}, 133},
        {"auxio", {1, 3, 6, 1, 4, 1, 1206, 2, 1, 1}, 8},
        {"fdot", {1, 3, 6, 1, 4, 1, 1206, 3, 6}, 16},
        {"ledstar", {1, 3, 6, 1, 4, 1, 1206, 3, 16}, 66},
        {"panynj", {1, 3, 6, 1, 4, 1, 1206, 3, 32}, 7},
        {"nvdot", {1, 3, 6, 1, 4, 1, 1206, 3, 35}, 4},
        {"bren", {1, 3, 6, 1, 4, 1, 1206, 3, 47}, 119},
        {"protocol", {1, 3, 6, 1, 4, 1, 1206, 4, 1}, 9},
        {"dms", {1, 3, 6, 1, 4, 1, 1206, 4, 2, 3}, 164},
        {"ess", {1, 3, 6, 1, 4, 1, 1206, 4, 2, 5}, 3},
        {"global", {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6}, 82},
    };
    MibInit(nullptr);
    ASSERT_EQ(g_MibSubtreeCount, 11u);
    uint32_t total = 0;
    const MibSubtree* node = g_MibSubtreeList;
    for (const Figure& f : figures) {
        SCOPED_TRACE(f.label);
        ASSERT_NE(node, nullptr);
        EXPECT_STREQ(node->label, f.label);
        EXPECT_EQ(Oid(node->prefix, node->prefix + node->prefix_length), f.prefix);
        ASSERT_EQ(node->row_count, f.rows);
        total += node->row_count;
        const MibVariable* rows = node->rows;
        EXPECT_EQ(OidCompare(rows[0].name, rows[0].name_length, node->first, node->first_length), 0)
            << "the first row is the subtree's first object";
        for (uint16_t r = 0; r < node->row_count; ++r) {
            EXPECT_EQ(OidCompareN(rows[r].name, rows[r].name_length, node->prefix,
                                  node->prefix_length, node->prefix_length),
                      0);
            EXPECT_LT(OidCompare(rows[r].name, rows[r].name_length, node->last, node->last_length),
                      0)
                << rows[r].label;
            if (r > 0) {
                EXPECT_LT(OidCompare(rows[r - 1].name, rows[r - 1].name_length, rows[r].name,
                                     rows[r].name_length),
                          0)
                    << rows[r].label;
            }
            EXPECT_NE(rows[r].handler, nullptr);
        }
        if (node->next) {
            EXPECT_EQ(node->next->previous, node);
        }
        node = node->next;
    }
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(total, 611u);
}

TEST(MibTables, HandlersWithoutCodeAreTheStandIn) {
    EXPECT_NE(MibFindHandler("var_system"), &var_stand_in_no_such_object);
    EXPECT_EQ(MibFindHandler("var_no_such_handler"), &var_stand_in_no_such_object);
}

TEST(MibOid, CompareAndPack) {
    const uint32_t a[] = {1, 3, 6, 0xFFFFFFFF};
    const uint32_t b[] = {1, 3, 7};
    EXPECT_EQ(OidCompare(a, 4, b, 3), -1);
    EXPECT_EQ(OidCompare(a, 3, a, 4), -1) << "shorter on a tie";
    EXPECT_EQ(OidCompare(a, 4, a, 4), 0);
    EXPECT_EQ(OidCompare(a + 3, 1, b, 1), 1) << "unsigned";
    EXPECT_EQ(OidCompareN(a, 2, b, 3, 3), -1) << "shorter than n";
    EXPECT_EQ(OidCompareN(a, 4, b, 3, 2), 0);
    uint8_t packed[4 * 4 + 1];
    OidToBytes(packed, a, 4);
    EXPECT_EQ(snmp_test::ToHex(packed, sizeof packed),
              "00 00 00 01 00 00 00 03 00 00 00 06 FF FF FF FF 00");
    uint32_t back[4];
    BytesToOid(back, packed, 16);
    EXPECT_EQ(Oid(back, back + 4), Oid(a, a + 4));
}

// A toy subtree under 1.3.6.1.4.1.9999.
const Oid kToy = {1, 3, 6, 1, 4, 1, 9999};
const Oid kScalar = Concat(kToy, {1, 0});
const Oid kBig = Concat(kToy, {2, 1, 1, 255});    // instances 1..300
const Oid kSmall = Concat(kToy, {2, 1, 2, 255});  // instances 1..3
const Oid kPair = Concat(kToy, {3, 1, 1, 255});   // two indexes, 1..2 and 1..3
const Oid kRanged = Concat(kToy, {4, 0});         // INTEGER 1..8, group mask 0x2000000
const Oid kFixed = Concat(kToy, {5, 0});          // OCTET STRING of 5
const Oid kSplit = Concat(kToy, {6, 0});          // access 3
const Oid kLast = Concat(kToy, {7});

int g_writes = 0;

// Answers (key << 24) | first instance; writes count only in a committed set.
uintptr_t* ToyHandler(MibVariable* row, uint32_t* name, uint32_t* length, int mode,
                      uint32_t* value_length, snmp_pdu* pdu, int index) {
    static const uint32_t kPairBounds[] = {2, 3};
    int check = 0;
    switch (row->key) {
        case 4:
            check = MibHeaderIndexed(row, name, *length, mode, value_length, 300);
            break;
        case 8:
            check = MibHeaderIndexed(row, name, *length, mode, value_length, 3);
            break;
        case 12:
            check = MibHeaderIndexBounds(row, name, *length, mode, value_length, kPairBounds, 2);
            break;
        default:
            check = MibHeaderExact(row, name, *length, mode, value_length);
            break;
    }
    if (check != 0) {
        return nullptr;
    }
    if (mode == kMibSet && g_SnmpSetCommit == 1) {
        ++g_writes;
    }
    const uint32_t instance = row->index_count ? name[row->name_length - 1] : 0;
    pdu->varbinds[index].handler_value = (uint32_t{row->key} << 24) | instance;
    *value_length = 4;
    return &pdu->varbinds[index].handler_value;
}

MibVariable Row(const Oid& name, uint8_t type, uint8_t key, uint8_t access, uint8_t index_count) {
    MibVariable row{};
    row.name = name.data();
    row.name_length = static_cast<uint8_t>(name.size());
    row.type = type;
    row.key = key;
    row.access = access;
    row.handler = &ToyHandler;
    row.index_count = index_count;
    return row;
}

class ToyMib : public ::testing::Test {
protected:
    void SetUp() override {
        rows_ = {Row(kScalar, kMibTypeInteger, 0, kMibReadOnly, 0),
                 Row(kBig, kMibTypeInteger, 4, kMibReadOnly, 1),
                 Row(kSmall, kMibTypeInteger, 8, kMibReadOnly, 1),
                 Row(kPair, kMibTypeInteger, 12, kMibReadOnly, 2),
                 Row(kRanged, kMibTypeInteger, 16, kMibReadWrite, 0),
                 Row(kFixed, kMibTypeOctets, 20, kMibReadWrite, 0),
                 Row(kSplit, kMibTypeInteger, 24, kMibWriteEnabled, 0)};
        rows_[4].constraint_base = 4;
        rows_[4].constraint_kind = 1;
        rows_[4].constraint_count = 1;
        rows_[4].constraint_values[0] = 1;
        rows_[4].constraint_values[1] = 8;
        rows_[4].group_mask = 0x2000000;
        rows_[5].constraint_base = 3;
        rows_[5].constraint_kind = 1;
        rows_[5].constraint_count = 1;
        rows_[5].constraint_values[0] = 5;
        rows_[5].constraint_values[1] = 5;
        std::memset(&node_, 0, sizeof node_);
        std::copy(kToy.begin(), kToy.end(), node_.prefix);
        node_.prefix_length = static_cast<uint8_t>(kToy.size());
        std::copy(kScalar.begin(), kScalar.end(), node_.first);
        node_.first_length = static_cast<uint8_t>(kScalar.size());
        std::copy(kLast.begin(), kLast.end(), node_.last);
        node_.last_length = static_cast<uint8_t>(kLast.size());
        node_.rows = rows_.data();
        node_.row_count = static_cast<uint16_t>(rows_.size());
        saved_ = g_MibSubtreeList;
        g_MibSubtreeList = &node_;
        g_SnmpGroupMask = 0xFFFFFFFF;
        g_SnmpSetCommit = 1;
        g_writes = 0;
    }
    void TearDown() override {
        g_MibSubtreeList = saved_;
        g_SnmpSetCommit = 1;
    }

    struct Result {
        uintptr_t* answer;
        int status;
        uint8_t access;
        Oid name;
    };
    Result Ask(const Oid& name, int mode, uint16_t syntax = kSnmpNull) {
        snmp_object& v = pdu_->varbinds[0];
        std::copy(name.begin(), name.end(), v.name);
        v.name_length = static_cast<uint32_t>(name.size());
        uint32_t length = v.name_length;
        uint8_t type = static_cast<uint8_t>(syntax);
        uint32_t value_length = 0;
        uint8_t access = 0;
        int status = -1;
        uintptr_t* answer =
            getStatPtr(&v, &length, &type, &value_length, &access, mode, pdu_.get(), 0, &status);
        return {answer, status, access, Oid(v.name, v.name + length)};
    }

    std::vector<MibVariable> rows_;
    MibSubtree node_;
    MibSubtree* saved_ = nullptr;
    std::unique_ptr<snmp_pdu> pdu_ = snmp_test::NewPdu();
};

TEST_F(ToyMib, WalkVisitsEveryInstanceOnceAndEnds) {
    std::vector<Oid> expected = {kScalar};
    for (uint32_t i = 1; i <= 300; ++i)
        expected.push_back(Concat(kToy, {2, 1, 1, i}));
    for (uint32_t i = 1; i <= 3; ++i)
        expected.push_back(Concat(kToy, {2, 1, 2, i}));
    for (uint32_t a = 1; a <= 2; ++a)
        for (uint32_t b = 1; b <= 3; ++b)
            expected.push_back(Concat(kToy, {3, 1, 1, a, b}));
    expected.insert(expected.end(), {kRanged, kFixed, kSplit});

    std::vector<Oid> seen;
    Oid name = kToy;
    for (int guard = 0; guard < 1000; ++guard) {
        Result r = Ask(name, kMibGetNext);
        if (r.answer == nullptr) {
            EXPECT_EQ(r.status, kMibNoObject);
            EXPECT_EQ(r.name, name) << "the name stays at the end of the MIB";
            break;
        }
        // Every answer comes from the handler of the row the name lies in.
        const uint32_t key = static_cast<uint32_t>(*r.answer) >> 24;
        if (r.name.size() > 10 && r.name[7] == 2) {
            EXPECT_EQ(key, r.name[9] == 1 ? 4u : 8u);
        }
        seen.push_back(r.name);
        name = r.name;
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(ToyMib, GetRefusesInstancesOutsideTheColumn) {
    struct Case {
        Oid name;
        bool found;
    } cases[] = {
        {Concat(kToy, {2, 1, 1, 1}), true},     {Concat(kToy, {2, 1, 1, 256}), true},
        {Concat(kToy, {2, 1, 1, 300}), true},   {Concat(kToy, {2, 1, 1, 0}), false},
        {Concat(kToy, {2, 1, 1, 301}), false},  {Concat(kToy, {2, 1, 1, 0xFFFFFFFF}), false},
        {Concat(kToy, {2, 1, 1, 5, 1}), false}, {Concat(kToy, {2, 1, 1}), false},
        {Concat(kToy, {2, 1, 2, 4}), false},    {Concat(kToy, {3, 1, 1, 2, 3}), true},
        {Concat(kToy, {3, 1, 1, 0, 1}), false}, {Concat(kToy, {3, 1, 1, 1, 0}), false},
        {Concat(kToy, {3, 1, 1, 3, 1}), false}, {Concat(kToy, {1}), false},
        {Concat(kToy, {9, 0}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.name));
        Result r = Ask(c.name, kMibGet);
        EXPECT_EQ(r.answer != nullptr, c.found);
        if (c.found) {
            EXPECT_EQ(static_cast<uint32_t>(*r.answer) & 0xFFFFFF,
                      c.name[c.name.size() - (c.name[7] == 3 ? 2 : 1)]);
        } else {
            EXPECT_NE(r.status, kMibFound);
        }
    }
}

TEST_F(ToyMib, GetNextFromPastAColumnsLastInstanceGoesToTheNextColumn) {
    EXPECT_EQ(Ask(Concat(kToy, {2, 1, 1, 300}), kMibGetNext).name, Concat(kToy, {2, 1, 2, 1}));
    EXPECT_EQ(Ask(Concat(kToy, {2, 1, 1, 0xFFFFFFFF}), kMibGetNext).name,
              Concat(kToy, {2, 1, 2, 1}));
    EXPECT_EQ(Ask(Concat(kToy, {2, 1, 1, 7, 9}), kMibGetNext).name, Concat(kToy, {2, 1, 1, 8}));
    EXPECT_EQ(Ask(Concat(kToy, {3, 1, 1, 1, 3}), kMibGetNext).name, Concat(kToy, {3, 1, 1, 2, 1}));
    EXPECT_EQ(Ask(Concat(kToy, {3, 1, 1, 2, 3}), kMibGetNext).name, kRanged);
    EXPECT_EQ(Ask({1, 3, 6}, kMibGetNext).name, kScalar) << "before the first subtree";
}

TEST_F(ToyMib, SetChecksTypeConstraintAndGroups) {
    struct Case {
        const char* what;
        Oid name;
        uint16_t syntax;
        uint32_t integer;
        uint32_t length;
        uint32_t group;
        int status;
        uint8_t access;
    } cases[] = {
        {"in range", kRanged, kSnmpInteger, 8, 4, 0x2000000, kMibFound, kMibReadWrite},
        {"above range", kRanged, kSnmpInteger, 9, 4, 0x2000000, kMibBadValue, kMibReadWrite},
        {"wrong type", kRanged, kSnmpOctetString, 1, 1, 0x2000000, kMibBadValue, kMibReadWrite},
        {"group refused", kRanged, kSnmpInteger, 2, 4, 0x1, kMibNoSuchName, 0},
        {"length 5", kFixed, kSnmpOctetString, 0, 5, 0x1, kMibFound, kMibReadWrite},
        {"length 4", kFixed, kSnmpOctetString, 0, 4, 0x1, kMibBadValue, kMibReadWrite},
        {"read-only", kScalar, kSnmpInteger, 1, 4, 0x1, kMibFound, kMibReadOnly},
        {"write-enabled off", kSplit, kSnmpInteger, 1, 4, 0x1, kMibFound, kMibReadOnly},
    };
    snmp_test::DebugCapture debug;
    g_SnmpSetCommit = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_SnmpSetInt = c.integer;
        g_SnmpSetLength = c.length;
        g_SnmpGroupMask = c.group;
        const int writes = g_writes;
        Result r = Ask(c.name, kMibSet, c.syntax);
        EXPECT_EQ(r.status, c.status);
        if (c.status == kMibNoSuchName) {
            EXPECT_EQ(r.answer, nullptr) << "the handler is not called";
        } else {
            EXPECT_EQ(r.access, c.access);
        }
        const bool handed_as_set = c.status != kMibNoSuchName && c.access == kMibReadWrite;
        EXPECT_EQ(g_writes - writes, handed_as_set ? 1 : 0);
    }
    EXPECT_NE(debug.text().find("access denied, panynj\n"), std::string::npos);
}

TEST_F(ToyMib, WriteEnableSwitchOpensAccessThreeRows) {
    g_SnmpSetInt = 123456;  // no checks while write-enabled
    g_SnmpSetLength = 4;
    node_.rows = rows_.data();
    for (MibVariable& row : rows_) {
        if (row.access == kMibWriteEnabled)
            row.write_enable = 1;  // what the switch does
    }
    Result r = Ask(kSplit, kMibSet, kSnmpOctetString);
    EXPECT_EQ(r.status, kMibFound);
    EXPECT_EQ(r.access, kMibReadWrite);
    EXPECT_EQ(g_writes, 1);
}

TEST(MibWriteEnable, MessageStoreSplitSwitchesEveryAccessThreeRow) {
    MibInit(nullptr);
    auto flags = [] {
        std::vector<int> out;
        for (uint32_t i = 0; i < g_MibSubtreeCount; ++i)
            for (uint16_t r = 0; r < g_MibSubtrees[i].row_count; ++r)
                if (g_MibSubtrees[i].rows[r].access == kMibWriteEnabled)
                    out.push_back(g_MibSubtrees[i].rows[r].write_enable);
        return out;
    };
    ASSERT_FALSE(flags().empty());
    MibSetWriteEnable(2);
    EXPECT_EQ(flags(), std::vector<int>(flags().size(), 1));
    MibSetWriteEnable(7);
    EXPECT_EQ(flags(), std::vector<int>(flags().size(), 1)) << "other values leave the flags";
    MibSetWriteEnable(1);
    EXPECT_EQ(flags(), std::vector<int>(flags().size(), 0));
}

TEST(MibConstraints, IntegerChecks) {
    MibVariable row{};
    struct Case {
        uint8_t base, kind, count;
        std::vector<uint32_t> values;
        uint32_t value;
        int accepted;
    } cases[] = {
        {4, 1, 1, {1, 8}, 8, 1},
        {4, 1, 1, {1, 8}, 0, 0},
        {4, 1, 2, {1, 2, 10, 12}, 11, 1},
        {2, 1, 1, {static_cast<uint32_t>(-90), 90}, static_cast<uint32_t>(-5), 1},
        {4, 1, 1, {static_cast<uint32_t>(-90), 90}, static_cast<uint32_t>(-5), 0},  // unsigned
        {4, 1, 1, {0, 90}, static_cast<uint32_t>(-5), 0},
        {4, 2, 3, {1, 2, 3}, 3, 1},
        {4, 2, 3, {1, 2, 3}, 4, 0},
        {3, 1, 1, {0, 255}, 1, 0},
    };
    for (const Case& c : cases) {
        row.constraint_base = c.base;
        row.constraint_kind = c.kind;
        row.constraint_count = c.count;
        std::copy(c.values.begin(), c.values.end(), row.constraint_values);
        EXPECT_EQ(CheckIntConstraint(c.value, &row), c.accepted) << c.value;
    }
    EXPECT_TRUE(CheckSetType(kSnmpIpAddress, kMibTypeIpAddress));
    EXPECT_FALSE(CheckSetType(kSnmpIpAddress, kMibTypeIpAddressRo));
    EXPECT_FALSE(CheckSetType(kSnmpNull, kMibTypeInteger));
    EXPECT_FALSE(CheckSetType(kSnmpCounter64, kMibTypeCounter));
}

// Edge cases of the real table: scalar prefixes, missing instances, the end of the MIB.
TEST(MibWalk, RealTableEdges) {
    MibInit(nullptr);
    auto pdu = snmp_test::NewPdu();
    auto ask = [&](const Oid& name, int mode, int* status) {
        snmp_object& v = pdu->varbinds[0];
        std::copy(name.begin(), name.end(), v.name);
        v.name_length = static_cast<uint32_t>(name.size());
        uint32_t length = v.name_length, value_length = 0;
        uint8_t type = 0, access = 0;
        getStatPtr(&v, &length, &type, &value_length, &access, mode, pdu.get(), 0, status);
        return Oid(v.name, v.name + length);
    };
    int status = -1;
    EXPECT_EQ(ask({1, 3, 6, 1, 2, 1}, kMibGetNext, &status), Oid({1, 3, 6, 1, 2, 1, 1, 1, 0}));
    EXPECT_EQ(status, kMibFound);
    EXPECT_EQ(ask({1, 3, 6, 1, 2, 1, 1, 2}, kMibGetNext, &status),
              Oid({1, 3, 6, 1, 2, 1, 1, 2, 0}));
    ask({1, 3, 6, 1, 2, 1, 1, 1}, kMibGet, &status);
    EXPECT_NE(status, kMibFound) << "sysDescr without its instance";
    ask({1, 3, 6, 1, 2, 1, 1, 1, 0, 0}, kMibGet, &status);
    EXPECT_EQ(status, kMibNoSuchName);
    ask({1, 3, 6, 1, 2, 1, 99, 0}, kMibGet, &status);
    EXPECT_EQ(status, kMibNoObject);
    const Oid past_global = {1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 7, 3, 1, 7, 2, 24};
    EXPECT_EQ(ask(past_global, kMibGetNext, &status), past_global);
    EXPECT_EQ(status, kMibNoObject);
}

}  // namespace
