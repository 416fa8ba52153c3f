// Web pages made from their templates with live values, and posted forms written to objects.

// GCC 12 at -O3 reports std::string concatenation as an overlapping memcpy (a false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include "comm/http_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/tests/config_board.h"
#include "database/tests/recording_oid_engine.h"

namespace {

constexpr uint8_t kBothOff = kDbSwapNotify | kDbSwapValidate;

std::string Expand(const std::string& text, uint32_t room = kHttpPageRoom) {
    std::vector<char> out(room + 1);
    uint32_t used = 0;
    HttpExpandTemplate(text.data(), static_cast<uint32_t>(text.size()), out.data(), room, &used);
    EXPECT_LE(used, room);
    return std::string(out.data(), used);
}

std::string Part(const std::string& name, const std::string& value) {
    return "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
           "\r\n";
}

int g_tableRuns = 0;

class HttpPagesTest : public ConfigBoardTest {
protected:
    void SetUp() override {
        ConfigBoardTest::SetUp();
        OidSetEngine(&engine);
        g_tableRuns = 0;
        HttpSetMessageTableHook([] { ++g_tableRuns; });
    }
    void TearDown() override {
        HttpSetMessageTableHook(nullptr);
        OidSetEngine(nullptr);
        ConfigBoardTest::TearDown();
    }
    std::string Get(const char* resource) {
        char page[64] = {};
        EXPECT_TRUE(HttpGetResource(&media, &g_FileSystem, resource, page, sizeof page))
            << resource;
        return page;
    }
    void Post(const std::string& body) {
        HttpProcessFormFields(body.data(), static_cast<uint32_t>(body.size()));
    }
    RecordingOidEngine engine;
};

TEST_F(HttpPagesTest, ValueFieldsOfEveryType) {
    engine.ints["1.3.6.1.4.1.1206.4.2.3.6.1.0"] = 3;
    engine.ints["1.3.6.1.2.1.4.20.1.1.1"] = 0x7F000001;
    engine.texts["1.2.3"] = "A/B";
    engine.texts["1.2.4"] = "ABC";
    struct Case {
        std::string text;
        std::string page;
    };
    const std::vector<Case> cases = {
        {"<td>$%1.3.6.1.4.1.1206.4.2.3.6.1.0,int#$</td>", "<td>3</td>"},
        {"$%1,3,6,1,4,1,1206,4,2,3,6,1,0,INT#$", "3"},
        {"$%1,3,6,1,2,1,4,20,1,1,1,IP#$", "2130706433"},
        {"[$%1.2.3,STR#$][$%1.2.4,oct#$]", "[A/B][QUJD]"},
        {"unknown: $%1.9.9,INT#$ $%1.9.9,IP#$ [$%1.9.9,STR#$][$%1.9.9,OCT#$]", "unknown: 0 0 [][]"},
        {"no type $%1.2.3#$ end", "no type  end"},
        {"unterminated $%1.2.3,INT", "unterminated $%1.2.3,INT"},
        {"$%" + std::string(200, '1') + ",INT#$", "0"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Expand(c.text), c.page) << c.text;
    }
}

TEST_F(HttpPagesTest, PageStopsAtItsBuffer) {
    engine.texts["1.2.3"] = std::string(2000, 's');
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "<p>$%1.2.3,STR#$</p>\n";
    }
    const std::string page = Expand(text, 10000);
    EXPECT_EQ(page.size(), 4 * 2008u + 3) << "whole pieces only";
    const std::string full = Expand(text);
    EXPECT_LE(full.size(), kHttpPageRoom);
    EXPECT_GT(full.size(), kHttpPageRoom - 2008);
}

TEST_F(HttpPagesTest, BuiltInPagesHaveEveryFieldReplaced) {
    engine.ints["1.3.6.1.4.1.1206.4.2.3.6.1.0"] = 3;
    for (const char* resource : {"/", "/message.html", "/DIAG.HTML"}) {
        const std::string page = Get(resource);
        const std::string text = FileText(page.c_str());
        EXPECT_GT(text.size(), 300u) << page;
        EXPECT_EQ(text.find("$%"), std::string::npos) << page;
        EXPECT_NE(text.find(">3</td>"), std::string::npos) << page << ": control mode";
        EXPECT_NE(mon_tfsstat(page.c_str())->flags & TFS_UNREAD, 0u);
    }
    EXPECT_EQ(Get("/"), "index.html");
    EXPECT_TRUE(Exists("preindex.html")) << "the template is restored first";
    EXPECT_EQ(Get("/brenstyle.css"), "brenstyle.css");
    EXPECT_TRUE(Exists("brenstyle.css"));
    char page[64];
    EXPECT_FALSE(HttpGetResource(&media, &g_FileSystem, "/view.html", page, sizeof page));
}

TEST_F(HttpPagesTest, FormFieldsWriteWithTheirFlags) {
    const std::string mode = "1,3,6,1,4,1,1206,4,2,3,6,1,0";
    Post(Part("$*" + mode + ",int,n#$", "2") + Part("$*1.2.3,int,nv#$", "-7") +
         Part("$*1.2.4,INT,x#$", "5") + Part("$*1.2.5,str,V#$", "a b/c") +
         Part("$*1.2.6,oct#$", "QUJD") + Part("$*1.2.7,ip,n#$", "1") + Part("plain", "9") +
         "--XyZ--\r\n");
    const std::vector<RecordingOidEngine::Set> expected = {
        {"1.3.6.1.4.1.1206.4.2.3.6.1.0", "2", kDbSwapValidate},
        {"1.2.3", "-7", 0},
        {"1.2.4", "5", kBothOff},
        {"1.2.5", "a b/c", kDbSwapNotify},
        {"1.2.6", "ABC", kBothOff},
    };
    EXPECT_EQ(engine.sets, expected);
    EXPECT_EQ(DbThreadSuppressed(), 0) << "the thread's switches are restored";
}

TEST_F(HttpPagesTest, MalformedFormFieldsAreSkipped) {
    Post(Part("$*" + std::string(170, '1') + ",int,n#$", "2") +
         "--XyZ\r\nname=\"$*1.2.3,int\r\n\r\n3\r\n" + Part("$*1.2.4,int#$", "4") +
         "$*1.2.5,int#$\"\r\nno body");
    EXPECT_EQ(engine.sets, (std::vector<RecordingOidEngine::Set>{{"1.2.4", "4", kBothOff}}));
}

TEST_F(HttpPagesTest, MessageStatusRunsTheMessageTable) {
    Post(Part("$*1.3.6.1.4.1.1206.4.2.3.5.8.1.9.3.4,int,n#$", "7") +
         Part("$*1.3.6.1.4.1.1206.4.2.3.5.8.1.9.3,int,n#$", "7"));
    EXPECT_EQ(engine.sets.size(), 2u);
    EXPECT_EQ(g_tableRuns, 1);
}

TEST_F(HttpPagesTest, ActivationGetsTheMessageCrc) {
    engine.ints["1.3.6.1.4.1.1206.4.2.3.5.8.1.5.3.258"] = 0xBEEF;
    // duration 0xFFFF, priority 255, memory type 3, message 258, CRC 0, source 127.0.0.1
    Post(Part("$*1.3.6.1.4.1.1206.4.2.3.6.3.0,oct,n#$", "////AwECAAB/AAAB"));
    ASSERT_EQ(engine.sets.size(), 1u);
    EXPECT_EQ(engine.sets[0].value,
              std::string("\xFF\xFF\xFF\x03\x01\x02\xBE\xEF\x7F\x00\x00\x01", 12));

    uint8_t shortCode[5] = {0, 0, 0, 3, 1};
    uint32_t length = sizeof shortCode;
    HttpFillActivationCrc(shortCode, &length);  // too short: unchanged
    EXPECT_EQ(shortCode[3], 3);
}

}  // namespace
