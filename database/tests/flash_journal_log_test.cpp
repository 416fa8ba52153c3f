// Failure paths of the flash journal and the exact lines they log: a header that cannot be
// saved, a compaction that cannot start or copy, deletion marks the flash refuses, and a record
// that reads back with a zero length.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "database/flash_database.h"
#include "database/journal_record.h"
#include "database/tests/flash_journal_support.h"

namespace {

using journal::kHeaderSize;

bool Logged(const std::string& line) {
    return JournalLog().find(line) != std::string::npos;
}

// The lines appear in the log in this order (other lines may come between them).
::testing::AssertionResult InOrder(const std::vector<std::string>& lines) {
    size_t at = 0;
    for (const std::string& line : lines) {
        const size_t found = JournalLog().find(line, at);
        if (found == std::string::npos) {
            return ::testing::AssertionFailure() << "missing \"" << line << "\" in:\n"
                                                 << JournalLog();
        }
        at = found + line.size();
    }
    return ::testing::AssertionSuccess();
}

class FlashJournalLog : public ::testing::Test {
protected:
    JournalBoard board{SmallGeometry()};
};

TEST_F(FlashJournalLog, FirstStartHeaderThatCannotBeSaved) {
    struct Case {
        int failures;
        std::vector<std::string> lines;  // after the first "\tCreating nv1.dat\n"
        bool retried;
        bool created;
    };
    const Case cases[] = {
        {1,
         {"CDatabase::write: mon_tfsipmod failed:-13\n",
          "CDatabase::FFS_SDH: failed to save header\n", "\tfailed saving header 1st boot\n"},
         false,
         true},
        {2,
         {"CDatabase::write: mon_tfsipmod failed:-13\n",
          "CDatabase::FFS_SDH: failed to save header\n", "\tfailed saving header 1st boot\n",
          "CDatabase::write: mon_tfsipmod failed:-13\n",
          "CDatabase::FFS_SDH: failed to save header\n", "\tfailed saving header 1st boot retry\n"},
         true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        board.flash = MemoryJournalServices();
        board.flash.FailIpmods(c.failures);
        EXPECT_EQ(board.Boot(false, /*reboot=*/false), 0);
        const std::string& log = JournalLog();
        const std::string start = " - Find Flash DB File\t\t\t\t\t[FAIL]\n\tCreating nv1.dat\n";
        ASSERT_EQ(log.rfind(start, 0), 0u) << log;
        EXPECT_TRUE(InOrder(c.lines));
        EXPECT_EQ(Logged("retry\n"), c.retried) << log;
        // The second attempt made the file with its header, or nothing usable is left behind.
        if (c.created) {
            ASSERT_TRUE(board.flash.Exists("nv1.dat"));
            EXPECT_EQ(board.File("nv1.dat")[kHeaderSize - 1], journal::kTerminator);
            EXPECT_EQ(board.journal->CommitActiveFile(), 0);
            ASSERT_EQ(board.Set(kInt32Id, 4, 7), kDbOk);
            EXPECT_EQ(board.Boot(), 1);
            EXPECT_EQ(board.Get(kInt32Id, 4), 7u);
        } else {
            EXPECT_EQ(board.Boot(false), 0) << "a later start begins afresh";
            EXPECT_TRUE(board.flash.Exists("nv1.dat"));
        }
    }
}

TEST_F(FlashJournalLog, SaveHeaderRefusesANullName) {
    board.Boot();
    JournalLog().clear();
    EXPECT_FALSE(board.journal->FFS_SDH(nullptr, nullptr));
    EXPECT_EQ(JournalLog(), "CDatabase::FFS_SDH: null ptr\n");
}

// Each step of the compaction logs its line; a target that cannot be made or filled is
// removed and the active file goes on unchanged.
TEST_F(FlashJournalLog, CompactionSteps) {
    struct Case {
        const char* name;
        bool failHeader;  // the target's header is refused
        bool failCopy;    // the first copied record is refused
        std::vector<std::string> lines;
        const char* active;
    };
    const Case cases[] = {
        {"header refused",
         true,
         false,
         {"CDatabase::FFS_SDH: failed to save header\n",
          "failed to create header unlinking nv2.dat\n"},
         "nv1.dat"},
        {"copy refused",
         false,
         true,
         {"CDatabase::StateMachine_Defrag: copying\n",
          "CDatabase::write: mon_tfsipmod failed:-13\n", "CDB::SM_D flash error\n",
          "copying failed\n", "CDatabase::StateMachine_Defrag: cleaning\n"},
         "nv1.dat"},
        {"clean",
         false,
         false,
         {"CDatabase::StateMachine_Defrag: copying\n",
          "CDatabase::StateMachine_Defrag: cleaning\n"},
         "nv2.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        board.flash = MemoryJournalServices();
        board.Boot();
        board.Set(kInt32Id, 4, 11);
        board.SetText(kTextId, "kept");
        board.journal->SetCountdown(0);
        board.journal->RequestCompaction();
        JournalLog().clear();
        if (c.failHeader) {
            board.flash.FailIpmods(1);
        }
        board.journal->StateMachine_Defrag();
        if (c.failHeader) {
            EXPECT_EQ(board.journal->State(), CFlashDatabase::kIdle);
        } else {
            ASSERT_EQ(board.journal->State(), CFlashDatabase::kCopying);
            if (c.failCopy) {
                board.flash.FailIpmods(1, 5);
            }
            board.journal->StateMachine_Defrag();
            board.journal->StateMachine_Defrag();
            EXPECT_EQ(board.journal->State(), CFlashDatabase::kIdle);
        }
        EXPECT_TRUE(InOrder(c.lines));
        EXPECT_EQ(Logged("copying failed\n"), c.failCopy);
        EXPECT_STREQ(board.Active(), c.active);
        const char* other = std::strcmp(c.active, "nv1.dat") == 0 ? "nv2.dat" : "nv1.dat";
        EXPECT_FALSE(board.flash.Exists(other));
        board.Set(kInt8Id, 1, 3);
        board.Boot();
        EXPECT_STREQ(board.Active(), c.active);
        EXPECT_EQ(board.Get(kInt32Id, 4), 11u);
        EXPECT_EQ(board.Text(kTextId), "kept");
        EXPECT_EQ(board.Get(kInt8Id, 1), 3u);
    }
}

// A flash that refuses deletion marks, or that reports a record written while it holds zeros.
class QuirkyFlash : public MemoryJournalServices {
public:
    int Ipmod(const char* name, const void* data, uint32_t offset, uint32_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (refuseMarks && size == 1 && bytes != nullptr && bytes[0] == journal::kDeleted) {
            return -13;
        }
        if (zeroRecords && offset >= kHeaderSize && size > 1) {
            const std::vector<uint8_t> zeros(size, 0);
            return MemoryJournalServices::Ipmod(name, zeros.data(), offset, size);
        }
        return MemoryJournalServices::Ipmod(name, data, offset, size);
    }
    bool refuseMarks = false;
    bool zeroRecords = false;
};

struct QuirkyBoard {
    explicit QuirkyBoard(FlashJournalGeometry geometry) : geometry_(geometry) {
        DebugSetSink([](const char* text) { JournalLog() += text; });
        DebugSetTraceLevel(1);
    }
    ~QuirkyBoard() {
        journal.reset();
        db.reset();
        DebugSetSink(nullptr);
        DebugSetTraceLevel(0);
    }
    int Boot() {
        journal.reset();
        db.reset();
        flash.Reboot();
        JournalLog().clear();
        db = std::make_unique<CDataBase>(1u << 16);
        journal = std::make_unique<CFlashDatabase>(db.get(), &flash, geometry_);
        db->SetJournal(journal.get());
        journal->CreateMutexes();
        const int loaded = journal->Load();
        if (loaded == 0) {
            journal->CommitActiveFile();
        }
        return loaded;
    }

    QuirkyFlash flash;
    FlashJournalGeometry geometry_;
    std::unique_ptr<CDataBase> db;
    std::unique_ptr<CFlashDatabase> journal;
};

TEST(FlashJournalMarks, RefusedMarksAreLoggedAndTheNewestRecordStillWins) {
    struct Case {
        const char* name;
        uint32_t indexCapacity;
        uint32_t older;  // offset of the record whose mark is refused
        const char* line;
    };
    const Case cases[] = {
        {"deletion pass", JournalIndex::kDefaultCapacity, 14,
         "nv1.dat,0x00000000,0x0000000E - 0x00000000 = 14,1\n"
         "CDatabase::delete_obj's: mon_tfsipmod failed:-13\n"},
        {"full index", 1, 28,
         "nv1.dat,0x00000000,0x0000001C - 0x00000000 = 28,1\n"
         "CDatabase::delete_obj: mon_tfsipmod failed:-13\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlashJournalGeometry geometry = SmallGeometry();
        geometry.indexCapacity = c.indexCapacity;
        QuirkyBoard board(geometry);
        board.Boot();
        if (c.indexCapacity == 1) {
            ASSERT_EQ(board.journal->WriteInt32(kInt16Id, 5, nullptr), 1);  // fills the index
        }
        uint32_t older = 0;
        ASSERT_EQ(board.journal->WriteInt32(kInt32Id, 1, &older), 1);
        ASSERT_EQ(older, c.older);
        board.flash.refuseMarks = true;
        JournalLog().clear();
        ASSERT_EQ(board.journal->WriteInt32(kInt32Id, 2, nullptr), 1);
        board.journal->ProcessDeletes();
        EXPECT_NE(JournalLog().find(c.line), std::string::npos) << JournalLog();
        EXPECT_EQ(board.flash.File("nv1.dat")->at(c.older), journal::kLive);
        board.flash.refuseMarks = false;
        board.Boot();
        EXPECT_EQ(board.db->GetInt(kInt32Id, 4, DbImage::kNv), 2u);
    }
}

TEST(FlashJournalMarks, RecordReadingBackWithZeroLengthIsLogged) {
    struct Case {
        int (*write)(CFlashDatabase*);
        const char* log;
    };
    const Case cases[] = {
        {[](CFlashDatabase* j) { return j->WriteInt8(kInt8Id, 1, nullptr); },
         "FWB: zero length error,1,7"},
        {[](CFlashDatabase* j) { return j->WriteInt16(kInt16Id, 1, nullptr); },
         "FWW: zero length error,1,8"},
        {[](CFlashDatabase* j) { return j->WriteInt32(kInt32Id, 1, nullptr); },
         "FWI: zero length error,1,10"},
        {[](CFlashDatabase* j) {
             return j->WriteString(kTextId, reinterpret_cast<const uint8_t*>("abc"), 3, nullptr);
         },
         "FWS: zero length error,1,10"},
    };
    QuirkyBoard board(SmallGeometry());
    board.Boot();
    board.flash.zeroRecords = true;
    for (const Case& c : cases) {
        JournalLog().clear();
        c.write(board.journal.get());
        EXPECT_EQ(JournalLog(), c.log);
    }
}

}  // namespace
