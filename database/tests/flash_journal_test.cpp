// Behaviour of the flash journal: file selection and start-up, appends, deletion passes,
// compaction, and the faults the journal must not have.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "database/flash_database.h"
#include "database/impl_token.h"
#include "database/journal_index.h"
#include "database/journal_record.h"
#include "database/tests/flash_journal_support.h"
#include "runtime/crc16.h"

namespace {

using journal::kHeaderSize;

std::vector<uint8_t> IntRecord(uint32_t id, uint32_t width, uint32_t value) {
    std::vector<uint8_t> out(16);
    out.resize(journal::BuildIntRecord(id, width, value, out.data(), out.size()));
    return out;
}

std::vector<uint8_t> StringRecord(uint32_t id, const std::string& text) {
    std::vector<uint8_t> out(text.size() + 16);
    out.resize(journal::BuildStringRecord(id, reinterpret_cast<const uint8_t*>(text.data()),
                                          static_cast<uint32_t>(text.size()), out.data(),
                                          out.size()));
    return out;
}

// A committed file with the given records behind the header.
std::vector<uint8_t> JournalFile(uint32_t size, uint32_t sequence,
                                 const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint8_t> file(size, 0xFF);
    journal::Header previous;
    previous.sequence = sequence - 1;
    journal::BuildHeader(&previous, kNvImageSize, file.data());
    size_t at = kHeaderSize;
    for (const auto& record : records) {
        std::memcpy(file.data() + at, record.data(), record.size());
        at += record.size();
    }
    return file;
}

// ---- Format -----------------------------------------------------------------------------------

TEST(JournalFormat, CrcIsX25StoredLowByteFirst) {
    const char* check = "123456789";
    EXPECT_EQ(journal::Crc(reinterpret_cast<const uint8_t*>(check), 9), 0x6E90);
}

TEST(JournalFormat, CrcAgreesWithTheUtilityCrcAtEveryLength) {
    std::vector<uint8_t> bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    for (size_t length = 0; length <= bytes.size(); ++length) {
        EXPECT_EQ(journal::Crc(bytes.data(), length), Crc16Compute(0xFFFF, bytes.data(), length, 7))
            << length;
    }
}

TEST(JournalFormat, RecordLayoutOfEachKind) {
    struct Case {
        std::vector<uint8_t> record;
        std::vector<uint8_t> head;  // marker, L, id, payload
    };
    const Case cases[] = {
        {IntRecord(0x01020304, 1, 0xAB), {0x7E, 0, 7, 1, 2, 3, 4, 0xAB}},
        {IntRecord(5, 2, 0x1234), {0x7E, 0, 8, 0, 0, 0, 5, 0x12, 0x34}},
        {IntRecord(6, 4, 0xA1B2C3D4), {0x7E, 0, 10, 0, 0, 0, 6, 0xA1, 0xB2, 0xC3, 0xD4}},
        {StringRecord(92, "ab"), {0x7E, 0, 9, 0, 0, 0, 92, 'a', 'b', 0}},
        {StringRecord(92, ""), {0x7E, 0, 7, 0, 0, 0, 92, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.record.size(), c.head.size() + 3);
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), c.record.begin()));
        const uint16_t crc = journal::Crc(c.record.data() + 1, c.head.size() - 1);
        EXPECT_EQ(c.record[c.head.size()], crc >> 8);
        EXPECT_EQ(c.record[c.head.size() + 1], crc & 0xFF);
        EXPECT_EQ(c.record.back(), '|');
    }
    uint8_t buffer[2000];
    std::string tooLong(1601, 'x');
    EXPECT_EQ(journal::BuildStringRecord(92, reinterpret_cast<const uint8_t*>(tooLong.data()), 1601,
                                         buffer, sizeof buffer),
              0u);
    EXPECT_EQ(journal::BuildIntRecord(1, 3, 0, buffer, sizeof buffer), 0u);
}

TEST(JournalFormat, HeaderOfFreshAndCopiedFiles) {
    uint8_t fresh[kHeaderSize];
    journal::BuildHeader(nullptr, kNvImageSize, fresh);
    const uint8_t expectHead[] = {0xFF, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0x81, 0x98};
    EXPECT_EQ(std::memcmp(fresh, expectHead, sizeof expectHead), 0);
    EXPECT_EQ(fresh[13], '|');
    EXPECT_FALSE(journal::HeaderValid(fresh, kHeaderSize));  // not committed yet
    journal::Header parsed;
    ASSERT_TRUE(journal::ParseHeader(fresh, kHeaderSize, &parsed));
    parsed.sequence = 41;
    uint8_t copy[kHeaderSize];
    journal::BuildHeader(&parsed, kNvImageSize, copy);
    EXPECT_TRUE(journal::HeaderValid(copy, kHeaderSize));
    ASSERT_TRUE(journal::ParseHeader(copy, kHeaderSize, &parsed));
    EXPECT_EQ(parsed.sequence, 42u);
    copy[5] ^= 1;
    EXPECT_FALSE(journal::HeaderValid(copy, kHeaderSize));
    EXPECT_FALSE(journal::HeaderValid(copy, kHeaderSize - 1));
}

TEST(JournalFormat, AcceptanceRefusesEveryBrokenFrame) {
    const std::vector<uint8_t> good = IntRecord(48, 4, 7);
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const Case cases[] = {
        {"marker", 0, 'x'},       {"length high", 1, 0x07},    {"length below 7", 2, 6},
        {"id (CRC)", 4, 0x55},    {"payload (CRC)", 10, 0x99}, {"CRC", 11, 0x00},
        {"terminator", 13, 0xFF},
    };
    journal::RecordFrame frame;
    ASSERT_TRUE(journal::AcceptRecord(good.data(), good.size(), 0, &frame));
    EXPECT_EQ(frame.Size(), good.size());
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        bad[c.at] = c.value;
        EXPECT_FALSE(journal::AcceptRecord(bad.data(), bad.size(), 0, &frame)) << c.what;
    }
    EXPECT_FALSE(journal::AcceptRecord(good.data(), good.size() - 1, 0, &frame)) << "truncated";
    std::vector<uint8_t> deleted = good;
    deleted[0] = '>';
    ASSERT_TRUE(journal::AcceptRecord(deleted.data(), deleted.size(), 0, &frame));
    EXPECT_FALSE(frame.live);
}

TEST(JournalFormat, IteratorStepsOverDeletedRecordsWhole) {
    // A deleted string whose text holds a record image: the image is never returned.
    const std::vector<uint8_t> inner = IntRecord(kInt32Id, 4, 0xDEAD);
    std::vector<uint8_t> outer = StringRecord(kTextId, std::string(inner.begin(), inner.end()));
    outer[0] = '>';
    const std::vector<uint8_t> after = IntRecord(kInt8Id, 1, 3);
    std::vector<uint8_t> range = outer;
    range.insert(range.end(), after.begin(), after.end());
    impl_token::iterator it;
    ASSERT_TRUE(it.Begin(range.data(), static_cast<uint32_t>(range.size())));
    EXPECT_FALSE(it.Begin(range.data(), 1));  // one scan at a time
    impl_token token;
    ASSERT_EQ(it.Next(&token), 1);
    EXPECT_EQ(token.id, kInt8Id);
    ASSERT_TRUE(DecodeRecordValue(&token, impl_token::kInt8));
    EXPECT_EQ(token.value, 3u);
    EXPECT_FALSE(DecodeRecordValue(&token, impl_token::kInt32));
    EXPECT_EQ(it.Next(&token), 0);
    it.Rewind();
    EXPECT_EQ(it.Next(&token), 1);
    it.End();
}

// ---- Index ------------------------------------------------------------------------------------

TEST(JournalIndexTest, ReplacesAddsAndRefusesWhenFull) {
    JournalIndex index(3);
    EXPECT_EQ(index.Record(10, 100, 1), JournalIndex::Put::kAdded);
    EXPECT_EQ(index.Record(11, 110, 1), JournalIndex::Put::kAdded);
    EXPECT_EQ(index.Record(10, 200, 2), JournalIndex::Put::kReplaced);
    EXPECT_EQ(index.Record(12, 120, 1), JournalIndex::Put::kAdded);
    EXPECT_EQ(index.Record(13, 130, 1), JournalIndex::Put::kFull);
    EXPECT_EQ(index.Record(11, 300, 1), JournalIndex::Put::kReplaced);
    ASSERT_NE(index.Find(10), nullptr);
    EXPECT_EQ(index.Find(10)->address, 200u);
    EXPECT_EQ(index.Find(10)->file, 2);
    EXPECT_EQ(index.Find(13), nullptr);
    JournalIndex pending(3);
    index.MoveTo(pending);
    EXPECT_EQ(index.Count(), 0u);
    EXPECT_EQ(index.Find(10), nullptr);
    EXPECT_EQ(pending.Count(), 3u);
    EXPECT_EQ(pending.Find(11)->address, 300u);
    pending.KeepFile(1);
    EXPECT_EQ(pending.Count(), 2u);
    EXPECT_EQ(pending.Find(10), nullptr);
}

TEST(JournalIndexTest, HoldsEightThousandColliding) {
    JournalIndex index;
    for (uint32_t i = 0; i < JournalIndex::kDefaultCapacity; ++i) {
        ASSERT_EQ(index.Record(i * 4096, i, 1), JournalIndex::Put::kAdded);
    }
    EXPECT_TRUE(index.Full());
    for (uint32_t i = 0; i < JournalIndex::kDefaultCapacity; ++i) {
        ASSERT_NE(index.Find(i * 4096), nullptr);
        ASSERT_EQ(index.Find(i * 4096)->address, i);
    }
    index.Clear();
    EXPECT_EQ(index.Find(4096), nullptr);
    EXPECT_EQ(index.Record(4096, 1, 1), JournalIndex::Put::kAdded);
}

// ---- Start-up ---------------------------------------------------------------------------------

class FlashJournal : public ::testing::Test {
protected:
    JournalBoard board{SmallGeometry()};
};

TEST_F(FlashJournal, FirstStartCreatesUncommittedFileThenCommit) {
    EXPECT_EQ(board.Boot(false), 0);
    EXPECT_EQ(JournalLog(), " - Find Flash DB File\t\t\t\t\t[FAIL]\n\tCreating nv1.dat\n");
    ASSERT_TRUE(board.flash.Exists("nv1.dat"));
    EXPECT_FALSE(board.flash.Exists("nv2.dat"));
    std::vector<uint8_t>& file = board.File("nv1.dat");
    EXPECT_EQ(file.size(), board.geometry.fileSize);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(journal::ReadBe32(file.data() + 2), 0u);
    // Power lost before the commit: the file does not count and is made again.
    EXPECT_EQ(board.Boot(false), 0);
    EXPECT_EQ(board.journal->CommitActiveFile(), 0);
    EXPECT_EQ(board.File("nv1.dat")[0], 0x7F);
    ASSERT_EQ(board.Set(kInt32Id, 4, 99), kDbOk);
    EXPECT_EQ(board.Boot(), 1);
    EXPECT_EQ(JournalLog(),
              " - Find Flash DB File\t\t\t\t\t[ OK ]\n - Loading off nv1.dat\t\t\t\t\t"
              "[ OK ]\n");
    EXPECT_EQ(board.Get(kInt32Id, 4), 99u);
}

TEST_F(FlashJournal, LowerSequenceWinsAndTheCopyIsUnlinked) {
    struct Case {
        uint32_t seq1, seq2;
        const char* active;
    };
    for (const Case c : {Case{4, 5, "nv1.dat"}, Case{5, 4, "nv2.dat"}, Case{7, 7, "nv1.dat"}}) {
        board.flash.Put("nv1.dat", JournalFile(0x4000, c.seq1, {IntRecord(kInt32Id, 4, 1)}));
        board.flash.Put("nv2.dat", JournalFile(0x4000, c.seq2, {IntRecord(kInt32Id, 4, 2)}));
        EXPECT_EQ(board.Boot(), 1);
        EXPECT_STREQ(board.Active(), c.active);
        EXPECT_EQ(board.Get(kInt32Id, 4), std::string(c.active) == "nv1.dat" ? 1u : 2u);
        EXPECT_EQ(board.flash.Exists("nv1.dat") + board.flash.Exists("nv2.dat"), 1);
        board.flash.Unlink(c.active);
    }
}

TEST_F(FlashJournal, HeadersThatCannotBeUsedAreReplaced) {
    struct Case {
        size_t at;
        uint8_t value;
        const char* log;
    };
    const Case cases[] = {
        {1, 1, "\tinvalid header rev:1\n"},
        {6, 2, "\tinvalid database revision:2\n"},
        {10, 0x99, "\tdatabase size changed\n"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = JournalFile(0x4000, 3, {IntRecord(kInt32Id, 4, 5)});
        file[c.at] = c.value;
        journal::WriteBe16(file.data() + 11, journal::Crc(file.data() + 1, 10));
        board.flash.Put("nv2.dat", file);
        EXPECT_EQ(board.Boot(false), 0);
        EXPECT_NE(JournalLog().find(std::string("[FAIL]\n") + c.log + "\tCreating nv2.dat\n"),
                  std::string::npos)
            << JournalLog();
        EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
        EXPECT_EQ(board.File("nv2.dat")[0], 0xFF);
        board.flash.Unlink("nv2.dat");
    }
}

TEST_F(FlashJournal, ReplayRulesOfTheEdgeCases) {
    std::vector<uint8_t> noBar = IntRecord(kInt16Id, 2, 0x1111);
    noBar.back() = 0xFF;
    board.flash.Put("nv1.dat",
                    JournalFile(0x4000, 1,
                                {IntRecord(kInt32Id, 4, 1), noBar, IntRecord(kInt8Id, 1, 9),
                                 StringRecord(kFontNameId, "A"),  // L = 8 on a string id
                                 IntRecord(kInt32Id, 4, 2)}));
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(kInt16Id, 2), 0u);
    EXPECT_EQ(board.Get(kInt8Id, 1), 9u);
    EXPECT_EQ(board.Text(kFontNameId), "A");
    EXPECT_EQ(board.Get(kInt32Id, 4), 2u);  // the last record wins
}

// ---- Appends and deletion ---------------------------------------------------------------------

TEST_F(FlashJournal, AppendsAreReplayedAndSupersededRecordsMarked) {
    board.Boot();
    uint32_t first = 0;
    uint32_t second = 0;
    ASSERT_EQ(board.journal->WriteInt16(kInt16Id, 0x0102, &first), 1);
    ASSERT_EQ(board.journal->WriteInt16(kInt16Id, 0x0304, &second), 1);
    EXPECT_EQ(first, kHeaderSize);
    EXPECT_EQ(second, kHeaderSize + 12);
    EXPECT_EQ(board.journal->Index().Count(), 1u);
    board.journal->ProcessDeletes();
    EXPECT_TRUE(JournalLog().ends_with("CDB::Deleting:1\nCDB::Delete Complete\n"));
    EXPECT_EQ(board.File("nv1.dat")[first], '>');
    EXPECT_EQ(board.File("nv1.dat")[second], '~');
    EXPECT_EQ(board.journal->Index().Count(), 0u);
    board.Boot();
    EXPECT_EQ(board.Get(kInt16Id, 2), 0x0304u);
}

TEST_F(FlashJournal, UnchangedWritesAndFlashFreeWritesAddNothing) {
    board.Boot();
    board.Set(kInt32Id, 4, 5);
    const uint32_t used = board.Used();
    board.Set(kInt32Id, 4, 5);
    board.db->SetInt(kInt8Id, 1, 7, DbImage::kNv, kDbNoFlashWrite | kDbSkipValidation);
    EXPECT_EQ(board.Used(), used);
    board.Boot();
    EXPECT_EQ(board.Get(kInt8Id, 1), 0u);
}

TEST_F(FlashJournal, StringLimitsAndTheOneOctetString) {
    board.Boot();
    const std::string longest(1600, 'L');
    EXPECT_EQ(board.journal->WriteString(kTextId, reinterpret_cast<const uint8_t*>(longest.data()),
                                         1600, nullptr),
              1);
    const uint32_t used = board.Used();
    const std::string tooLong(1601, 'T');
    EXPECT_EQ(board.journal->WriteString(kTextId, reinterpret_cast<const uint8_t*>(tooLong.data()),
                                         1601, nullptr),
              0);
    EXPECT_EQ(board.Used(), used);
    board.SetText(kText2Id, "Z");
    board.Boot();
    EXPECT_EQ(board.Text(kTextId), longest);
    EXPECT_EQ(board.Text(kText2Id), "Z");
}

TEST_F(FlashJournal, FullIndexRetiresOlderRecordsAtOnce) {
    JournalBoard small(SmallGeometry(0x10000, 0xC000));
    small.geometry.indexCapacity = 4;
    small.Boot();
    for (uint32_t id = 0; id < 4; ++id) {
        small.Set(1000 + 4 * id, 4, 1);
    }
    uint32_t older = 0;
    ASSERT_EQ(small.journal->WriteInt32(2000, 1, &older), 1);
    ASSERT_EQ(small.journal->WriteInt32(2000, 2, nullptr), 1);
    EXPECT_EQ(small.File("nv1.dat")[older], '>');
    EXPECT_EQ(small.journal->Index().Count(), 4u);
    small.Boot();
    EXPECT_EQ(small.Get(2000, 4), 2u);
}

TEST_F(FlashJournal, LockRefusedAfterStartUpIsLoggedBeforeItIsIgnored) {
    board.Boot();
    board.flash.FailTakes(true);
    EXPECT_EQ(board.journal->WriteInt8(kInt8Id, 1, nullptr), 1);  // start-up: goes ahead
    board.db->startupComplete = 1;
    struct Case {
        int (*write)(CFlashDatabase*);
        const char* log;
    };
    const Case cases[] = {
        {[](CFlashDatabase* j) { return j->WriteInt8(kInt8Id, 2, nullptr); },
         "CD::INT8: tx_mutex_get failed\n"},
        {[](CFlashDatabase* j) { return j->WriteInt16(kInt16Id, 2, nullptr); },
         "CD::INT16: tx_mutex_get failed\n"},
        {[](CFlashDatabase* j) { return j->WriteInt32(kInt32Id, 2, nullptr); },
         "CD::INT32: tx_mutex_get failed\n"},
        {[](CFlashDatabase* j) {
             return j->WriteString(kTextId, reinterpret_cast<const uint8_t*>("x"), 1, nullptr);
         },
         "CD::STRING: tx_mutex_get failed\n"},
    };
    for (const Case& c : cases) {
        JournalLog().clear();
        EXPECT_EQ(c.write(board.journal.get()), 0);
        EXPECT_EQ(JournalLog(), c.log);
    }
}

TEST_F(FlashJournal, UsagePercentOfTheActiveFile) {
    JournalBoard big;  // the real 4 MB files
    big.Boot();
    EXPECT_EQ(big.journal->UsagePercent(), 0);
    std::vector<uint8_t> file = JournalFile(journal::kFileSize, 1, {});
    std::memset(file.data() + kHeaderSize, 0, 0x200000 - kHeaderSize);
    big.flash.Put("nv1.dat", file);
    big.Boot();
    EXPECT_EQ(big.journal->UsagePercent(), 50);
}

// No room for a new journal file: a flash defragmentation is asked for only when the dead space
// would make room, so a full flash does not restart the board at every start; when it is, the
// file is made after the restart, not tried again before it.
TEST_F(FlashJournal, NoRoomForTheFileAsksForAFlashDefragmentation) {
    struct Case {
        long deadSpace;
        int restarts;
    };
    for (const Case c : {Case{0x3000, 1}, Case{0x2FFF, 0}, Case{0, 0}}) {
        SCOPED_TRACE(c.deadSpace);
        // Compaction: the copy's file does not fit beside the active one.
        MemoryJournalServices tight(0x4000 + 0x1000);
        tight.deadSpace = c.deadSpace;
        CDataBase db(1u << 16);
        CFlashDatabase flashJournal(&db, &tight, SmallGeometry());
        tight.Put("nv1.dat", JournalFile(0x4000, 1, {}));
        ASSERT_EQ(flashJournal.Load(), 1);
        flashJournal.RequestCompaction();
        flashJournal.SetCountdown(0);
        flashJournal.StateMachine_Defrag();
        EXPECT_EQ(tight.defragRestarts, c.restarts);
        EXPECT_STREQ(flashJournal.ActiveFile(), "nv1.dat");
        EXPECT_EQ(flashJournal.State(), CFlashDatabase::kIdle);

        // First start: no file fits at all.
        MemoryJournalServices full(0x1000);
        full.deadSpace = c.deadSpace;
        CFlashDatabase fresh(&db, &full, SmallGeometry());
        JournalLog().clear();
        EXPECT_EQ(fresh.Load(), 0);
        EXPECT_EQ(full.defragRestarts, c.restarts);
        EXPECT_EQ(fresh.RestartRequested(), c.restarts > 0);
        // Restarting to pack the flash is not a failure; a flash that packing cannot help is.
        EXPECT_EQ(JournalLog().find("\tfailed saving header 1st boot retry\n") != std::string::npos,
                  c.restarts == 0)
            << JournalLog();
    }
}

// ---- Compaction -------------------------------------------------------------------------------

TEST_F(FlashJournal, CompactionCopiesLiveRecordsAndSwitches) {
    board.Boot();
    for (uint32_t value = 1; value <= 600; ++value) {
        board.Set(kInt32Id, 4, value);
        board.Set(kInt16Id, 2, value);
    }
    board.SetText(kTextId, "message");
    board.journal->ProcessDeletes();
    ASSERT_GT(board.Used(), board.geometry.compactAbove);
    EXPECT_EQ(board.journal->Countdown(), 6u);
    for (int step = 0; step < 6; ++step) {
        board.journal->StateMachine_Defrag();  // counting down
    }
    EXPECT_EQ(board.journal->State(), CFlashDatabase::kIdle);
    board.journal->StateMachine_Defrag();  // above the threshold: starts
    ASSERT_EQ(board.journal->State(), CFlashDatabase::kCopying);
    ASSERT_TRUE(board.flash.Exists("nv2.dat"));
    EXPECT_EQ(journal::ReadBe32(board.File("nv2.dat").data() + 2), 1u);
    board.journal->StateMachine_Defrag();
    EXPECT_EQ(board.journal->State(), CFlashDatabase::kCleaning);
    EXPECT_STREQ(board.Active(), "nv2.dat");
    EXPECT_FALSE(board.flash.Exists("nv1.dat"));
    EXPECT_EQ(board.Used(), kHeaderSize + 14 + 12 + 18);
    board.journal->StateMachine_Defrag();
    EXPECT_EQ(board.journal->State(), CFlashDatabase::kIdle);
    EXPECT_EQ(board.journal->Countdown(), 0u);
    board.Set(kInt8Id, 1, 4);
    board.Boot();
    EXPECT_STREQ(board.Active(), "nv2.dat");
    EXPECT_EQ(board.Get(kInt32Id, 4), 600u);
    EXPECT_EQ(board.Get(kInt16Id, 2), 600u);
    EXPECT_EQ(board.Get(kInt8Id, 1), 4u);
    EXPECT_EQ(board.Text(kTextId), "message");
}

TEST_F(FlashJournal, CompactionGivesUpWhenItCannotHoldTheAppendLock) {
    board.Boot();
    board.Set(kInt32Id, 4, 1);
    board.db->startupComplete = 1;
    board.flash.FailTakes(true);
    board.Compact();
    EXPECT_NE(JournalLog().find("copying failed\n"), std::string::npos);
    EXPECT_STREQ(board.Active(), "nv1.dat");
    EXPECT_FALSE(board.flash.Exists("nv2.dat"));
    board.flash.FailTakes(false);
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 1u);
}

TEST_F(FlashJournal, MonthlyCleanupStartsOnTheFirstOfTheMonth) {
    board.Boot();
    board.Set(CFlashDatabase::kFeatureSetId, 4, CFlashDatabase::kFeatureMonthlyCleanup);
    board.journal->SetCountdown(0);
    const uint32_t may31 = 1780185600;  // 2026-05-31 00:00
    board.db->SetInt(CFlashDatabase::kLocalTimeId, 4, may31, DbImage::kVolatile, kDbReplayFlags);
    board.journal->StateMachine_Defrag();
    EXPECT_EQ(board.journal->State(), CFlashDatabase::kIdle);
    board.db->SetInt(CFlashDatabase::kLocalTimeId, 4, may31 + 86400, DbImage::kVolatile,
                     kDbReplayFlags);
    board.journal->StateMachine_Defrag();
    EXPECT_NE(JournalLog().find("kick off scheduled cleanup event\n"), std::string::npos);
    EXPECT_EQ(board.journal->State(), CFlashDatabase::kCopying);
}

TEST_F(FlashJournal, CompactionCatchesUpWithWritesMadeWhileItCopies) {
    board.Boot();
    for (uint32_t id = 0; id < 20; ++id) {
        board.Set(1000 + 4 * id, 4, id + 1);
    }
    // The copy gives up a tick after its first record (and every 32 after): all 30 writes land
    // while it copies.
    int sleeps = 0;
    board.flash.onSleep = [&] {
        if (++sleeps == 1) {
            for (int turn = 1; turn <= 30; ++turn) {
                board.Set(2000 + 4 * turn, 4, 0x100 + turn);
            }
        }
    };
    board.Compact();
    EXPECT_STREQ(board.Active(), "nv2.dat");
    board.Boot();
    for (uint32_t id = 0; id < 20; ++id) {
        EXPECT_EQ(board.Get(1000 + 4 * id, 4), id + 1);
    }
    for (int turn = 1; turn <= 30; ++turn) {
        EXPECT_EQ(board.Get(2000 + 4 * turn, 4), 0x100u + turn);
    }
}

// ---- Faults of the literal algorithm ----------------------------------------------------------

// A message text that holds a whole record image is never read as records, whether the text's
// record is live, deleted, or copied by a compaction.
TEST_F(FlashJournal, RecordImageInsideAnOldTextDoesNotReplay) {
    board.Boot();
    const std::vector<uint8_t> image = IntRecord(kInt32Id, 4, 0x0BADF00D);
    const std::string crafted(image.begin(), image.end());
    board.SetText(kTextId, "before" + crafted + "after");
    board.SetText(kTextId, "newer");
    board.journal->ProcessDeletes();
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
    EXPECT_EQ(board.Text(kTextId), "newer");
    board.Compact();
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
    EXPECT_EQ(board.Text(kTextId), "newer");
}

// A torn record whose length field reaches into a live record must not let the deletion pass
// frame (and mark) bytes inside that live record.
TEST_F(FlashJournal, DeletionPassNeverMarksInsideALiveRecordAfterATornOne) {
    // A journal in which records follow the first three bytes of a torn 100-octet text: the live
    // text T begins right after them, so the torn frame's "|" (torn + 110) falls on T's octet 100,
    // and a framed fake record of kInt32Id (CRC broken) follows it inside T.
    std::string text(140, '.');
    text[100] = '|';
    const std::vector<uint8_t> fake = IntRecord(kInt32Id, 1, 0);
    for (size_t i = 0; i < fake.size(); ++i) {
        text[101 + i] = static_cast<char>(fake[i]);
    }
    text[101 + 7] = 0x55;
    const std::vector<uint8_t> tornStart = {'~', 0, 107};
    board.flash.Put("nv1.dat", JournalFile(0x4000, 1,
                                           {StringRecord(kText2Id, "kept"), tornStart,
                                            StringRecord(kTextId, text), IntRecord(kInt32Id, 4, 1),
                                            IntRecord(kInt32Id, 4, 2)}));
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Text(kTextId), text);
    board.journal->ProcessDeletes();  // kInt32Id met twice: its older record is retired
    board.Boot();
    EXPECT_EQ(board.Text(kTextId), text);
    EXPECT_EQ(board.Get(kInt32Id, 4), 2u);
    EXPECT_EQ(board.Text(kText2Id), "kept");
}

// A failed append is sealed: its programmed bytes are zeroed and the next record follows them.
TEST_F(FlashJournal, FailedAppendIsSealed) {
    board.Boot();
    const uint32_t at = board.Used();
    board.flash.FailIpmods(1, 9);
    EXPECT_EQ(board.journal->WriteInt32(kInt32Id, 0x7E7E7E7E, nullptr), 0);
    EXPECT_EQ(board.Used(), at + 9);
    const std::vector<uint8_t>& file = board.File("nv1.dat");
    EXPECT_TRUE(
        std::all_of(file.begin() + at, file.begin() + at + 9, [](uint8_t b) { return b == 0; }));
    uint32_t next = 0;
    ASSERT_EQ(board.journal->WriteInt32(kInt32Id, 5, &next), 1);
    EXPECT_EQ(next, at + 9);
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 5u);
}

// A record image inside a text whose append the power cut is not replayed, and the unfinished
// record is sealed at the next start.
TEST_F(FlashJournal, UnfinishedTextIsSealedAndItsContentsIgnored) {
    board.Boot();
    const std::vector<uint8_t> image = IntRecord(kInt32Id, 4, 0x0BADF00D);
    const std::string crafted = "head" + std::string(image.begin(), image.end()) + "tail";
    const uint32_t at = board.Used();
    board.flash.CutAfter(7 + 4 + image.size(), false);  // the image is in, the rest is not
    board.SetText(kTextId, crafted);
    ASSERT_TRUE(board.flash.PowerCut());
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
    EXPECT_EQ(board.Text(kTextId), "");
    EXPECT_EQ(board.File("nv1.dat")[at], 0);  // sealed
    board.Set(kInt8Id, 1, 3);
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
    EXPECT_EQ(board.Get(kInt8Id, 1), 3u);
}

// Emptying a string is journalled: it stays empty across a restart that comes before the
// deletion pass, and across a compaction during which it was emptied.
TEST_F(FlashJournal, EmptiedStringStaysEmpty) {
    board.Boot();
    board.SetText(kTextId, "old text");
    board.SetText(kTextId, "");
    EXPECT_EQ(board.Text(kTextId), "");
    board.Boot();
    EXPECT_EQ(board.Text(kTextId), "");

    board.SetText(kText2Id, "system");
    for (uint32_t id = 0; id < 10; ++id) {
        board.Set(1000 + 4 * id, 4, id + 1);
    }
    int turns = 0;
    board.flash.onSleep = [&] {
        if (++turns == 1) {  // while the copy runs
            board.SetText(kText2Id, "");
        }
    };
    board.Compact();
    board.journal->ProcessDeletes();
    board.Boot();
    EXPECT_EQ(board.Text(kText2Id), "");
}

// The newest record of an object that was written before a compaction stays live after it: the
// index follows the record into the new file instead of comparing old-file addresses with it.
TEST_F(FlashJournal, IndexFollowsRecordsIntoTheNewFile) {
    board.Boot();
    // Dead records first, so that records sit lower in the new file than in the old one.
    for (uint32_t value = 1; value <= 30; ++value) {
        board.Set(kInt8Id, 1, value);
    }
    board.journal->ProcessDeletes();
    for (uint32_t value = 1; value <= 50; ++value) {
        board.Set(kInt16Id, 2, value);
    }
    board.Set(kInt32Id, 4, 7);
    board.Compact();  // no deletion pass before: the superseded copies move along
    board.journal->ProcessDeletes();
    board.Boot();
    EXPECT_EQ(board.Get(kInt16Id, 2), 50u);
    EXPECT_EQ(board.Get(kInt32Id, 4), 7u);
    EXPECT_EQ(board.Get(kInt8Id, 1), 30u);
    // Superseded copies in the new file were retired by the pass.
    board.journal->ProcessDeletes();
    const uint32_t before = board.Used();
    board.Compact();
    EXPECT_EQ(board.Used(), kHeaderSize + 11 + 12 + 14);
    EXPECT_LT(board.Used(), before);
}

// After the copy only the file is switched: values held in RAM (a write the journal could not
// take, a flash-free write) are not rolled back by a replay.
TEST_F(FlashJournal, CompactionDoesNotRollBackTheImage) {
    board.Boot();
    board.Set(kInt32Id, 4, 1);
    board.db->SetInt(kInt32Id, 4, 2, DbImage::kNv, kDbNoFlashWrite | kDbSkipValidation);
    board.SetText(kTextId, "journalled");
    board.db->SetString(kTextId, 4, "in RAM", 6, DbImage::kNv, kDbNoFlashWrite | kDbSkipValidation);
    board.Compact();
    EXPECT_STREQ(board.Active(), "nv2.dat");
    EXPECT_EQ(board.Get(kInt32Id, 4), 2u);
    EXPECT_EQ(board.Text(kTextId), "in RAM");
}

// A failed append leaves no erased gap: later records are still replayed.
TEST_F(FlashJournal, FailedAppendsLeaveNoGap) {
    board.Boot();
    board.Set(kInt32Id, 4, 1);
    const std::string text(1600, 'g');
    for (int attempt = 0; attempt < 2; ++attempt) {
        board.flash.FailIpmods(1, 0);
        EXPECT_EQ(board.journal->WriteString(kTextId, reinterpret_cast<const uint8_t*>(text.data()),
                                             1600, nullptr),
                  0);
    }
    EXPECT_NE(JournalLog().find("CDatabase::write: mon_tfsipmod failed:-13\n"), std::string::npos);
    board.flash.FailIpmods(1, 5);  // part of it reaches the flash
    EXPECT_EQ(board.journal->WriteString(kTextId, reinterpret_cast<const uint8_t*>(text.data()),
                                         1600, nullptr),
              0);
    board.Set(kInt32Id, 4, 2);
    board.Boot();
    EXPECT_EQ(board.Get(kInt32Id, 4), 2u);
    EXPECT_EQ(board.Text(kTextId), "");
}

// Crafted records with impossible lengths or ids are refused; the good ones around them load.
TEST_F(FlashJournal, RecordsWithBadLengthsOrIdsAreRefused) {
    auto framed = [](uint32_t id, std::vector<uint8_t> payload) {
        std::vector<uint8_t> record(payload.size() + 11);
        record[0] = '~';
        journal::WriteBe16(record.data() + 1, static_cast<uint16_t>(payload.size() + 6));
        journal::WriteBe32(record.data() + 3, id);
        std::copy(payload.begin(), payload.end(), record.begin() + 7);
        const uint16_t length = static_cast<uint16_t>(payload.size() + 6);
        journal::WriteBe16(record.data() + 1 + length, journal::Crc(record.data() + 1, length));
        record[length + 3] = '|';
        return record;
    };
    std::vector<std::vector<uint8_t>> records = {
        IntRecord(kInt8Id, 1, 1),
        framed(kTextId, {}),                               // L = 6 on a string id
        framed(kInt32Id, {}),                              // L = 6 on an integer id
        framed(kTextId, std::vector<uint8_t>(1650, 'x')),  // longer than any journalled text
        framed(kInt32Id, {1, 2, 3}),                       // L = 9: no integer kind
        IntRecord(0xFFFFFFF0u, 4, 5),                      // outside the image
        IntRecord(kNvImageSize - 2, 4, 5),                 // runs off its end
        IntRecord(kInt16Id, 2, 0x0202),
    };
    board.flash.Put("nv1.dat", JournalFile(0x4000, 1, records));
    ASSERT_EQ(board.Boot(), 1);
    EXPECT_EQ(board.Get(kInt8Id, 1), 1u);
    EXPECT_EQ(board.Get(kInt16Id, 2), 0x0202u);
    EXPECT_EQ(board.Text(kTextId), "");
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
    EXPECT_EQ(board.Get(kNvImageSize - 2, 2), 0u);
}

// The journal files deleted at run time (commanded reset): nothing is written to the removed
// files and no compaction brings them back before the restart.
TEST_F(FlashJournal, DeletedFilesCloseTheJournal) {
    board.Boot();
    board.Set(kInt32Id, 4, 1);
    board.flash.Unlink("nv1.dat");
    board.flash.Unlink("nv2.dat");
    EXPECT_EQ(board.journal->WriteInt32(kInt32Id, 2, nullptr), 0);
    EXPECT_TRUE(board.journal->Closed());
    board.Compact();
    board.journal->ProcessDeletes();
    EXPECT_FALSE(board.flash.Exists("nv1.dat"));
    EXPECT_FALSE(board.flash.Exists("nv2.dat"));
    EXPECT_EQ(board.Boot(false), 0);  // factory defaults follow
    EXPECT_EQ(board.Get(kInt32Id, 4), 0u);
}

TEST_F(FlashJournal, FilesDeletedDuringACompactionAreNotRevived) {
    board.Boot();
    for (uint32_t id = 0; id < 10; ++id) {
        board.Set(1000 + 4 * id, 4, id + 1);
    }
    board.flash.onSleep = [&] {
        board.flash.Unlink("nv1.dat");
        board.flash.Unlink("nv2.dat");
    };
    board.Compact();
    EXPECT_FALSE(board.flash.Exists("nv1.dat"));
    EXPECT_FALSE(board.flash.Exists("nv2.dat"));
    EXPECT_EQ(board.Boot(false), 0);
}

// Lengths beyond 16 bits are refused, not wrapped into an emptying record.
TEST_F(FlashJournal, StringLongerThan65535IsRefusedNotWrapped) {
    board.Boot();
    board.SetText(kTextId, "kept");
    const std::vector<uint8_t> huge(65536, 'h');
    EXPECT_EQ(board.journal->WriteStringRecord(kTextId, huge.data(), 65536, nullptr), 0);
    EXPECT_EQ(board.journal->WriteStringRecord(kTextId, huge.data(), 65537, nullptr), 0);
    ASSERT_EQ(board.db->SetString(kTextId, 4, huge.data(), 65536, DbImage::kNv, kDbSkipValidation),
              kDbOk);
    board.Boot();
    EXPECT_EQ(board.Text(kTextId), "kept");
}

}  // namespace
