// The database task's start-up flows, boot counter, cycle and font version ids, on a booted board
// (CONFIG.XML in the monitor's flash) with the journal in memory.

#include "database/database_task.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "database/db_services.h"
#include "database/factory_defaults.h"
#include "database/font_table.h"
#include "database/global_database.h"
#include "database/memory_journal_services.h"
#include "database/object_ids.h"
#include "database/tests/config_board.h"
#include "database/tests/fake_default_fonts.h"
#include "database/time_registers.h"
#include "database/write_mode_scope.h"

namespace {

uint8_t g_bootRegister = 0;
uint8_t ReadBoot() {
    return g_bootRegister;
}
void WriteBoot(uint8_t value) {
    g_bootRegister = value;
}

constexpr const char* kEnabling = "enabling flash database, running in non-volatile mode\n";

class DatabaseStart : public ConfigBoardTest {
protected:
    void SetUp() override {
        ConfigBoardTest::SetUp();
        g_bootRegister = 0xA0;
    }
    void TearDown() override {
        task.reset();
        journal.reset();
        ConfigBoardTest::TearDown();
    }

    // A new boot: a fresh database, journal and task over the same flash; then the start-up flow.
    int Start() {
        task.reset();
        journal.reset();
        services.Reboot();
        db = std::make_unique<CDataBase>();
        db->SetTimeRegisters(&registers);
        CFile_Config::AttachDatabase(db.get());
        // Room in the index for every object of a first start: no retirement scans.
        FlashJournalGeometry geometry;
        geometry.indexCapacity = 65536;
        journal = std::make_unique<CFlashDatabase>(db.get(), &services, geometry);
        DatabaseTaskConfig config;
        config.media = &media;
        config.driver = &g_FileSystem;
        config.readBootRegister = &ReadBoot;
        config.writeBootRegister = &WriteBoot;
        task = std::make_unique<CDatabaseTask>(office, *db, *journal, services, config);
        ConfigLog().clear();
        return task->InitDatabase();
    }

    std::string Text(CDataBase& d, uint32_t id) {
        uint32_t n = 0;
        const char* text = d.GetString(id, 4, DbImage::kNv, &n);
        return std::string(text, n);
    }

    FakeDefaultFonts fonts;
    MemoryJournalServices services;
    MemoryTimeRegisters registers;
    std::unique_ptr<CFlashDatabase> journal;
    std::unique_ptr<CDatabaseTask> task;
};

TEST_F(DatabaseStart, FirstStartThenJournalStartKeepsEveryValue) {
    ASSERT_EQ(Start(), 1);
    // Factory values, the committed journal, the fonts and CONFIG.XML written from the objects.
    EXPECT_EQ(Nv(dbo::dmsSignHeight.id, 2), 1524u);
    EXPECT_EQ(Text(*db, 94260), "quartermaster");
    ASSERT_TRUE(services.Exists("nv1.dat"));
    EXPECT_EQ(services.File("nv1.dat")->at(0), 0x7F);
    EXPECT_EQ(Text(*db, 92), "14X10_FHWA_TYPE_E.FNT");
    EXPECT_EQ(Text(*db, 96), "14X10_NARROW.FNT");
    EXPECT_NE(Nv(dbo::fontHeight.id, 1), 0u);
    EXPECT_NE(Nv(dbo::fontVersionID.id, 2), 0u);
    EXPECT_NE(Nv(dbo::fontVersionID.Row(1), 2), 0u);
    EXPECT_NE(Nv(dbo::fontVersionID.id, 2), Nv(dbo::fontVersionID.Row(1), 2));
    EXPECT_NE(ConfigLog().find("[FAIL]\n\tFile Does Not Exist\n"), std::string::npos);
    EXPECT_TRUE(Exists("CONFIG.XML"));
    EXPECT_TRUE(db->JournalWriting());
    EXPECT_EQ(db->initComplete, 1);
    EXPECT_EQ(g_bootRegister, 0xA0) << "no journal at start: the counter is cleared";

    // Start-up writes before the first cycle reach the journal.
    db->SetInt(dbo::dmsSWReset.id, 1, 3, DbImage::kNv, kDbNotify);
    db->SetString(dbo::dmsMessageMultiString.id, 4, "X", 1, DbImage::kNv, kDbSkipValidation);
    ConfigLog().clear();
    task->Cycle();
    EXPECT_EQ(ConfigLog(), kEnabling);
    ConfigLog().clear();
    task->Cycle();
    EXPECT_EQ(ConfigLog(), "") << "logged once";

    // The first boot's objects stay for the comparison.
    std::unique_ptr<CDataBase> first = std::move(db);
    std::unique_ptr<CFlashDatabase> firstJournal = std::move(journal);
    task.reset();
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(ConfigLog().find("Restore Config File"), std::string::npos) << "journal replayed";
    for (uint32_t id = 0; id < kNvImageSize;) {
        if (id % 4 == 0 && CDataBase::IsStringObject(id)) {
            ASSERT_EQ(Text(*db, id), Text(*first, id)) << "NV string " << id;
            id += 4;
            continue;
        }
        ASSERT_EQ(db->GetInt(id, 1, DbImage::kNv), first->GetInt(id, 1, DbImage::kNv))
            << "NV " << id;
        ++id;
    }
    EXPECT_EQ(Nv(dbo::dmsSWReset.id, 1), 3u);
}

TEST_F(DatabaseStart, FirstCycleWritesTheFeatureSetInOneRecord) {
    ASSERT_EQ(Start(), 1);
    const uint32_t before = journal->WritePosition(journal->ActiveFile());
    task->Cycle();
    const uint32_t cycle = journal->WritePosition(journal->ActiveFile()) - before;
    const uint32_t mark = journal->WritePosition(journal->ActiveFile());
    journal->WriteInt32(dbo::brenSpecialFeatureSet.id, 0, nullptr);
    const uint32_t one = journal->WritePosition(journal->ActiveFile()) - mark;
    EXPECT_EQ(cycle, one);

    // A power cut at any byte of that record leaves the bit clear after the next start.
    db->SetInt(dbo::brenSpecialFeatureSet.id, 4, 0, DbImage::kNv, kDbNotify);
    for (uint64_t cut = 1; cut <= one; ++cut) {
        ASSERT_EQ(Start(), 1);
        services.CutAfter(cut, true, static_cast<uint32_t>(cut));
        task->Cycle();
        ASSERT_EQ(Start(), 1);
        EXPECT_EQ(Nv(dbo::brenSpecialFeatureSet.id, 4) & 0x800, 0u) << "cut after byte " << cut;
    }
}

TEST_F(DatabaseStart, VolatileOnlyStartRestoresConfigAndKeepsJournalOff) {
    ASSERT_EQ(Start(), 1);
    task->Cycle();
    db->SetInt(dbo::brenRemoteIPPort.id, 2, 1234, DbImage::kNv, 0);
    ASSERT_EQ(CFile_Config::WriteConfigFile(&media, &g_FileSystem), 1);
    db->SetInt(dbo::brenRemoteIPPort.id, 2, 999, DbImage::kNv, 0);
    db->SetInt(dbo::brenSpecialFeatureSet.id, 4, 0x800, DbImage::kNv, 0);
    task->Cycle();
    EXPECT_FALSE(db->JournalWriting());
    EXPECT_NE(ConfigLog().find("disabling flash database, running in volatile only mode\n"),
              std::string::npos);

    ASSERT_EQ(Start(), 1);
    EXPECT_NE(ConfigLog().find(" - Restore Config File"), std::string::npos);
    EXPECT_EQ(Nv(dbo::brenRemoteIPPort.id, 2), 1234u) << "CONFIG.XML over the journal";
    EXPECT_FALSE(db->JournalWriting());
    ConfigLog().clear();
    task->Cycle();
    EXPECT_EQ(ConfigLog(), "");
    EXPECT_FALSE(db->JournalWriting());

    // Leaving volatile-only mode journals the cleared bit, which the next start replays.
    db->SetInt(dbo::brenSpecialFeatureSet.id, 4, 0, DbImage::kNv, 0);
    task->Cycle();
    EXPECT_EQ(ConfigLog(), kEnabling);
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(Nv(dbo::brenSpecialFeatureSet.id, 4), 0u);
    EXPECT_TRUE(db->JournalWriting());
}

TEST_F(DatabaseStart, BootCounterSteps) {
    ASSERT_EQ(Start(), 1);
    struct Case {
        uint8_t count, next;
        bool journalKept, configKept;
    };
    const Case cases[] = {
        {0, 1, true, true},  {6, 7, true, true},    {7, 8, true, true},
        {8, 9, false, true}, {14, 15, false, true}, {15, 15, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.count));
        if (!services.Exists("nv1.dat")) {
            services.Add("nv1.dat", 64);
        }
        PutFile("CONFIG.XML", "<!-- CONFIG.XML Q2 V2.0 -->\n");
        PutFile("CONFIG.BAK", "<!-- CONFIG.XML Q2 V2.0 -->\n");
        g_bootRegister = static_cast<uint8_t>(0xA0 | c.count);
        task->StateMachine_BootCounter(0);
        EXPECT_EQ(g_bootRegister, 0xA0 | c.next);
        EXPECT_EQ(services.Exists("nv1.dat"), c.journalKept);
        EXPECT_EQ(Exists("CONFIG.XML"), c.configKept);
        EXPECT_EQ(Exists("CONFIG.BAK"), c.configKept);
    }
    g_bootRegister = 0x5C;
    DebugSetTraceLevel(1);
    task->StateMachine_BootCounter(1);
    EXPECT_EQ(g_bootRegister, 0x50);
    EXPECT_EQ(db->bootCounterCleared, 1);
    EXPECT_NE(ConfigLog().find("CDatabase::StateMachine_BootCounter:0x5C\n"), std::string::npos)
        << "trace level 1";
}

TEST_F(DatabaseStart, NinthUnfinishedStartDiscardsTheJournal) {
    ASSERT_EQ(Start(), 1);
    task->Cycle();
    db->SetInt(dbo::brenRemoteIPPort.id, 2, 4321, DbImage::kNv,
               0);  // journalled, not in CONFIG.XML yet
    for (int start = 1; start <= 8; ++start) {
        ASSERT_EQ(Start(), 1);
        EXPECT_EQ(Nv(dbo::brenRemoteIPPort.id, 2), 4321u) << "start " << start;
    }
    EXPECT_EQ(g_bootRegister & 0x0F, 8);
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(g_bootRegister & 0x0F, 9);
    EXPECT_EQ(Nv(dbo::brenRemoteIPPort.id, 2), 162u) << "factory default plus CONFIG.XML";
}

TEST_F(DatabaseStart, FontVersionIds) {
    ASSERT_EQ(Start(), 1);
    const uint32_t v0 = Nv(dbo::fontVersionID.id, 2);
    // Two changes in one display cycle, none in the next: recomputed once, in the second.
    task->MarkFontChanged(0);
    task->MarkFontChanged(0);
    EXPECT_EQ(Nv(dbo::fontVersionID.id, 2), (v0 + 2) & 0xFFFF);
    task->UpdateSettledFontVersionIds();
    EXPECT_EQ(Nv(dbo::fontVersionID.id, 2), (v0 + 2) & 0xFFFF);
    task->UpdateSettledFontVersionIds();
    EXPECT_EQ(Nv(dbo::fontVersionID.id, 2), v0);
    EXPECT_EQ(db->fontChangeCounters[0], 0u);

    // A version of 0xFFFF moves on to 0.
    db->SetInt(232 + 2 * 5, 2, 0xFFFF, DbImage::kNv, kDbSkipValidation);
    task->MarkFontChanged(5);
    EXPECT_EQ(Nv(232 + 10, 2), 0u);
    // A slot of height 0 keeps its version id.
    db->SetInt(232 + 2 * 5, 2, 0x1234, DbImage::kNv, kDbSkipValidation);
    task->UpdateFontVersionId(5);
    EXPECT_EQ(Nv(232 + 10, 2), 0x1234u);
    task->MarkFontChanged(20);  // out of range: nothing
}

TEST_F(DatabaseStart, CommandedFactoryResetKeepsTheInstallationAcrossARestart) {
    ASSERT_EQ(Start(), 1);
    task->Cycle();
    db->SetInt(dbo::dmsSignType.id, 1, 3, DbImage::kNv, 0);
    db->SetString(dbo::communityNameAdmin.id, 4, "secret1", 7, DbImage::kNv, 0);
    db->SetInt(172 + 1, 1, 0, DbImage::kNv, 0);  // font slot 1 damaged
    task->SetFactoryDefaults(1);
    task->SetVolatileDefaults();
    EXPECT_EQ(Nv(dbo::dmsSignType.id, 1), 3u);
    EXPECT_EQ(Text(*db, 94260), "quartermaster");
    EXPECT_NE(Nv(dbo::fontHeight.Row(1), 1), 0u) << "fonts imported again";
    EXPECT_EQ(FakeDefaultFonts::runs(), 2) << "first start and factory reset";
    EXPECT_TRUE(db->JournalWriting());
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(Nv(dbo::dmsSignType.id, 1), 3u);
    EXPECT_EQ(Text(*db, 94260), "quartermaster");
    EXPECT_NE(Nv(dbo::fontHeight.Row(1), 1), 0u);
}

// Services of the agent and the serial links, on the controller's database.
class DatabaseServices : public ::testing::Test {
protected:
    void SetUp() override {
        DbBulkWriteScope scope;
        global_factory_defaults(g_DataBase, kDefaultsFirstStart);
        private_factory_defaults(g_DataBase, kDefaultsFirstStart);
        g_DataBase.SetInt(dbo::badCommunityCount.id, 4, 0, DbImage::kVolatile, 0);
        g_DataBase.SetInt(dbo::snmpInPkts.id, 4, 0, DbImage::kVolatile, 0);
    }
};

TEST_F(DatabaseServices, Communities) {
    struct Case {
        const char* text;
        int access, lookup;
        uint32_t accessMask, lookupMask;
    };
    const Case cases[] = {
        {"quartermaster", 2, 2, 0xFFFFFFFF, 0},
        {"tamsol", 1, 1, 0, 0},
        {"Tamsol", 1, 1, 0, 0},  // user community 1 matches first ("tamsol" differs in case)
        {"tamsolx", 0, 0, 0xAA, 0xAA},
        {"", 0, 0, 0xAA, 0xAA},
    };
    g_DataBase.SetInt(dbo::communityNameAccessMask.Row(1), 4, 0x0F, DbImage::kNv,
                      0);  // mask of user community 2 ("tamsol")
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t mask = 0xAA;
        EXPECT_EQ(db_community_access(c.text, &mask), c.access);
        if (std::string(c.text) == "tamsol") {
            EXPECT_EQ(mask, 0u) << "first user row";
        } else if (std::string(c.text) == "Tamsol") {
            EXPECT_EQ(mask, 0xFFFFFFFFu);
        } else {
            EXPECT_EQ(mask, c.accessMask);
        }
        mask = 0xAA;
        EXPECT_EQ(db_community_lookup(c.text, &mask), c.lookup);
        if (c.lookup != 1) {
            EXPECT_EQ(mask, c.lookupMask);
        }
    }
    EXPECT_EQ(db_community_access(nullptr, nullptr), 0);
}

TEST_F(DatabaseServices, CountersGroupAddressesChapAndCompatibilityMode) {
    db_count_snmp_in_pkts();
    db_count_snmp_in_pkts();
    db_count_bad_community();
    EXPECT_EQ(g_DataBase.GetInt(dbo::snmpInPkts.id, 4, DbImage::kVolatile), 2u);
    EXPECT_EQ(g_DataBase.GetInt(dbo::badCommunityCount.id, 4, DbImage::kVolatile), 1u);
    db_clear_bad_community();
    EXPECT_EQ(g_DataBase.GetInt(dbo::badCommunityCount.id, 4, DbImage::kVolatile), 0u);

    EXPECT_EQ(db_find_group_address(0x0A000001), 0);
    g_DataBase.SetInt(48796 + 4 * 9, 4, 0x0A000001, DbImage::kNv, 0);
    EXPECT_EQ(db_find_group_address(0x0A000001), 255);
    EXPECT_STREQ(db_get_chap_name(), "LANTERNS");
    EXPECT_STREQ(db_get_chap_secret(), "MAPLES");

    MemoryTimeRegisters registers;
    g_DataBase.SetTimeRegisters(&registers);
    g_DataBase.SetInt(dbo::controllerLocalTime.id, 4, 1000000, DbImage::kVolatile, 0);
    g_DataBase.SetInt(dbo::controllerStandardTimeZone.id, 4, 3600, DbImage::kNv, 0);
    EXPECT_EQ(db_compat_mode_get(), 0);
    db_compat_mode_set(true);
    EXPECT_EQ(db_compat_mode_get(), 1);
    EXPECT_EQ(g_DataBase.GetRegisterTime(dbo::globalTime.id, 4, DbImage::kNv), 1000000u);
    EXPECT_EQ(g_DataBase.GetInt(dbo::controllerStandardTimeZone.id, 4, DbImage::kNv), 0u);
    g_DataBase.SetInt(dbo::controllerStandardTimeZone.id, 4, 3600, DbImage::kNv, 0);
    db_compat_mode_set(true);
    EXPECT_EQ(g_DataBase.GetInt(dbo::controllerStandardTimeZone.id, 4, DbImage::kNv), 3600u)
        << "already on: nothing";
    db_compat_mode_set(false);
    EXPECT_EQ(db_compat_mode_get(), 0);
    g_DataBase.SetTimeRegisters(nullptr);
}

}  // namespace
