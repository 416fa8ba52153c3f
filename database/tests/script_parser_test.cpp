// SCRIPT.XML parsing: which files are accepted, which settings they apply, and where they stop.

// GCC 12 at -O3 reports std::string concatenation as an overlapping memcpy (a false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include "database/script_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/builtin_files.h"
#include "database/tests/recording_oid_engine.h"
#include "runtime/crc16.h"

namespace {

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<SCRIPT product=\"Solstrel\" "
    "version=\"1.0\">\r\n";
const std::string kTail = "</SCRIPT>\r\n";
constexpr uint8_t kBothOff = kDbSwapNotify | kDbSwapValidate;

std::string Obj(const std::string& attributes) {
    return "\t<OBJ " + attributes + "/>\r\n";
}

struct Case {
    const char* what;
    std::string text;
    int result;
    std::vector<RecordingOidEngine::Set> sets;
};

class ScriptParserTest : public ::testing::Test {
protected:
    void SetUp() override { OidSetEngine(&engine); }
    void TearDown() override { OidSetEngine(nullptr); }
    RecordingOidEngine engine;
};

TEST_F(ScriptParserTest, AcceptsAndRefuses) {
    const std::string longOid = "1." + std::string(98, '1');  // 100 characters
    const std::string longValue(250, 'x');
    const std::vector<Case> cases = {
        {"declaration and empty root", kHead + kTail, kScriptOk, {}},
        {"no declaration",
         "<script>\r\n" + Obj("oid=\"1.2\" int=\"7\"") + kTail,
         kScriptOk,
         {{"1.2", "7", kBothOff}}},
        {"letters in either case",
         kHead + "\t<obj OID=\"1.3\" Int=\"-4\"/>\r\n</script>",
         kScriptOk,
         {{"1.3", "-4", kBothOff}}},
        {"empty integer is 0",
         kHead + Obj("oid=\"1.2\" int=\"\"") + kTail,
         kScriptOk,
         {{"1.2", "0", kBothOff}}},
        {"tab separates, blanks after />",
         kHead + "<OBJ\toid=\"1.2\"\tstr=\"a b\"/> \t\r\n" + kTail,
         kScriptOk,
         {{"1.2", "a b", kBothOff}}},
        {"slash inside a value is kept",
         kHead + Obj("oid=\"1.2\" str=\"a/b\"") + kTail,
         kScriptOk,
         {{"1.2", "a/b", kBothOff}}},
        {"base64 decoded",
         kHead + Obj("oid=\"1.2\" base64=\"QUJD\"") + kTail,
         kScriptOk,
         {{"1.2", "ABC", kBothOff}}},
        {"line feed alone after />",
         kHead + "\t<OBJ oid=\"1.2\" int=\"1\"/>\n" + kTail,
         kScriptCorrupt,
         {{"1.2", "1", kBothOff}}},
        {"two blanks", kHead + Obj("oid=\"1.2\"  int=\"1\"") + kTail, kScriptCorrupt, {}},
        {"value without identifier", kHead + Obj("int=\"1\"") + kTail, kScriptCorrupt, {}},
        {"identifier forgotten after />",
         kHead + Obj("oid=\"1.2\" int=\"1\"") + Obj("int=\"2\"") + kTail,
         kScriptCorrupt,
         {{"1.2", "1", kBothOff}}},
        {"unquoted integer", kHead + Obj("oid=\"1.2\" int=5") + kTail, kScriptCorrupt, {}},
        {"unquoted identifier", kHead + Obj("oid=1.2 int=\"5\"") + kTail, kScriptCorrupt, {}},
        {"identifier of 100 characters",
         kHead + Obj("oid=\"" + longOid + "\" int=\"1\"") + kTail,
         kScriptCorrupt,
         {}},
        {"value of 250 characters",
         kHead + Obj("oid=\"1.2\" str=\"" + longValue + "\"") + kTail,
         kScriptCorrupt,
         {}},
        {"value of 249 characters",
         kHead + Obj("oid=\"1.2\" str=\"" + longValue.substr(1) + "\"") + kTail,
         kScriptOk,
         {{"1.2", longValue.substr(1), kBothOff}}},
        {"value without closing quote", kHead + "\t<OBJ oid=\"1.2\" str=\"abc", kScriptCorrupt, {}},
        {"missing end tag: later settings cut",
         kHead + Obj("oid=\"1.2\" int=\"1\""),
         kScriptCorrupt,
         {{"1.2", "1", kBothOff}}},
        {"unknown element", kHead + "<FOO/>\r\n" + kTail, kScriptCorrupt, {}},
        {"unterminated declaration", "<?xml version=\"1.0\"", kScriptCorrupt, {}},
        {"empty text", "", kScriptCorrupt, {}},
        {"unknown attribute", kHead + Obj("oid=\"1.2\" hex=\"01\"") + kTail, kScriptCorrupt, {}},
    };
    for (const Case& c : cases) {
        engine.sets.clear();
        EXPECT_EQ(ScriptParser(c.text.data(), static_cast<uint32_t>(c.text.size())), c.result)
            << c.what;
        EXPECT_EQ(engine.sets, c.sets) << c.what;
    }
}

TEST_F(ScriptParserTest, RefusedSettingsAreSkipped) {
    engine.accept = false;
    const std::string text =
        kHead + Obj("oid=\"1.2\" int=\"1\"") + Obj("oid=\"1.3\" int=\"2\"") + kTail;
    EXPECT_EQ(ScriptParser(text.data(), static_cast<uint32_t>(text.size())), kScriptOk);
    EXPECT_EQ(engine.sets.size(), 2u);
}

TEST_F(ScriptParserTest, IdentifiersOfMoreThanFortySubIdentifiersAreNotSet) {
    std::string oid = "1";
    for (int i = 0; i < 40; ++i) {
        oid += ".1";
    }
    const std::string text = kHead + Obj("oid=\"" + oid + "\" int=\"1\"") + kTail;
    EXPECT_EQ(ScriptParser(text.data(), static_cast<uint32_t>(text.size())), kScriptOk);
    EXPECT_TRUE(engine.sets.empty());
}

TEST_F(ScriptParserTest, BuiltInScriptAppliesItsSettings) {
    ASSERT_EQ(kBuiltinScriptFilesCount, 1u);
    std::vector<uint8_t> text(0x40000);
    const long n = InflateBuiltinFile(kBuiltinScriptFiles[0], text.data(), 0x40000);
    ASSERT_GT(n, 0);
    ASSERT_EQ(ScriptParser(reinterpret_cast<const char*>(text.data()), static_cast<uint32_t>(n)),
              kScriptOk);
    ASSERT_EQ(engine.sets.size(), 580u);
    EXPECT_EQ(engine.sets.front(),
              (RecordingOidEngine::Set{"1.3.6.1.4.1.1206.3.47.2.8.0", "2", kBothOff}));
    EXPECT_EQ(engine.sets.back(),
              (RecordingOidEngine::Set{"1.3.6.1.4.1.1206.3.47.2.8.0", "1", kBothOff}));
    const std::string column = "1.3.6.1.4.1.1206.4.2.3.5.8.1.";
    EXPECT_EQ(engine.texts[column + "3.3.1"], "[fo1]5[ms47,name,5]");
    EXPECT_EQ(engine.texts[column + "3.3.72"], "[fo2]180[ms47,name,180 (BEACONS)]");
    EXPECT_EQ(engine.ints[column + "6.3.72"], 1);
    EXPECT_EQ(engine.ints[column + "9.3.36"], 4);
    EXPECT_EQ(engine.texts.count(column + "3.3.558"), 0u);
    EXPECT_EQ(engine.ints["1.3.6.1.4.1.1206.4.2.3.6.1.0"], 4);
    // Each CRC is the message CRC of its text (beacon and pixel-service octets after it);
    // the two given empty for number 557 set 0.
    for (int n : {1, 19, 36, 37, 72, 501, 572}) {
        const std::string row = ".3." + std::to_string(n);
        std::string bytes = engine.texts[column + "3" + row];
        bytes += static_cast<char>(engine.ints[column + "6" + row]);
        bytes += '\0';
        EXPECT_EQ(engine.ints[column + "5" + row],
                  Crc16Compute(0xFFFF, bytes.data(), bytes.size(), kCrc16Invert | kCrc16Swap))
            << n;
    }
    EXPECT_EQ(engine.ints[column + "5.3.557"], 0);
}

}  // namespace
