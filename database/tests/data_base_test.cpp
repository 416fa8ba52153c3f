// The object store keeps values at their ids within bounds, journals NV changes once and notifies.
#include "database/data_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "database/object_ids.h"
#include "database/tests/db_test_support.h"
#include "database/write_mode_scope.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/tx_api.h"

namespace {
using Record = RecordingJournal::Record;

TEST_F(DbTest, ConstructionZeroesImagesAndSetsControlFlags) {
    CDataBase fresh;
    EXPECT_EQ(fresh.ControlFlags(), kDbControlJournalOn | kDbControlValidate);
    EXPECT_EQ(fresh.GetInt(dbo::nvImageVersion.id, 4, DbImage::kNv), 0u);
    EXPECT_EQ(fresh.GetInt(kNvImageSize - 4, 4, DbImage::kNv), 0u);
    EXPECT_EQ(fresh.GetInt(kVolatileImageSize - 4, 4, DbImage::kVolatile), 0u);
}

TEST_F(DbTest, IntegersAreStoredBigEndianAtTheirId) {
    Poke(1000, 4, 0x11223344, DbImage::kNv);
    EXPECT_EQ(db->GetInt(1000, 1, DbImage::kNv), 0x11u);
    EXPECT_EQ(db->GetInt(1001, 1, DbImage::kNv), 0x22u);
    EXPECT_EQ(db->GetInt(1000, 2, DbImage::kNv), 0x1122u);
    EXPECT_EQ(db->GetInt(1002, 2, DbImage::kNv), 0x3344u);
    EXPECT_EQ(db->GetInt(1000, 4, DbImage::kNv), 0x11223344u);
    // The other image is untouched.
    EXPECT_EQ(db->GetInt(1000, 4, DbImage::kVolatile), 0u);
}

TEST_F(DbTest, WidthRulesOfSetIntAndGetInt) {
    struct Case {
        uint32_t width, value;
        uint32_t readWidth, expect;  // what the object then holds
    };
    const Case cases[] = {
        {1, 0x1FF, 1, 0xFF},             // cut to its low 8 bits
        {2, 0xFFFF, 2, 0xFFFF},          //
        {2, 0x10000, 2, 0xABCD},         // above 65535: left unchanged
        {4, 0xFFFFFFFF, 4, 0xFFFFFFFF},  //
        {3, 0x123456, 4, 0xABCD0000},    // width 3 stores nothing
        {0, 7, 4, 0xABCD0000},           //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " value " << c.value);
        Poke(2000, 4, 0xABCD0000, DbImage::kVolatile);
        EXPECT_EQ(db->SetInt(2000, c.width, c.value, DbImage::kVolatile, 0), kDbOk);
        EXPECT_EQ(db->GetInt(2000, c.readWidth, DbImage::kVolatile), c.expect);
    }
    EXPECT_EQ(db->GetInt(2000, 3, DbImage::kVolatile), 0u);
    EXPECT_EQ(db->GetInt(2000, 8, DbImage::kVolatile), 0u);
}

TEST_F(DbTest, NullImageIsRefused) {
    EXPECT_EQ(db->SetInt(100, 4, 1, DbImage::kNone, 0), kDbGenError);
    EXPECT_EQ(db->GetInt(100, 4, DbImage::kNone), 0u);
    EXPECT_EQ(db->SetString(68, 4, "a", 1, DbImage::kNone, 0), kDbGenError);
    EXPECT_EQ(Read(68, DbImage::kNone), "");
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 4, 5, DbImage::kNone, 0), kDbGenError);
    EXPECT_EQ(db->GetRegisterTime(dbo::globalTime.id, 4, DbImage::kNone), 0u);
    EXPECT_TRUE(journal.Records().empty());
}

// No id may reach outside its image, whatever the accessor.
TEST_F(DbTest, AccessBeyondAnImageIsRefused) {
    struct Case {
        DbImage image;
        uint32_t id, width;
        bool inside;
    };
    const Case cases[] = {
        {DbImage::kNv, kNvImageSize - 4, 4, true},
        {DbImage::kNv, kNvImageSize - 3, 4, false},
        {DbImage::kNv, kNvImageSize - 1, 1, true},
        {DbImage::kNv, kNvImageSize, 1, false},
        {DbImage::kNv, kNvImageSize - 1, 2, false},
        {DbImage::kNv, 0xFFFFFFFF, 4, false},
        {DbImage::kVolatile, kVolatileImageSize - 2, 2, true},
        {DbImage::kVolatile, kVolatileImageSize - 1, 2, false},
        {DbImage::kVolatile, kVolatileImageSize, 1, false},
        {DbImage::kVolatile, kNvImageSize - 4, 4, false},
        {DbImage::kVolatile, 0xFFFFFFFE, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " width " << c.width);
        const DbResult result = db->SetInt(c.id, c.width, 0x5A, c.image, 0);
        EXPECT_EQ(result, c.inside ? kDbOk : kDbGenError);
        EXPECT_EQ(db->GetInt(c.id, c.width, c.image), c.inside ? 0x5Au : 0u);
    }
    // Strings take a 4-byte slot.
    EXPECT_EQ(db->SetString(kVolatileImageSize - 4, 4, "ok", 2, DbImage::kVolatile, 0), kDbOk);
    EXPECT_EQ(Read(kVolatileImageSize - 4, DbImage::kVolatile), "ok");
    for (uint32_t id : {kVolatileImageSize - 3, kVolatileImageSize, 0xFFFFFFFDu}) {
        EXPECT_EQ(db->SetString(id, 4, "no", 2, DbImage::kVolatile, 0), kDbGenError);
        uint32_t length = 99;
        EXPECT_STREQ(db->GetString(id, 4, DbImage::kVolatile, &length), "");
        EXPECT_EQ(length, 0u);
    }
    EXPECT_EQ(db->SetString(kNvImageSize, 4, "no", 2, DbImage::kNv, 0), kDbGenError);
    // Only the first in-range write changed anything (the second wrote the byte it held).
    EXPECT_EQ(journal.Records(), (std::vector<Record>{{kNvImageSize - 4, 4, 0x5A, ""}}));
}

TEST_F(DbTest, NvWritesAreJournalledOnceAndOnlyWhenChanged) {
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 5, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->SetInt(dbo::dmsSignHeight.id, 2, 1600, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->SetInt(dbo::brenFeatureSet.id, 4, 0x12345678, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 5, DbImage::kNv, 0), kDbOk);      // unchanged
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 0x105, DbImage::kNv, 0), kDbOk);  // still 5
    EXPECT_EQ(db->SetInt(dbo::dmsSignHeight.id, 2, 0x10000, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(journal.Records(),
              (std::vector<Record>{{57, 1, 5, ""}, {48, 2, 1600, ""}, {95700, 4, 0x12345678, ""}}));
}

TEST_F(DbTest, UnchangedNotifiedWritePostsKindOneAndNoRecord) {
    Poke(dbo::eventClassClearTime.Row(2), 4, 777, DbImage::kNv);
    EXPECT_EQ(db->SetInt(dbo::eventClassClearTime.Row(2), 4, 777, DbImage::kNv, kDbNotify), kDbOk);
    EXPECT_EQ(sink.Letters(), std::vector<uint32_t>{8});  // a kind-1 row: posted unchanged too
    EXPECT_TRUE(journal.Records().empty());
    PokeString(dbo::sysLocation.id, "Unknown", DbImage::kNv);
    EXPECT_EQ(db->SetString(dbo::sysLocation.id, 4, "Unknown", 7, DbImage::kNv, kDbNotify), kDbOk);
    EXPECT_TRUE(journal.Records().empty());
}

// A write the width cannot store (width 3, or above 65535 in 2 bytes) stores nothing, writes no
// record and still ends with the changed notice.
TEST_F(DbTest, UnstorableWritesStillPostTheChangedNotice) {
    struct Case {
        uint32_t width, value;
    };
    for (const Case& c : {Case{2, 0x10000}, Case{3, 5}, Case{0, 5}}) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " value " << c.value);
        Poke(dbo::messageStoreSplit.id, 1, 0x12, DbImage::kNv);
        ClearRecords();
        EXPECT_EQ(db->SetInt(dbo::messageStoreSplit.id, c.width, c.value, DbImage::kNv, kDbNotify),
                  kDbOk);
        EXPECT_EQ(db->GetInt(dbo::messageStoreSplit.id, 1, DbImage::kNv), 0x12u);
        EXPECT_TRUE(journal.Records().empty());
        EXPECT_EQ(sink.Letters(), std::vector<uint32_t>{24});  // a kind-2 row
    }
}

TEST_F(DbTest, JournalSkippedForFlagVolatileAndJournalOff) {
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 4, DbImage::kNv, kDbNoFlashWrite), kDbOk);
    EXPECT_EQ(db->GetInt(dbo::dmsSignType.id, 1, DbImage::kNv), 4u);  // in RAM, lost at restart
    EXPECT_EQ(db->SetInt(57, 1, 4, DbImage::kVolatile, 0), kDbOk);
    db->SetJournalWriting(false);
    EXPECT_EQ(db->ControlFlags() & kDbControlJournalMask, 0u);
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 6, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, "abc", 3, DbImage::kNv, 0), kDbOk);
    EXPECT_TRUE(journal.Records().empty());
    db->SetJournalWriting(true);
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 7, DbImage::kNv, kDbIgnoredFlag), kDbOk);
    EXPECT_EQ(journal.Records(), (std::vector<Record>{{57, 1, 7, ""}}));
}

TEST_F(DbTest, FailingJournalDoesNotChangeTheResult) {
    journal.SetFailing(true);
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 9, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->GetInt(dbo::dmsSignType.id, 1, DbImage::kNv), 9u);
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, "xy", 2, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(Read(68, DbImage::kNv), "xy");
    EXPECT_EQ(db->JournalFailures(), 2u);
    journal.SetFailing(false);
    EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 10, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->JournalFailures(), 2u);
}

// A value that stood in the image while the journal refused its record is written again by the
// next write of the same value (which would otherwise count as unchanged and be acknowledged
// without a record), and only until a record of it is written.
TEST_F(DbTest, ValueTheJournalRefusedIsJournalledByTheNextEqualWrite) {
    const struct {
        const char* what;
        std::function<DbResult()> write;
        Record record;
    } kCases[] = {
        {"1 byte",
         [&] { return db->SetInt(dbo::dmsSignType.id, 1, 9, DbImage::kNv, 0); },
         {dbo::dmsSignType.id, 1, 9, ""}},
        {"2 bytes",
         [&] { return db->SetInt(dbo::dmsSignWidth.id, 2, 7000, DbImage::kNv, 0); },
         {dbo::dmsSignWidth.id, 2, 7000, ""}},
        {"string",
         [&] { return db->SetString(dbo::monochromeColor.id, 4, "xy", 2, DbImage::kNv, 0); },
         {dbo::monochromeColor.id, 0, 2, "xy"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        journal.SetFailing(true);
        const uint32_t failures = db->JournalFailures();
        EXPECT_EQ(c.write(), kDbOk);
        EXPECT_EQ(db->JournalFailures(), failures + 1);
        EXPECT_EQ(c.write(), kDbOk) << "still refused: counted again";
        EXPECT_EQ(db->JournalFailures(), failures + 2);
        journal.SetFailing(false);
        ClearRecords();
        EXPECT_EQ(c.write(), kDbOk);
        EXPECT_EQ(journal.Records(), std::vector<Record>{c.record});
        EXPECT_EQ(db->JournalFailures(), failures + 2);
        ClearRecords();
        EXPECT_EQ(c.write(), kDbOk);
        EXPECT_TRUE(journal.Records().empty()) << "written once, then unchanged again";
    }
}

TEST_F(DbTest, StringsHoldAnyOctetsBoundedByTheirLength) {
    const std::string octets("\0\x01\xFFz\n", 5);
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, octets.data(), 5, DbImage::kNv, 0), kDbOk);
    uint32_t length = 0;
    const char* text = db->GetString(dbo::monochromeColor.id, 4, DbImage::kNv, &length);
    EXPECT_EQ(std::string(text, length), octets);
    EXPECT_EQ(text[length], '\0');
    EXPECT_EQ(db->GetString(dbo::monochromeColor.id, 4, DbImage::kNv, nullptr)[1], '\x01');
    EXPECT_EQ(journal.Records(), (std::vector<Record>{{68, 0, 5, octets}}));
}

TEST_F(DbTest, StringReplacementReusesReleasesAndClears) {
    StringPool& pool = db->Pool();
    EXPECT_EQ(
        db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, "abcd", 4, DbImage::kVolatile, 0),
        kDbOk);
    const uint32_t handle =
        db->GetInt(dbo::statMultiCurrentFieldValue.Row(9), 4, DbImage::kVolatile);
    EXPECT_NE(handle, 0u);
    // Same length: the block is reused.
    EXPECT_EQ(
        db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, "wxyz", 4, DbImage::kVolatile, 0),
        kDbOk);
    EXPECT_EQ(db->GetInt(dbo::statMultiCurrentFieldValue.Row(9), 4, DbImage::kVolatile), handle);
    EXPECT_EQ(Read(200, DbImage::kVolatile), "wxyz");
    // Another length: a new block; the old one is free again.
    EXPECT_EQ(db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, "longer text", 11,
                            DbImage::kVolatile, 0),
              kDbOk);
    EXPECT_EQ(Read(200, DbImage::kVolatile), "longer text");
    EXPECT_EQ(pool.BlockCount(), 1u);
    // Length 0 (text may be null): the object is empty and the slot null.
    EXPECT_EQ(
        db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, nullptr, 0, DbImage::kVolatile, 0),
        kDbOk);
    EXPECT_EQ(db->GetInt(dbo::statMultiCurrentFieldValue.Row(9), 4, DbImage::kVolatile), 0u);
    EXPECT_EQ(pool.BlockCount(), 0u);
    EXPECT_EQ(pool.Info().available, pool.Size() - StringPool::kHeaderSize);
    // A null text with a length is bad input.
    EXPECT_EQ(
        db->SetString(dbo::statMultiCurrentFieldValue.Row(9), 4, nullptr, 3, DbImage::kVolatile, 0),
        kDbGenError);
}

TEST_F(DbTest, ClearedNvStringRetiresItsJournalRecords) {
    EXPECT_EQ(db->SetString(dbo::brenNTPText.id, 4, "ntp", 3, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(db->SetString(dbo::brenNTPText.id, 4, "", 0, DbImage::kNv, 0), kDbOk);
    uint32_t length = 7;
    EXPECT_STREQ(db->GetString(dbo::brenNTPText.id, 4, DbImage::kNv, &length), "");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(journal.Records(), (std::vector<Record>{{95676, 0, 3, "ntp"}, {95676, 0, 0, ""}}));
}

TEST_F(DbTest, NvStringsAboveTwoThousandBytesAreStoredButNotReturned) {
    const std::string text2000(2000, 'a');
    const std::string text2001(2001, 'b');
    EXPECT_EQ(db->SetString(34292, 4, text2000.data(), 2000, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(Read(34292, DbImage::kNv), text2000);
    EXPECT_EQ(db->SetString(34296, 4, text2001.data(), 2001, DbImage::kNv, 0), kDbOk);
    CapturedDebug().clear();
    EXPECT_EQ(Read(34296, DbImage::kNv), "");
    EXPECT_EQ(CapturedDebug(), "DB Error! Dynamic Object Too Long!\n");
    char out[3000];
    EXPECT_EQ(db->ReadString(34296, DbImage::kNv, out, sizeof out), 0u);
    // A volatile string of the same length is returned whole.
    EXPECT_EQ(db->SetString(dbo::externalText.id, 4, text2001.data(), 2001, DbImage::kVolatile, 0),
              kDbOk);
    EXPECT_EQ(Read(17208, DbImage::kVolatile), text2001);
    EXPECT_EQ(db->ReadString(17208, DbImage::kVolatile, out, 10), 2001u);
    EXPECT_EQ(std::string(out, 10), std::string(10, 'b'));
}

TEST_F(DbTest, LongStringsAreHandedToTheJournalWithoutWrapping) {
    // 65536 bytes would wrap to length 0, which would retire the object's older records.
    const std::string big(65536, 'q');
    EXPECT_EQ(db->SetString(34300, 4, big.data(), 65536, DbImage::kNv, 0), kDbOk);
    ASSERT_EQ(journal.Records().size(), 1u);
    EXPECT_EQ(journal.Records()[0].value, 0xFFFFu);
}

TEST_F(DbTest, StringAndIntegerObjectsOfTheNvImageStayApart) {
    // A string slot cannot be overwritten as an integer, nor an integer object used as a string:
    // either would leave a stray handle or a record that replays wrongly.
    EXPECT_EQ(db->SetString(dbo::monochromeColor.id, 4, "abc", 3, DbImage::kNv, 0), kDbOk);
    for (uint32_t width : {1u, 2u, 4u}) {
        EXPECT_EQ(db->SetInt(68, width, 0, DbImage::kNv, kDbReplayFlags), kDbGenError);
    }
    EXPECT_EQ(db->SetInt(67, 2, 0, DbImage::kNv, 0), kDbGenError);  // overlaps 68
    EXPECT_EQ(db->SetInt(70, 1, 0, DbImage::kNv, 0), kDbGenError);
    EXPECT_EQ(Read(68, DbImage::kNv), "abc");
    EXPECT_EQ(db->SetString(57, 4, "x", 1, DbImage::kNv, 0), kDbGenError);
    EXPECT_EQ(db->SetInt(dbo::vmsVerticalPitch.id, 1, 34, DbImage::kNv, 0), kDbOk);
}

TEST_F(DbTest, StrayHandleInAVolatileSlotReadsAsEmpty) {
    Poke(300, 4, 0x00000100, DbImage::kVolatile);  // not a live block
    EXPECT_EQ(Read(300, DbImage::kVolatile), "");
    EXPECT_EQ(db->SetString(300, 4, "ok", 2, DbImage::kVolatile, 0), kDbOk);
    EXPECT_EQ(Read(300, DbImage::kVolatile), "ok");
}

TEST_F(DbTest, GetStringCopiesStayValidWhileTheObjectIsReplaced) {
    EXPECT_EQ(db->SetString(400, 4, "first", 5, DbImage::kVolatile, 0), kDbOk);
    uint32_t length = 0;
    const char* first = db->GetString(400, 4, DbImage::kVolatile, &length);
    EXPECT_EQ(db->SetString(400, 4, "second text", 11, DbImage::kVolatile, 0), kDbOk);
    const char* second = db->GetString(400, 4, DbImage::kVolatile, &length);
    EXPECT_STREQ(first, "first");  // the reader's copy, not the released block
    EXPECT_STREQ(second, "second text");
}

// Readers on three kernel threads take turns with a writer that keeps replacing the string with
// texts of other lengths: every read is one whole version, never a torn or released block.
TEST_F(DbTest, ReadersOnOtherThreadsSeeWholeStrings) {
    static const std::string a(1500, 'a');
    static const std::string b(700, 'b');
    static CDataBase* store;
    static int bad;
    static int reads;
    static bool done;
    store = db.get();
    bad = 0;
    reads = 0;
    done = false;
    PokeString(500, a, DbImage::kVolatile);
    struct Task {
        TX_THREAD thread{};
        alignas(16) unsigned char stack[4096];
    } tasks[4];
    auto reader = [](ULONG_PTR) {
        while (!done) {
            uint32_t length = 0;
            const char* text = store->GetString(500, 4, DbImage::kVolatile, &length);
            const std::string got(text, length);
            bad += got != a && got != b;
            ++reads;
            tx_thread_relinquish();
        }
    };
    auto writer = [](ULONG_PTR) {
        for (int i = 0; i < 2000; ++i) {
            const std::string& next = i % 2 == 0 ? b : a;
            store->SetString(500, 4, next.data(), static_cast<uint32_t>(next.size()),
                             DbImage::kVolatile, 0);
            tx_thread_relinquish();
        }
        done = true;
    };
    {
        kernel::Kernel k;
        k.Start([&](void*) {
            for (int i = 0; i < 4; ++i) {
                ASSERT_EQ(tx_thread_create(&tasks[i].thread, i == 3 ? "writer" : "reader",
                                           i == 3 ? writer : reader, 0, tasks[i].stack,
                                           sizeof tasks[i].stack, 5, 5, 1, TX_AUTO_START),
                          TX_SUCCESS);
            }
        });
    }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(reads, 2000) << "the readers ran between the writes";
}

TEST_F(DbTest, AccessByCatalogueEntry) {
    EXPECT_EQ(db->Set(dbo::brenLineLength, 7, 0, 8), kDbOk);
    EXPECT_EQ(db->GetInt(dbo::brenLineLength.Row(8), 1, DbImage::kNv), 7u);
    EXPECT_EQ(db->Get(dbo::brenLineLength, 8), 7u);
    EXPECT_EQ(db->Set(dbo::brenLineLength, 7, 0, 9), kDbGenError);  // one row too far
    EXPECT_EQ(db->GetInt(95731, 1, DbImage::kNv), 0u);
    EXPECT_EQ(db->Set(dbo::dmsControlMode, 2, kDbSkipValidation), kDbOk);
    EXPECT_EQ(db->GetInt(dbo::dmsControlMode.id, 1, DbImage::kVolatile), 2u);
    EXPECT_EQ(db->SetText(dbo::communityNameUser, "user", 4, 0, 99), kDbOk);
    uint32_t length = 0;
    EXPECT_STREQ(db->GetText(dbo::communityNameUser, &length, 99), "user");
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(db->SetText(dbo::communityNameUser, "x", 1, 0, 100), kDbGenError);
    // Integers and strings are not mixed up through the catalogue either.
    EXPECT_EQ(db->Set(dbo::communityNameAdmin, 0, 0), kDbGenError);
    EXPECT_EQ(db->SetText(dbo::dmsSignType, "x", 1, 0), kDbGenError);
    EXPECT_EQ(db->Get(dbo::communityNameUser, 99), 0u);
}

TEST_F(DbTest, RegisterTimeLivesInTheBoardRegisters) {
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 4, 0x0A0B0C0D, DbImage::kNv, kDbNotify),
              kDbOk);
    EXPECT_EQ(registers.Read(0xF0100001), 0x0A);
    EXPECT_EQ(registers.Read(0xF0100003), 0x0B);
    EXPECT_EQ(registers.Read(0xF0100005), 0x0C);
    EXPECT_EQ(registers.Read(0xF0100007), 0x0D);
    EXPECT_EQ(db->GetRegisterTime(dbo::globalTime.id, 4, DbImage::kNv), 0x0A0B0C0Du);
    EXPECT_EQ(db->GetInt(dbo::globalTime.id, 4, DbImage::kNv), 0u);  // the image bytes are not used
    EXPECT_EQ(db->GetRegisterTime(dbo::globalTime.id, 2, DbImage::kNv), 0u);
    EXPECT_TRUE(journal.Records().empty());
    EXPECT_EQ(sink.Flags(), 0x1u);
    // Width 2 is refused without a notice; the current value writes nothing.
    sink.Clear();
    const uint32_t writes = registers.Writes();
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 2, 1, DbImage::kNv, kDbNotify), kDbGenError);
    EXPECT_EQ(db->SetRegisterTime(dbo::globalTime.id, 4, 0x0A0B0C0D, DbImage::kNv, 0), kDbOk);
    EXPECT_EQ(registers.Writes(), writes);
    EXPECT_EQ(sink.FlagCalls(), 0u);
}

TEST_F(DbTest, StringObjectMap) {
    struct Case {
        uint32_t id;
        int expected;
    };
    const Case cases[] = {
        {92, 1},    {168, 1},   {172, 0},   {94, 0},    {5372, 1},  {25768, 1}, {25772, 0},
        {25792, 1}, {30588, 1}, {30592, 0}, {34192, 1}, {34196, 1}, {34200, 0}, {34208, 1},
        {34240, 1}, {34252, 1}, {34264, 1}, {34292, 1}, {35308, 1}, {50240, 1}, {52156, 1},
        {98616, 1}, {98624, 1}, {98628, 0}, {98632, 1}, {95808, 1}, {95824, 1}, {96348, 1},
        {97364, 1}, {97368, 1}, {98384, 1}, {98404, 1}, {98600, 1}, {52760, 1}, {52996, 1},
        {53000, 1}, {53236, 1}, {77780, 1}, {94096, 1}, {94100, 0}, {94180, 1}, {94240, 1},
        {48784, 1}, {48788, 1}, {48792, 0}, {94264, 1}, {94660, 1}, {94664, 0}, {35372, 1},
        {35568, 1}, {35924, 1}, {36120, 1}, {36176, 1}, {48772, 1}, {95064, 1}, {95604, 1},
        {34228, 1}, {34276, 1}, {34284, 1}, {94260, 1}, {68, 1},    {95676, 1}, {95624, 1},
        {95748, 1}, {95760, 1}, {95764, 1}, {95768, 1}, {95776, 1}, {98392, 1}, {95688, 1},
        {95692, 1}, {95772, 0}, {57, 0},    {48840, 0}, {95656, 0}, {0, 0},     {98711, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CDataBase::IsStringObject(c.id), c.expected) << c.id;
    }
}

// A bulk run on one thread switches notices and validation off for that thread only.
TEST_F(DbTest, BulkWriteSwitchesBelongToTheCallingThread) {
    Poke(dbo::dmsMessageStatus.Row(0), 1, 1, DbImage::kNv);
    {
        DbBulkWriteScope bulk;
        EXPECT_FALSE(db->NotificationActive());
        EXPECT_FALSE(db->ValidationActive());
        // Validation off here: a status jump 1 -> 2 is stored, and no notice is posted.
        EXPECT_EQ(db->SetInt(dbo::dmsMessageStatus.Row(0), 1, 2, DbImage::kNv, kDbNotify), kDbOk);
        EXPECT_TRUE(sink.Letters().empty());
        EXPECT_EQ(sink.Flags(), 0u);
        // Another thread writing meanwhile is still validated and notified.
        std::thread other([&] {
            EXPECT_TRUE(db->NotificationActive());
            EXPECT_EQ(db->SetInt(dbo::dmsMessageStatus.Row(1), 1, 2, DbImage::kNv, kDbNotify),
                      kDbBadValue);
            EXPECT_EQ(db->SetInt(dbo::dmsSignType.id, 1, 4, DbImage::kNv, kDbNotify), kDbOk);
        });
        other.join();
        EXPECT_EQ(sink.Letters(), (std::vector<uint32_t>{96, 93}));
    }
    EXPECT_TRUE(db->NotificationActive());
    EXPECT_TRUE(db->ValidationActive());
    EXPECT_EQ(db->ControlFlags() & (kDbControlNotify | kDbControlValidate),
              kDbControlNotify | kDbControlValidate);
}

TEST_F(DbTest, OverlappingBulkRunsRestoreTheSwitches) {
    uint8_t outer = 0;
    uint8_t inner = 0;
    db_swap_control_flags(kDbSwapValidate, &outer);  // notices off, validation kept
    EXPECT_EQ(outer, kDbSwapNotify | kDbSwapValidate);
    EXPECT_FALSE(db->NotificationActive());
    EXPECT_TRUE(db->ValidationActive());
    db_swap_control_flags(0, &inner);
    EXPECT_EQ(inner, kDbSwapValidate);
    EXPECT_FALSE(db->ValidationActive());
    db_swap_control_flags(inner, nullptr);
    EXPECT_TRUE(db->ValidationActive());
    EXPECT_FALSE(db->NotificationActive());
    db_swap_control_flags(outer, nullptr);
    EXPECT_TRUE(db->NotificationActive());
    // A thread cannot switch on what the database has off.
    db->SetNotificationEnabled(false);
    db_swap_control_flags(kDbSwapNotify | kDbSwapValidate, nullptr);
    EXPECT_FALSE(db->NotificationActive());
}
}  // namespace
