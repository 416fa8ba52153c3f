// CONFIG.XML is built from the catalogue and restores it; hostile records are bounded and skipped.
#include "database/file_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/config_catalogue.h"
#include "database/object_ids.h"
#include "database/tests/config_board.h"

namespace {

const std::string kHeader = "<!-- CONFIG.XML Q2 V2.0 -->\n";

// A value that differs from the row's catalogue default and fits its width.
uint32_t OtherValue(const ConfigCatalogueRow& row, uint32_t i) {
    const uint32_t mask = row.width == 4 ? 0xFFFFFFFFu : (1u << (8 * row.width)) - 1;
    uint32_t value = (0x5A5A5A5Au + 7919u * i + row.firstId) & mask;
    if (value == row.defaultValue) {
        value = (value + 1) & mask;
    }
    return value;
}

std::string OtherText(const ConfigCatalogueRow& row, uint32_t i) {
    std::string text = "v" + std::to_string(row.firstId) + "/" + std::to_string(i);
    if (i % 3 == 0) {
        text += std::string("\n\0,:[", 5);  // any octet survives in version 2
    }
    return text;
}

using ConfigFile = ConfigBoardTest;

TEST_F(ConfigFile, RoundTripRestoresEveryCatalogueObject) {
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        for (uint32_t i = 0; i < (row.rows == 0 ? 1u : row.rows); ++i) {
            const uint32_t id = row.firstId + row.width * i;
            if (row.kind == DbKind::kInteger) {
                SetNv(id, row.width, OtherValue(row, i));
            } else {
                SetNvText(id, OtherText(row, i));
            }
        }
    }
    ASSERT_EQ(CFile_Config::WriteConfigFile(&media, &g_FileSystem), 1);
    const std::string file = FileText("CONFIG.XML");
    ASSERT_EQ(file.substr(0, kHeader.size()), kHeader);

    db = std::make_unique<CDataBase>();
    db->SetValidationEnabled(false);  // as during start-up
    CFile_Config::AttachDatabase(db.get());
    ConfigLog().clear();
    ASSERT_EQ(CFile_Config::RestoreConfigFile(&media, &g_FileSystem), 1);
    EXPECT_EQ(ConfigLog(), " - Restore Config File\t\t\t\t\trestoring module id\n[ OK ]\n");
    for (const ConfigCatalogueRow& row : kConfigCatalogue) {
        for (uint32_t i = 0; i < (row.rows == 0 ? 1u : row.rows); ++i) {
            const uint32_t id = row.firstId + row.width * i;
            if (row.kind == DbKind::kInteger) {
                EXPECT_EQ(Nv(id, row.width), OtherValue(row, i)) << row.name << " row " << i;
            } else {
                EXPECT_EQ(NvText(id), OtherText(row, i)) << row.name << " row " << i;
            }
        }
    }
    EXPECT_EQ(db->GetInt(dbo::brenPeripheralListEdit.id, 1, DbImage::kVolatile), 2u)
        << "peripheral list to apply";
}

TEST_F(ConfigFile, RecordsFollowTheFormat) {
    SetNv(dbo::dmsSignHeight.id, 2, 1600);   // dmsSignHeight
    SetNv(dbo::dmsSignType.id, 1, 6);        // dmsSignType at its catalogue default: no record
    SetNv(dbo::dstBeginMonth.Row(3), 1, 3);  // dstBeginMonth row 4
    SetNvText(dbo::brenPeripheralParameters.Row(1), "42105,2");  // brenPeripheralParameters row 2
    uint32_t length = 0;
    std::vector<char> buffer(CFile_Config::kBufferSize);
    ASSERT_EQ(CFile_Config::Build(buffer.data(), static_cast<uint32_t>(buffer.size()), &length), 0);
    const std::string text(buffer.data(), length);
    EXPECT_EQ(text.substr(0, 28), kHeader);
    EXPECT_NE(text.find("\ndmsSignHeight[0000]:XXXX,640\n"), std::string::npos);
    EXPECT_EQ(text.find("dmsSignType"), std::string::npos);
    EXPECT_NE(text.find("\ndstBeginMonth[0][0003]:XXXX,3\n"), std::string::npos);
    EXPECT_NE(text.find("\nbrenPeripheralParameters[0][0001]:0007,42105,2\n"), std::string::npos);
    EXPECT_EQ(CFile_Config::Build(nullptr, 10, &length), 1);
}

TEST_F(ConfigFile, OverlongBuildIsReportedAndNothingIsWritten) {
    // 255 peripheral parameter strings of 1500 octets: far beyond 256 KB.
    const std::string big(1500, 'p');
    for (uint32_t r = 0; r < 255; ++r) {
        SetNvText(96348 + 4 * r, big);
    }
    uint32_t length = 77;
    std::vector<char> buffer(CFile_Config::kBufferSize);
    EXPECT_EQ(CFile_Config::Build(buffer.data(), static_cast<uint32_t>(buffer.size()), &length),
              CFile_Config::kBuildOverflow);
    EXPECT_EQ(length, 0u);

    PutFile("CONFIG.XML", kHeader + "dmsSignType[0000]:XXXX,5\n");
    g_ConfigDirty = 1;
    CFile_Config file;
    file.Poll();
    EXPECT_EQ(g_ConfigDirty, 1) << "stays dirty";
    EXPECT_EQ(FileText("CONFIG.XML"), kHeader + "dmsSignType[0000]:XXXX,5\n") << "old file kept";
    EXPECT_NE(ConfigLog().find(" - Writing CONFIG.XML\t\t\t\t\t[FAIL]\n"), std::string::npos);
}

struct RestoreCase {
    const char* name;
    std::string file;
    int result;
    const char* log;
};

TEST_F(ConfigFile, RestoreCases) {
    const RestoreCase cases[] = {
        {"header only", kHeader, 1, " - Restore Config File\t\t\t\t\t[ OK ]\n"},
        {"CFG", "<CFG>\n", 0,
         " - Restore Config File\t\t\t\t\t[FAIL]\n\tFile was corrupt\n[ OK ]\n"},
        {"WIN32", "<!-- CONFIG.XML WIN32 V2.0 -->\ndmsSignType[0000]:XXXX,5\n", 0,
         " - Restore Config File\t\t\t\t\t[FAIL]\n\tFile was corrupt\n[ OK ]\n"},
        {"version 1", "dmsSignType[0000]:5\n", 1, " - Restore Config File\t\t\t\t\t[ OK ]\n"},
        {"empty", "", 1, " - Restore Config File\t\t\t\t\t[ OK ]\n"},
    };
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetNv(dbo::dmsSignType.id, 1, 6);
        PutFile("CONFIG.XML", c.file);
        ConfigLog().clear();
        EXPECT_EQ(CFile_Config::RestoreConfigFile(&media, &g_FileSystem), c.result);
        EXPECT_EQ(ConfigLog(), c.log);
        EXPECT_EQ(Exists("CONFIG.XML"), c.result == 1) << "a corrupt file is deleted";
        if (std::string(c.name) == "version 1") {
            EXPECT_EQ(Nv(dbo::dmsSignType.id, 1), 5u);
        } else {
            EXPECT_EQ(Nv(dbo::dmsSignType.id, 1), 6u);
        }
    }
}

TEST_F(ConfigFile, MissingFileIsWrittenFromTheObjects) {
    SetNv(dbo::brenRemoteIPPort.id, 2, 1620);
    EXPECT_EQ(CFile_Config::RestoreConfigFile(&media, &g_FileSystem), 0);
    EXPECT_EQ(ConfigLog(),
              " - Restore Config File\t\t\t\t\t[FAIL]\n\tFile Does Not Exist\n"
              " - Writing CONFIG.XML\t\t\t\t\t[ OK ]\n");
    EXPECT_NE(FileText("CONFIG.XML").find("brenRemoteIPPort[0000]:XXXX,654\n"), std::string::npos);
}

TEST_F(ConfigFile, BackupIsReadWhenTheFileIsMissingAndDeletedAfterAWrite) {
    PutFile("CONFIG.BAK", kHeader + "brenHostIPPort[0000]:XXXX,A2\n");
    EXPECT_EQ(CFile_Config::RestoreConfigFile(&media, &g_FileSystem), 1);
    EXPECT_EQ(Nv(dbo::brenHostIPPort.id, 2), 0xA2u);
    EXPECT_EQ(CFile_Config::WriteConfigFile(&media, &g_FileSystem), 1);
    EXPECT_FALSE(Exists("CONFIG.BAK"));
    EXPECT_TRUE(Exists("CONFIG.XML"));
}

TEST_F(ConfigFile, HostileRecordsAreBoundedAndSkipped) {
    SetNv(dbo::dmsSignType.id, 1, 6);
    SetNv(dbo::brenPeripheralID.id, 2, 0);
    std::string text = kHeader;
    // A length far beyond the line buffer: skipped whole, the rest still restored.
    text += "brenCallbackNumber[0000]:FFFF," + std::string(0xFFFF, 'A') + "\n";
    // Index beyond the rows of the table and one beyond a single object.
    text += "brenPeripheralID[0][00FF]:XXXX,7\n";
    text += "dmsSignType[0001]:XXXX,9\n";
    // Index below the base.
    text += "brenLineLength[5][0002]:XXXX,9\n";
    // Unknown name and a record without a colon.
    text += "noSuchObject[0000]:XXXX,1\n";
    text += "dmsSignType\n";
    // A good record after all of them.
    text += "brenPeripheralID[0][0000]:XXXX,2A\n";
    // A string record cut short by the end of the text.
    text += "chapName[0][0000]:0010,abc";
    EXPECT_EQ(CFile_Config::ParseFile(text.data(), static_cast<uint32_t>(text.size())), 0);
    EXPECT_EQ(Nv(dbo::dmsSignType.id, 1), 6u);
    EXPECT_EQ(Nv(dbo::brenPeripheralID.id, 2), 0x2Au);
    EXPECT_EQ(NvText(dbo::brenCallbackNumber.id), "");
    EXPECT_EQ(NvText(dbo::chapName.id), "");
    EXPECT_EQ(Nv(95836 + 2 * 254, 2), 0u);
    EXPECT_NE(
        ConfigLog().find("CFile_Config::Parse: failed to restore:noSuchObject[0000]:XXXX,1\n"),
        std::string::npos);
    // The neighbours of the peripheral table are untouched.
    EXPECT_EQ(Nv(96346, 2), 0u);
}

TEST_F(ConfigFile, StringWithNewlineSurvivesVersion2AndModuleIdIsAnnounced) {
    SetNvText(dbo::chapSecret.id, std::string("a\nb", 3));
    SetNv(dbo::brenModuleID.id, 2, 116);
    std::vector<char> buffer(CFile_Config::kBufferSize);
    uint32_t length = 0;
    ASSERT_EQ(CFile_Config::Build(buffer.data(), static_cast<uint32_t>(buffer.size()), &length), 0);
    db = std::make_unique<CDataBase>();
    CFile_Config::AttachDatabase(db.get());
    static int hookCalls = 0;
    hookCalls = 0;
    CFile_Config::SetModuleIdHook([] { ++hookCalls; });
    ConfigLog().clear();
    CFile_Config::ParseFile(buffer.data(), length);
    CFile_Config::SetModuleIdHook(nullptr);
    EXPECT_EQ(NvText(dbo::chapSecret.id), std::string("a\nb", 3));
    EXPECT_EQ(Nv(dbo::brenModuleID.id, 2), 116u);
    EXPECT_NE(ConfigLog().find("restoring module id\n"), std::string::npos);
    EXPECT_EQ(hookCalls, 1);
}

TEST_F(ConfigFile, NoBufferFailsWithoutTouchingTheFile) {
    CFile_Config::SetBufferHooks([](uint32_t) -> void* { return nullptr; }, [](void*) {});
    PutFile("CONFIG.XML", kHeader);
    EXPECT_EQ(CFile_Config::WriteConfigFile(&media, &g_FileSystem), 0);
    EXPECT_EQ(CFile_Config::RestoreConfigFile(&media, &g_FileSystem), 0);
    EXPECT_EQ(ConfigLog(),
              " - Writing CONFIG.XML\t\t\t\t\t[FAIL]\n - Restore Config File\t\t\t\t\t[FAIL]\n");
    EXPECT_EQ(FileText("CONFIG.XML"), kHeader);
}

TEST_F(ConfigFile, PeripheralWritesOnceAfterSixHundredPollsFromTheLastChange) {
    CFile_Config* file = static_cast<CFile_Config*>(CFile_Config::Create({0xFFFF, 301}));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(CFile_Config::Create({0, 300}), nullptr);
    EXPECT_STREQ(file->name, "CONFIG FILE");
    EXPECT_EQ(file->state, 6);
    EXPECT_EQ(file->enabled, 1);
    EXPECT_EQ(CFile_Config::IdOf("CONFIG FILE"), 301);
    EXPECT_EQ(CFile_Config::IdOf("SCRIPT FILE"), 0);
    pl_mediator mediator;
    mediator.Add(file);
    PutFile("CONFIG.BAK", kHeader);
    // Two changes of brenRemoteIPPort: each is letter 93 (counter reset, dirty).
    auto letter93 = [&] {
        mediator.SetPollCounter(301, 0);
        g_ConfigDirty = 1;
    };
    SetNv(dbo::brenRemoteIPPort.id, 2, 1000);
    letter93();
    for (int i = 0; i < 300; ++i) {
        mediator.PollAll();
    }
    SetNv(dbo::brenRemoteIPPort.id, 2, 1001);
    letter93();
    int writes = 0;
    for (int i = 1; i <= 1300; ++i) {
        const bool before = Exists("CONFIG.XML");
        mediator.PollAll();
        if (!before && Exists("CONFIG.XML")) {
            ++writes;
            EXPECT_EQ(i, 601) << "written at the 601st cycle after the last change";
        }
    }
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(g_ConfigDirty, 0);
    EXPECT_FALSE(Exists("CONFIG.BAK"));
    EXPECT_NE(FileText("CONFIG.XML").find("brenRemoteIPPort[0000]:XXXX,3E9\n"), std::string::npos);
    mediator.Remove(file);
    delete file;
}

}  // namespace
