// The store over the flash journal, across restarts.

#include <gtest/gtest.h>

#include "database/object_ids.h"
#include "database/tests/flash_journal_support.h"

namespace {
TEST(StoreRestart, JournalledWritesSurviveAndUnjournalledOnesDoNot) {
    JournalBoard board;
    ASSERT_EQ(board.Boot(), 0);
    CDataBase& db = *board.db;
    EXPECT_EQ(db.SetInt(dbo::dmsSignType.id, 1, 5, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db.SetInt(dbo::dmsBeaconType.id, 1, 3, DbImage::kNv, kDbNoFlashWrite), kDbOk);
    EXPECT_EQ(db.GetInt(dbo::dmsBeaconType.id, 1, DbImage::kNv), 3u);
    EXPECT_EQ(db.SetString(dbo::sysName.id, 4, "sign", 4, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db.SetString(dbo::sysLocation.id, 4, "here", 4, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db.SetString(dbo::sysLocation.id, 4, nullptr, 0, DbImage::kNv, 0), kDbOk);
    // A rule's own writes are journalled too.
    db.SetValidationEnabled(true);
    EXPECT_EQ(db.SetInt(dbo::globalDaylightSaving.id, 1, 2, DbImage::kNv, 0), kDbOk);
    // Rewriting what an object holds adds nothing to the journal.
    const uint32_t used = board.Used();
    EXPECT_EQ(db.SetInt(dbo::dmsSignType.id, 1, 5, DbImage::kNv, kDbNotify), kDbOk);
    EXPECT_EQ(db.SetString(dbo::sysName.id, 4, "sign", 4, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(board.Used(), used);
    board.journal->ProcessDeletes();

    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(dbo::dmsSignType.id, 1), 5u);
    EXPECT_EQ(board.Get(dbo::dmsBeaconType.id, 1), 0u);  // flag 0x2: lost at the restart
    EXPECT_EQ(board.Text(dbo::sysName.id), "sign");
    EXPECT_EQ(board.Text(dbo::sysLocation.id), "");  // cleared stays cleared
    EXPECT_EQ(board.Get(dbo::globalDaylightSaving.id, 1), 2u);
    for (uint32_t row = 0; row < 10; ++row) {
        EXPECT_EQ(board.Get(dbo::dstBeginMonth.Row(row), 1), 14u);
    }
}

TEST(StoreRestart, JournalWritingOffKeepsChangesInRamOnly) {
    JournalBoard board;
    ASSERT_EQ(board.Boot(), 0);
    board.db->SetJournalWriting(false);
    EXPECT_EQ(board.db->SetInt(dbo::brenModuleID.id, 2, 116, DbImage::kNv, 0), kDbOk);
    board.db->SetJournalWriting(true);
    EXPECT_EQ(board.db->SetInt(dbo::brenModTimeout.id, 2, 10, DbImage::kNv, 0), kDbOk);
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(dbo::brenModuleID.id, 2), 0u);
    EXPECT_EQ(board.Get(dbo::brenModTimeout.id, 2), 10u);
}
}  // namespace
