// The flash files monrc, "//SD/<dir>", SCRIPT.XML and the web files: their contents, their

// GCC 12 at -O3 reports std::string concatenation as an overlapping memcpy (a false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
// failures and the peripherals that stand for them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "database/file_directory.h"
#include "database/file_manager.h"
#include "database/file_monrc.h"
#include "database/file_script.h"
#include "database/file_services.h"
#include "database/object_ids.h"
#include "database/tests/config_board.h"
#include "database/tests/recording_oid_engine.h"
#include "runtime/crc16.h"

namespace {

void* NoBlock(uint32_t) {
    return nullptr;
}
void NoGive(void*) {}

// A driver whose AddFile always fails.
class RefusingDriver : public CFileSystem_DriverTFS {
public:
    FsStatus AddFile(FsMedia*, void*, const char*, uint32_t, const void*, uint32_t) override {
        return FS_NO_ROOM;
    }
};

class FileTest : public ConfigBoardTest {
protected:
    void SetUp() override {
        ConfigBoardTest::SetUp();
        OidSetEngine(&engine);
    }
    void TearDown() override {
        OidSetEngine(nullptr);
        ConfigBoardTest::TearDown();
    }
    void SetVolatile(const DbObject& object, uint32_t value) {
        db->Set(object, value, kDbReplayFlags);
    }
    void SetVolatileText(const DbObject& object, const std::string& text) {
        db->SetText(object, text.data(), static_cast<uint32_t>(text.size()), kDbReplayFlags);
    }
    void SetPattern(const std::string& pattern, int crcOffset = 0) {
        SetVolatileText(dbo::brenFileTransferBlock, pattern);
        SetVolatile(dbo::brenFileTransferBlockCrc,
                    (Crc16Compute(0xFFFF, pattern.data(), pattern.size(), 0) + crcOffset) & 0xFFFF);
    }
    RecordingOidEngine engine;
};

// monrc

TEST_F(FileTest, MonrcHoldsTheNetworkObjects) {
    SetVolatile(dbo::ipAdEntAddr, 0x0A000005);
    SetVolatile(dbo::ipAdEntNetMask, 0xFFFFFF00);
    SetVolatile(dbo::ipRouteDest, 0x0A000001);
    SetVolatileText(dbo::ifPhysAddress, std::string("\x02\x00\x00\x01\x02\x0A", 6));
    ConfigLog().clear();
    ASSERT_TRUE(CFile_Monrc::WriteMonrc(&media, &g_FileSystem));
    const std::string expected =
        "set IPADD 10.0.0.5\r\nset NETMASK 255.255.255.0\r\nset GIPADD 10.0.0.1\r\n"
        "set ETHERADD 02:00:00:01:02:0A\r\n";
    EXPECT_EQ(FileText("monrc"), expected);
    EXPECT_EQ(expected.size(), 100u);
    EXPECT_EQ(ConfigLog(), " - Writing monrc\t\t\t\t\t[ OK ]\n");
    EXPECT_NE(mon_tfsstat("monrc")->flags & TFS_EXEC, 0u);
}

TEST_F(FileTest, MonrcWritesEtheraddOnlyForSixOctets) {
    for (const std::string& mac : {std::string(), std::string("\x02\x00\x00\x01\x02", 5),
                                   std::string("\x02\x00\x00\x01\x02\x0A\x0B", 7)}) {
        SetVolatileText(dbo::ifPhysAddress, mac);
        ASSERT_TRUE(CFile_Monrc::WriteMonrc(&media, &g_FileSystem));
        EXPECT_EQ(FileText("monrc"),
                  "set IPADD 0.0.0.0\r\nset NETMASK 0.0.0.0\r\nset GIPADD 0.0.0.0\r\n")
            << mac.size() << " octets";
    }
}

TEST_F(FileTest, MonrcFailures) {
    PutFile("monrc", "old");
    file_services::SetBufferHooks(&NoBlock, &NoGive);
    ConfigLog().clear();
    EXPECT_FALSE(CFile_Monrc::WriteMonrc(&media, &g_FileSystem));
    EXPECT_EQ(ConfigLog(), "");
    file_services::SetBufferHooks(nullptr, nullptr);
    RefusingDriver refusing;
    EXPECT_FALSE(CFile_Monrc::WriteMonrc(&media, &refusing));
    EXPECT_EQ(ConfigLog(), " - Writing monrc\t\t\t\t\t[FAIL]\n");
    EXPECT_EQ(FileText("monrc"), "old");
}

TEST_F(FileTest, FilePeripheralsNamesIdsAndPolls) {
    struct Row {
        CPeripheral* (*create)(const ConfigPeripheralDescriptor&);
        uint16_t (*idOf)(const char*);
        const char* name;
        uint16_t id;
        uint16_t divider;
    };
    const Row rows[] = {
        {&CFile_Directory::Create, &CFile_Directory::IdOf, "DIRECTORY FILE", 300, 1},
        {&CFile_Monrc::Create, &CFile_Monrc::IdOf, "MONRC FILE", 302, 1},
        {&CFile_Script::Create, &CFile_Script::IdOf, "SCRIPT FILE", 303, 1},
        {&CFile_Manager::Create, &CFile_Manager::IdOf, "FILE MANAGER", 304, 5},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.idOf(row.name), row.id);
        EXPECT_EQ(row.idOf(std::string(row.name).append(" ").c_str()), 0) << row.name;
        EXPECT_EQ(row.create({7, static_cast<uint16_t>(row.id + 100)}), nullptr);
        std::unique_ptr<CPeripheral> p(row.create({7, row.id}));
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p->name, row.name);
        EXPECT_EQ(p->listSlot, 7);
        EXPECT_EQ(p->pollDivider, row.divider);
        EXPECT_EQ(p->enabled, 1);
        p->Poll();
        p->Poll();
        EXPECT_EQ(p->state, CPeripheral::kValid);
    }
    EXPECT_EQ(CFile_Monrc::IdOf("monrc file"), 0);
}

// Directory file

TEST_F(FileTest, DirectoryLineFormat) {
    mon_tfsctrl(TFS_TIMEFUNCS,
                reinterpret_cast<long>(+[]() -> unsigned long { return 1073012645; }), 0);
    PutFile("monrc", std::string(4096, 'x'));
    SetPattern("monrc");
    ASSERT_TRUE(CFile_Directory::WriteDirectoryFile(&media, &g_FileSystem));
    mon_tfsctrl(TFS_TIMEFUNCS, 0, 0);
    EXPECT_EQ(FileText("//SD/<dir>"),
              "00000080"
              "00000000000000"
              "00000000000000"
              "20040102030405"
              "00001000"
              "monrc\r\n");
    EXPECT_NE(mon_tfsstat("//SD/<dir>")->flags & TFS_UNREAD, 0u);
}

TEST_F(FileTest, DirectoryListsMatchingFiles) {
    for (const char* name :
         {"monrc", "Bitmaps/a.bmp", "Bitmaps/b.txt", "BitmapsOld/c.bmp", "Other/d.bmp", "e.bmp"}) {
        PutFile(name, "1234");
    }
    struct Row {
        std::string pattern;
        std::vector<std::string> names;
    };
    const std::vector<Row> rows = {
        {"*",
         {"monrc", "Bitmaps/a.bmp", "Bitmaps/b.txt", "BitmapsOld/c.bmp", "Other/d.bmp", "e.bmp"}},
        {"Bitmaps/*.bmp", {"Bitmaps/a.bmp", "BitmapsOld/c.bmp"}},
        {"*.bmp", {"Bitmaps/a.bmp", "BitmapsOld/c.bmp", "Other/d.bmp", "e.bmp"}},
        {"monrc", {"monrc"}},
        {"Bitmaps/b.txt", {"Bitmaps/b.txt"}},
        {"*.", {}},
        {"nothing", {}},
    };
    for (const Row& row : rows) {
        SetPattern(row.pattern);
        std::vector<char> buffer(4096);
        uint32_t length = 77;
        ASSERT_EQ(BuildDirectoryFile(buffer.data(), 4096, &length), 0);
        // Every line: 60 characters (CR LF included) plus the name.
        const std::string text(buffer.data(), length);
        std::vector<std::string> names;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n", at);
            ASSERT_NE(end, std::string::npos);
            ASSERT_GE(end - at, 58u);
            names.push_back(text.substr(at + 58, end - at - 58));
            at = end + 2;
        }
        std::vector<std::string> expected = row.names;
        std::sort(expected.begin(), expected.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, expected) << row.pattern;
    }
}

TEST_F(FileTest, DirectoryFailures) {
    PutFile("monrc", "1234");
    SetPattern("*", 1);  // CRC mismatch: an empty listing
    ASSERT_TRUE(CFile_Directory::WriteDirectoryFile(&media, &g_FileSystem));
    EXPECT_EQ(FileText("//SD/<dir>"), "");
    mon_tfsunlink("//SD/<dir>");

    SetPattern("*");
    std::vector<char> buffer(100);
    uint32_t length = 0;
    ASSERT_EQ(BuildDirectoryFile(buffer.data(), 100, &length), 0);
    EXPECT_EQ(length, 65u) << "one whole line, the next would not fit";
    PutFile("second", "1");
    ASSERT_EQ(BuildDirectoryFile(buffer.data(), 100, &length), 0);
    EXPECT_EQ(length, 65u);

    RefusingDriver refusing;
    EXPECT_FALSE(CFile_Directory::WriteDirectoryFile(&media, &refusing));
    file_services::SetBufferHooks(&NoBlock, &NoGive);
    EXPECT_FALSE(CFile_Directory::WriteDirectoryFile(&media, &g_FileSystem));
    file_services::SetBufferHooks(nullptr, nullptr);
}

// SCRIPT.XML

const std::string kScript =
    "<?xml version=\"1.0\"?>\r\n<SCRIPT>\r\n\t<OBJ oid=\"1.2.3\" int=\"9\"/>\r\n</SCRIPT>\r\n";

TEST_F(FileTest, ScriptRunsOnlyWhenTriggered) {
    PutFile("SCRIPT.XML", kScript);
    ConfigLog().clear();
    EXPECT_FALSE(CFile_Script::ProcessScriptFile(&media, &g_FileSystem));
    EXPECT_TRUE(engine.sets.empty());
    EXPECT_EQ(ConfigLog(), "");

    db->Set(dbo::scriptFileTrigger, 0x03, kDbReplayFlags);
    EXPECT_TRUE(CFile_Script::ProcessScriptFile(&media, &g_FileSystem));
    EXPECT_EQ(
        engine.sets,
        (std::vector<RecordingOidEngine::Set>{{"1.2.3", "9", kDbSwapNotify | kDbSwapValidate}}));
    EXPECT_EQ(db->Get(dbo::scriptFileTrigger), 0x02u);
    EXPECT_EQ(ConfigLog(), " - Detected Script File\t\t\t\t\t[ OK ]\n");
}

TEST_F(FileTest, MissingScriptIsWrittenFromTheDefault) {
    db->Set(dbo::scriptFileTrigger, 1, kDbReplayFlags);
    EXPECT_TRUE(CFile_Script::ProcessScriptFile(&media, &g_FileSystem));
    EXPECT_EQ(engine.sets.size(), 580u);
    EXPECT_EQ(ConfigLog(),
              " - Writing SCRIPT.XML\t\t\t\t\t[ OK ]\n - Detected Script File\t\t\t\t\t[ OK ]\n");
    EXPECT_EQ(FileText("SCRIPT.XML").substr(0, 5), "<?xml");
}

TEST_F(FileTest, CorruptScriptIsReplacedAndEarlierSettingsStay) {
    PutFile("SCRIPT.XML", "<SCRIPT>\r\n\t<OBJ oid=\"1.2.3\" int=\"9\"/>\r\n\t<OBJ oid=\"1.2.4\"  ");
    db->Set(dbo::scriptFileTrigger, 1, kDbReplayFlags);
    EXPECT_TRUE(CFile_Script::ProcessScriptFile(&media, &g_FileSystem));
    ASSERT_EQ(engine.sets.size(), 581u);
    EXPECT_EQ(engine.sets.front().oid, "1.2.3");
    EXPECT_EQ(engine.ints["1.2.3"], 9);
    EXPECT_EQ(ConfigLog(),
              " - Detected Script File\t\t\t\t\t[FAIL]\n\tFile was corrupt\n"
              " - Writing SCRIPT.XML\t\t\t\t\t[ OK ]\n"
              " - Detected Script File\t\t\t\t\t[ OK ]\n");
}

TEST_F(FileTest, ScriptWithoutBlockKeepsTheTrigger) {
    db->Set(dbo::scriptFileTrigger, 1, kDbReplayFlags);
    file_services::SetBufferHooks(&NoBlock, &NoGive);
    EXPECT_FALSE(CFile_Script::ProcessScriptFile(&media, &g_FileSystem));
    file_services::SetBufferHooks(nullptr, nullptr);
    EXPECT_EQ(db->Get(dbo::scriptFileTrigger), 1u);
}

TEST_F(FileTest, TwoFailedAttemptsClearTheTriggerAndApplyNothing) {
    db->Set(dbo::scriptFileTrigger, 1, kDbReplayFlags);
    RefusingDriver refusing;  // the default cannot be written
    ASSERT_EQ(refusing.Mount(&media, "system drive"), FS_ALREADY_OPEN);
    EXPECT_FALSE(CFile_Script::ProcessScriptFile(&media, &refusing));
    EXPECT_TRUE(engine.sets.empty());
    EXPECT_EQ(db->Get(dbo::scriptFileTrigger), 0u);
}

// Web files

TEST_F(FileTest, WebFilesAreRestoredOnlyWhenMissingOrDifferent) {
    ASSERT_EQ(CFile_Manager::RestoreWebFile(&media, &g_FileSystem, "brenstyle.css", 0), 1);
    const TFILE* first = mon_tfsstat("brenstyle.css");
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first->flags & TFS_UNREAD, 0u);
    EXPECT_NE(FileText("brenstyle.css").find("body"), std::string::npos);
    ASSERT_EQ(CFile_Manager::RestoreWebFile(&media, &g_FileSystem, "brenstyle.css", 0), 1);
    EXPECT_EQ(mon_tfsstat("brenstyle.css"), first) << "the same file is not added again";

    PutFile("brenstyle.css", "changed");
    ASSERT_EQ(CFile_Manager::RestoreWebFile(&media, &g_FileSystem, "brenstyle.css", 0), 1);
    EXPECT_NE(FileText("brenstyle.css"), "changed");

    ASSERT_EQ(CFile_Manager::RestoreWebFile(&media, &g_FileSystem, "list.html", 0), 1);
    EXPECT_FALSE(Exists("list.html"));
    file_services::SetBufferHooks(&NoBlock, &NoGive);
    EXPECT_EQ(CFile_Manager::RestoreWebFile(&media, &g_FileSystem, "preindex.html", 0), 0);
    file_services::SetBufferHooks(nullptr, nullptr);
}

TEST_F(FileTest, BuiltInEntriesMatchByTheirLength) {
    ASSERT_NE(CFile_Manager::FindBuiltin("PREDIAG.HTMLxyz"), nullptr);
    EXPECT_STREQ(CFile_Manager::FindBuiltin("PREDIAG.HTMLxyz")->name, "prediag.html");
    EXPECT_EQ(CFile_Manager::FindBuiltin("prediag.ht"), nullptr);
    EXPECT_EQ(CFile_Manager::FindBuiltin("list.html"), nullptr);
}

}  // namespace
