// The font, MULTI default and graphic objects: table bounds, the font version bookkeeping,
// clearing a font, graphic size changes and the graphic status requests.

#include <gtest/gtest.h>

#include <string>

#include "database/font_table.h"
#include "database/global_database.h"
#include "database/object_ids.h"
#include "mib_test_client.h"

namespace {

const std::string kDms = "1.3.6.1.4.1.1206.4.2.3";
const std::string kFontColumn = kDms + ".3.2.1.";
const std::string kCharacterColumn = kDms + ".3.4.1.";
const std::string kGraphicColumn = kDms + ".10.6.1.";
const std::string kBlockColumn = kDms + ".10.7.1.";
constexpr uint32_t kNoSuchName = kSnmpNoSuchName;

std::string Text(const DbObject& object, uint32_t row) {
    uint32_t length = 0;
    const char* text = g_DataBase.GetText(object, &length, row);
    return text == nullptr ? std::string() : std::string(text, length);
}

class FontGraphicObjectsTest : public ::testing::Test {
protected:
    mib_test::MibClient mib;
};

TEST_F(FontGraphicObjectsTest, TableIndexesStayWithinTheirLimits) {
    const struct {
        std::string oid;
        bool exists;
        uint32_t answer;  // the index column's answer when it exists
    } cases[] = {
        {kFontColumn + "1.1", true, 1},
        {kFontColumn + "1.20", true, 20},
        {kFontColumn + "1.21", false, 0},
        {kFontColumn + "1.0", false, 0},
        {kFontColumn + "1.4294967295", false, 0},
        {kFontColumn + "1.3.1", false, 0},
        {kCharacterColumn + "1.20.255", true, 255},
        {kCharacterColumn + "1.1.1", true, 1},
        {kCharacterColumn + "1.21.1", false, 0},
        {kCharacterColumn + "1.1.256", false, 0},
        {kCharacterColumn + "1.2.0", false, 0},
        {kCharacterColumn + "1.0.5", false, 0},
        {kCharacterColumn + "1.2", false, 0},
        {kGraphicColumn + "1.50", true, 50},
        {kGraphicColumn + "1.51", false, 0},
        {kGraphicColumn + "1.0", false, 0},
        {kBlockColumn + "2.50.63", true, 63},
        {kBlockColumn + "1.50.63", true, 50},
        {kBlockColumn + "2.5.0", false, 0},
        {kBlockColumn + "2.51.1", false, 0},
        {kBlockColumn + "2.1.64", false, 0},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.Get(c.oid);
        EXPECT_EQ(r.error, c.exists ? 0u : kNoSuchName) << c.oid;
        if (c.exists) {
            EXPECT_EQ(r.word, c.answer) << c.oid;
        }
    }
}

TEST_F(FontGraphicObjectsTest, GetNextStepsFromIndexZeroToTheFirstRow) {
    const struct {
        std::string from, to;
    } cases[] = {
        {kFontColumn + "1.0", kFontColumn + "1.1"},
        {kFontColumn + "1.20", kFontColumn + "2.1"},
        {kCharacterColumn + "2.3.0", kCharacterColumn + "2.3.1"},
        {kCharacterColumn + "2.3.255", kCharacterColumn + "2.4.1"},
        {kCharacterColumn + "2.20.255", kCharacterColumn + "3.1.1"},
        {kBlockColumn + "3.7.0", kBlockColumn + "3.7.1"},
    };
    for (const auto& c : cases) {
        const mib_test::Result r = mib.GetNext(c.from);
        EXPECT_EQ(r.name.compare(0, c.to.size(), c.to), 0) << c.from << " -> " << r.name;
    }
    const mib_test::Result last = mib.GetNext(kBlockColumn + "3.50.63");
    EXPECT_GT(last.name.compare(0, kDms.size(), kDms), 0) << "past the dms subtree: " << last.name;
}

TEST_F(FontGraphicObjectsTest, ReadingTheVersionRecomputesItAfterACharacterChange) {
    constexpr uint32_t kSlot = 1;  // font 2
    ASSERT_EQ(mib.SetInt(kFontColumn + "4.2", 8).error, 0u);
    ASSERT_EQ(mib.SetText(kCharacterColumn + "3.2.65", std::string(8, '\x5A')).error, 0u);
    const uint32_t before = mib.Get(kFontColumn + "7.2").word;

    ASSERT_EQ(mib.SetInt(kCharacterColumn + "2.2.65", 6).error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::fontVersionID, kSlot), (before + 1u) & 0xFFFF)
        << "the change marks the font at once";
    const uint32_t read = mib.Get(kFontColumn + "7.2").word;
    db_update_font_version_id(g_DataBase, kSlot);
    EXPECT_EQ(read, g_DataBase.Get(dbo::fontVersionID, kSlot)) << "computed over the contents";
    EXPECT_NE(read, before);
    EXPECT_NE(read, (before + 1u) & 0xFFFF);

    ASSERT_EQ(mib.SetText(kFontColumn + "3.2", "Highway").error, 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::fontVersionID, kSlot), read) << "a name is no font change";
    EXPECT_EQ(mib.Get(kFontColumn + "7.2").word, read);
    EXPECT_EQ(mib.Get(kFontColumn + "3.2").text, "Highway");
}

TEST_F(FontGraphicObjectsTest, HeightZeroClearsThatFontOnly) {
    for (uint32_t f : {3u, 4u}) {
        ASSERT_EQ(mib.SetInt(kFontColumn + "4." + std::to_string(f), 7).error, 0u);
        for (uint32_t c : {1u, 65u, 255u}) {
            const std::string at = std::to_string(f) + "." + std::to_string(c);
            ASSERT_EQ(mib.SetInt(kCharacterColumn + "2." + at, 5).error, 0u);
            ASSERT_EQ(mib.SetText(kCharacterColumn + "3." + at, "\x7F\x01").error, 0u);
        }
    }
    const uint32_t version = g_DataBase.Get(dbo::fontVersionID, 2);
    ASSERT_EQ(mib.SetInt(kFontColumn + "4.3", 0).error, 0u);
    for (uint32_t c = 1; c <= 255; ++c) {
        ASSERT_EQ(g_DataBase.Get(dbo::characterWidth, 2 * 255 + c - 1), 0u) << c;
        ASSERT_EQ(Text(dbo::characterBitmap, 2 * 255 + c - 1), "") << c;
    }
    EXPECT_EQ(g_DataBase.Get(dbo::fontVersionID, 2), (version + 1u) & 0xFFFF) << "marked once";
    EXPECT_EQ(mib.Get(kCharacterColumn + "2.4.65").word, 5u) << "font 4 keeps its characters";
    EXPECT_EQ(mib.Get(kCharacterColumn + "3.4.255").text, "\x7F\x01");
}

TEST_F(FontGraphicObjectsTest, FontChangesMarkTheFontAndRefusalsAnswerBadValue) {
    const struct {
        std::string oid;
        uint32_t value;
        bool marks;
    } cases[] = {
        {kFontColumn + "2.6", 9, true},    {kFontColumn + "5.6", 2, true},
        {kFontColumn + "6.6", 3, true},    {kCharacterColumn + "2.6.1", 4, true},
        {kFontColumn + "2.6", 300, false},  // out of range: refused before the store
    };
    ASSERT_EQ(mib.SetInt(kFontColumn + "4.6", 9).error, 0u);
    for (const auto& c : cases) {
        const uint32_t version = g_DataBase.Get(dbo::fontVersionID, 5);
        const mib_test::Result r = mib.SetInt(c.oid, c.value);
        EXPECT_EQ(r.error, c.marks ? 0u : uint32_t{kSnmpBadValue}) << c.oid;
        EXPECT_EQ(g_DataBase.Get(dbo::fontVersionID, 5),
                  c.marks ? (version + 1u) & 0xFFFF : version)
            << c.oid;
    }
    EXPECT_EQ(mib.Get(kFontColumn + "2.6").word, 9u);
    EXPECT_EQ(mib.SetInt(kFontColumn + "7.6", 1).error, kNoSuchName) << "the version is read-only";
}

TEST_F(FontGraphicObjectsTest, MultiDefaultsStoreAndRefuseOutOfRangeValues) {
    const struct {
        uint32_t column, good, bad;
    } cases[] = {{1, 9, 10}, {2, 3, 10}, {5, 4, 0},  {6, 5, 1},
                 {7, 2, 5},  {8, 30, 0}, {10, 2, 3}, {9, 0, 256}};
    for (const auto& c : cases) {
        const std::string oid = kDms + ".4." + std::to_string(c.column) + ".0";
        ASSERT_EQ(mib.SetInt(oid, c.good).error, 0u) << oid;
        EXPECT_EQ(mib.SetInt(oid, c.bad).error, uint32_t{kSnmpBadValue}) << oid;
        EXPECT_EQ(mib.Get(oid).word, c.good) << oid;
    }
    EXPECT_EQ(mib.SetInt(kDms + ".4.1.0", 4, 0x1).error, kNoSuchName) << "group bit 30 only";
    EXPECT_EQ(mib.SetInt(kDms + ".4.1.0", 4, 0x40000000).error, 0u);
}

TEST_F(FontGraphicObjectsTest, ANewGraphicSizeEmptiesItsBlocksOnly) {
    const auto fill = [&](uint32_t g) {
        for (uint32_t b = 1; b <= 63; ++b) {
            ASSERT_EQ(mib.SetText(kBlockColumn + "3." + std::to_string(g) + "." + std::to_string(b),
                                  "\x01\x02\x03")
                          .error,
                      0u);
        }
    };
    const auto blocks = [&](uint32_t g) {
        uint32_t filled = 0;
        for (uint32_t b = 0; b < 63; ++b) {
            filled += Text(dbo::dmsGraphicBlockBitmap, 63 * (g - 1) + b).empty() ? 0 : 1;
        }
        return filled;
    };
    const struct {
        std::string column;
        uint32_t value;
        uint32_t left;
    } cases[] = {
        {"5", 40, 63},  // the width it has: kept
        {"5", 41, 0},   // a new width: emptied
        {"4", 12, 63},  // the height it has
        {"4", 13, 0},
    };
    ASSERT_EQ(mib.SetInt(kGraphicColumn + "5.5", 40).error, 0u);
    ASSERT_EQ(mib.SetInt(kGraphicColumn + "4.5", 12).error, 0u);
    for (const auto& c : cases) {
        fill(5);
        fill(6);
        ASSERT_EQ(mib.SetInt(kGraphicColumn + c.column + ".5", c.value).error, 0u);
        EXPECT_EQ(blocks(5), c.left) << c.column << " " << c.value;
        EXPECT_EQ(blocks(6), 63u) << "graphic 6 untouched";
        EXPECT_EQ(mib.Get(kGraphicColumn + c.column + ".5").word, c.value);
    }
}

TEST_F(FontGraphicObjectsTest, StatusRequestsOnAReadyGraphicLowerTheCount) {
    const struct {
        uint32_t stored, request;
        uint32_t count_after;  // from 3
        bool blocks_kept;
    } cases[] = {
        {4, 9, 2, false},  // notUsedReq on readyForUse
        {4, 7, 2, true},   // modifyReq on readyForUse
        {2, 9, 3, true},   // notUsedReq on a graphic being modified
        {5, 9, 3, true},   // inUse
        {4, 8, 3, true},   // readyForUseReq
    };
    for (const auto& c : cases) {
        g_DataBase.Set(dbo::dmsGraphicStatus, c.stored, 0, 8);
        g_DataBase.Set(dbo::dmsGraphicNumEntries, 3, 0);
        g_DataBase.SetText(dbo::dmsGraphicBlockBitmap, "\x0F", 1, 0, 63 * 8 + 62);
        ASSERT_EQ(mib.SetInt(kGraphicColumn + "10.9", c.request).error, 0u) << c.stored;
        EXPECT_EQ(mib.Get(kDms + ".10.2.0").word, c.count_after) << c.stored << " " << c.request;
        EXPECT_EQ(Text(dbo::dmsGraphicBlockBitmap, 63 * 8 + 62).empty(), !c.blocks_kept)
            << c.stored << " " << c.request;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicStatus, 8), c.request) << "the request is stored";
    }
    // A count already at 0 stays 0.
    g_DataBase.Set(dbo::dmsGraphicStatus, 4, 0, 8);
    g_DataBase.Set(dbo::dmsGraphicNumEntries, 0, 0);
    ASSERT_EQ(mib.SetInt(kGraphicColumn + "10.9", 7).error, 0u);
    EXPECT_EQ(mib.Get(kDms + ".10.2.0").word, 0u);
}

TEST_F(FontGraphicObjectsTest, AvailableGraphicMemoryFollowsTheStringPool) {
    const std::string oid = kDms + ".10.4.0";
    const uint32_t before = mib.Get(oid).word;
    ASSERT_GT(before, 0u);
    ASSERT_EQ(mib.SetText(kBlockColumn + "3.20.1", std::string(1000, 'x')).error, 0u);
    const uint32_t during = mib.Get(oid).word;
    EXPECT_LE(during + 1000u, before);
    ASSERT_EQ(mib.SetText(kBlockColumn + "3.20.1", "").error, 0u);
    EXPECT_GT(mib.Get(oid).word, during);
}

}  // namespace
