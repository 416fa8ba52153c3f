// Consistency of the object-id catalogue with the images, the string map and the
// configuration catalogue.

#include "database/object_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "database/config_catalogue.h"
#include "database/data_base.h"

namespace {
TEST(ObjectIds, EveryObjectFitsItsImage) {
    for (const DbObject& o : dbo::kAll) {
        SCOPED_TRACE(o.name);
        EXPECT_NE(o.image, DbImage::kNone);
        EXPECT_TRUE(o.width == 1 || o.width == 2 || o.width == 4);
        EXPECT_TRUE(!o.IsString() || o.width == 4);
        EXPECT_GE(o.rows, 1);
        EXPECT_GE(o.stride, o.width);
        EXPECT_LE(o.End(), ImageSize(o.image));
    }
}

TEST(ObjectIds, NamesAreUniqueAndObjectsDoNotOverlap) {
    std::set<std::string> names;
    for (const DbObject& o : dbo::kAll) {
        EXPECT_TRUE(names.insert(o.name).second) << o.name;
    }
    // Byte ranges of every row of every object, per image.
    struct Span {
        uint32_t first, end;
        const char* name;
    };
    for (DbImage image : {DbImage::kNv, DbImage::kVolatile}) {
        std::vector<Span> spans;
        for (const DbObject& o : dbo::kAll) {
            if (o.image != image) {
                continue;
            }
            for (uint32_t row = 0; row < o.rows; ++row) {
                spans.push_back({o.Row(row), o.Row(row) + o.width, o.name});
            }
        }
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.first < b.first; });
        for (size_t i = 1; i < spans.size(); ++i) {
            EXPECT_LE(spans[i - 1].end, spans[i].first)
                << spans[i - 1].name << " overlaps " << spans[i].name;
        }
    }
}

// The journal replay decides by the string map whether a record is a string: every NV string
// object of the catalogue must be in the map, and no NV integer object may be.
TEST(ObjectIds, NvStringObjectsMatchTheStringMap) {
    for (const DbObject& o : dbo::kAll) {
        if (o.image != DbImage::kNv) {
            continue;
        }
        for (uint32_t row = 0; row < o.rows; ++row) {
            ASSERT_EQ(CDataBase::IsStringObject(o.Row(row)), o.IsString() ? 1 : 0)
                << o.name << " row " << row;
        }
    }
}

TEST(ObjectIds, ConfigurationCatalogueMatchesTheObjects) {
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        std::string name = row.name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0) {
            name.resize(name.size() - 3);
        }
        SCOPED_TRACE(name);
        const DbObject* o = dbo::Find(name.c_str());
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->image, DbImage::kNv);
        EXPECT_EQ(row.firstId, o->id);
        EXPECT_EQ(row.width, o->width);
        EXPECT_EQ(row.kind, o->kind);
        EXPECT_EQ(row.indexBase, 0u);
        const uint32_t rows = row.rows == 0 ? 1 : row.rows;
        EXPECT_TRUE(rows == o->rows || name == "ifSpeed");
        EXPECT_EQ(row.lastId, row.firstId + row.width * (rows - 1));
        EXPECT_EQ(row.lastId, o->Row(rows - 1));
        // Table names carry "[0]" exactly when the catalogue row is a table.
        EXPECT_EQ(name != row.name,
                  rows > 1 || name == "ifSpeed" || name == "chapName" || name == "chapSecret");
    }
}

TEST(ObjectIds, FindByName) {
    ASSERT_NE(dbo::Find("dmsActivateMessage"), nullptr);
    EXPECT_EQ(dbo::Find("dmsActivateMessage")->id, dbo::dmsActivateMessage.id);
    EXPECT_EQ(dbo::Find("dmsActivateMessag"), nullptr);
    EXPECT_EQ(dbo::Find("dmsActivateMessageX"), nullptr);
    static_assert(dbo::dmsMessageStatus.Row(599) == 34191);
    static_assert(dbo::characterBitmap.LastId() == 25768);
    static_assert(dbo::dmsActivateMessage.image == DbImage::kVolatile);
}

// The 70 rows in file order with the defaults of the file (not the factory defaults), written out
// independently of config_catalogue.cpp: CONFIG.XML lists the records in this order and leaves
// out a value equal to its default.
TEST(ConfigCatalogue, OrderAndDefaults) {
    struct Expected {
        const char* name;
        uint32_t defaultValue;
    };
    const Expected rows[] = {
        {"dmsSignHeight", 1524},
        {"dmsSignWidth", 1220},
        {"dmsHorizontalBorder", 338},
        {"dmsVerticalBorder", 338},
        {"dmsSignAccess", 8},
        {"dmsSignType", 6},
        {"dmsBeaconType", 2},
        {"vmsSignHeightPixels", 16},
        {"vmsSignWidthPixels", 24},
        {"vmsCharacterHeightPixels", 0},
        {"vmsCharacterWidthPixels", 0},
        {"chapName[0]", 0},
        {"chapSecret[0]", 0},
        {"brenIllumBrightnessScaler", 0},
        {"brenSignSerialNum", 0},
        {"brenControllerSerialNum", 0},
        {"globalDaylightSaving", 3},
        {"dstBeginMonth[0]", 14},
        {"controllerStandardTimeZone", 0xFFFFABA0},  // -21600
        {"dstBeginOccurrences[0]", 1},
        {"dstBeginDayOfWeek[0]", 1},
        {"dstBeginDayOfMonth[0]", 1},
        {"dstBeginSecondsToTransition[0]", 0},
        {"dstEndMonth[0]", 14},
        {"dstEndOccurrences[0]", 1},
        {"dstEndDayOfWeek[0]", 1},
        {"dstEndDayOfMonth[0]", 1},
        {"dstEndSecondsToTransition[0]", 0},
        {"dstSecondsToAdjust[0]", 0},
        {"brenLegibilityRatioThreshold", 0},
        {"fdotMaxNumPixelFailure", 0xFFFFFFFF},
        {"rs232PortInSpeed[0]", 9600},
        {"ifSpeed[0]", 0x5000000},
        {"brenShutOffTemp", 85},
        {"brenCallbackNumber", 0},
        {"brenCallbackMinTimeBetweenAttempts", 5},
        {"brenCallbackMaxAttempts", 5},
        {"brenLCDPassword", 0},
        {"brenModuleID", 0},
        {"brenCommConfigFlowControl[0]", 0},
        {"brenCommConfigProtocol[0]", 2},
        {"brenCommConfigTraps[0]", 0},
        {"brenCommConfigInnerCharTimeout[0]", 0},
        {"brenCommConfigParameters[0]", 0},
        {"brenEnableRealTimePixelDiagnostics", 0},
        {"brenhdlcAddress", 1},
        {"brenLCDAdminPassword", 0},
        {"brenTrapsGeneric", 65},
        {"brenTrapsEnterpriseSpecific", 0},
        {"brenTrapsExpirationDuration", 0},
        {"brenPeripheralID[0]", 0},
        {"brenPeripheralParameters[0]", 0},
        {"brenPeripheralAuxIOTableIndex[0]", 0},
        {"brenTBSCBayHeightInModules", 0},
        {"brenTBSCBayWidthInModules", 0},
        {"brenModTimeout", 10},
        {"brenLineLength[0]", 0},
        {"brenSpecialFeatureSet", 0},
        {"vmsHorizontalPitch", 34},
        {"vmsVerticalPitch", 34},
        {"brenRemoteIPAddress", 0},
        {"brenRemoteIPPort", 162},
        {"brenHostIPPort", 161},
        {"brenHostHttpPort", 80},
        {"brenEthernetMode", 1},
        {"brenCANBaudRate", 1},
        {"brenCANMaxLineLength", 0},
        {"brenFeatureSet", 0},
        {"brenNTPIPAddress", 0},
        {"brenNTPPollTime", 60},
    };
    static_assert(std::size(rows) == kConfigCatalogueRows);
    for (uint32_t i = 0; i < kConfigCatalogueRows; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_STREQ(kConfigCatalogue[i].name, rows[i].name) << "row " << i + 1;
        if (kConfigCatalogue[i].kind == DbKind::kInteger) {
            EXPECT_EQ(kConfigCatalogue[i].defaultValue, rows[i].defaultValue);
        }
    }
}

TEST(ConfigCatalogue, FindRowByObjectId) {
    struct Case {
        uint32_t id;
        const char* name;  // null: not in the catalogue
    };
    const Case cases[] = {
        {48, "dmsSignHeight"},
        {49, nullptr},
        {48856, "dstBeginMonth[0]"},
        {48865, "dstBeginMonth[0]"},
        {48932, "dstBeginSecondsToTransition[0]"},
        {48933, nullptr},
        {96344, "brenPeripheralID[0]"},
        {96345, nullptr},
        {98392, "brenTrapsEnterpriseSpecific"},
        {57, "dmsSignType"},
        {95628, nullptr},
        {98691, nullptr},
    };
    for (const Case& c : cases) {
        const ConfigCatalogueRow* row = FindConfigCatalogueRow(c.id);
        if (c.name == nullptr) {
            EXPECT_EQ(row, nullptr) << c.id;
        } else {
            ASSERT_NE(row, nullptr) << c.id;
            EXPECT_STREQ(row->name, c.name);
        }
    }
}
}  // namespace
