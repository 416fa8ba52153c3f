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
