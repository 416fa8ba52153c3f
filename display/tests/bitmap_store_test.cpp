// Bitmap references are found in MULTI texts, and purge and clear delete exactly the unused files.

#include "display/bitmap_store.h"

#include "display/tests/bitmap_store_fixture.h"

namespace {

using bitmap_store::ClearBitmapFiles;
using bitmap_store::FindBitmapNameInMulti;
using bitmap_store::IsBitmapReferenced;
using bitmap_store::PurgeUnusedBitmaps;

TEST(FindBitmapNameInMulti, FindsTheNameAfterXAndY) {
    struct Case {
        const char* text;
        const char* name;  // null: none
    } cases[] = {
        {"[ms47,g,1,1,ARROW.bmp]", "ARROW.bmp]"},
        {"A[nl][ms47,g,10,20,Bitmaps/X Y.bmp]B", "Bitmaps/X Y.bmp]B"},
        {"[ms47,g,1]", nullptr},
        {"[ms47,g,1,2]", nullptr},
        {"[MS47,G,1,1,A.bmp]", nullptr},
        {"[ms47,g,", nullptr},
        {"", nullptr},
        {"[ms47,g,1][ms47,g,3,4,B.bmp]", "B.bmp]"},
        {"ms47,g,1,1,", ""},
        {"ms47,g,ms47,g,", ""},
    };
    for (const Case& c : cases) {
        const char* found = FindBitmapNameInMulti(c.text);
        if (c.name == nullptr) {
            EXPECT_EQ(found, nullptr) << c.text;
        } else {
            ASSERT_NE(found, nullptr) << c.text;
            EXPECT_STREQ(found, c.name) << c.text;
        }
    }
    EXPECT_EQ(FindBitmapNameInMulti(nullptr), nullptr);
}

using BitmapStoreTest = BitmapBoardTest;

TEST_F(BitmapStoreTest, ReferencesCompareWholeNamesWithOrWithoutThePrefix) {
    Message(0, "[ms47,g,1,1,ARROW.bmp]", 4);
    Message(1, "[ms47,g,1,1,Bitmaps/STOP.bmp]", 4);
    Message(2, "[ms47,g,1,1,GONE.bmp]", 1);  // not valid: not searched
    Message(500, "[ms47,g,1,1,PERM.bmp]", 4);
    Message(3, "[ms47,g,1,1,VOL.bmp]", 4, false);
    Message(4, "\nms47,g,ms47,g,", 4);  // an empty name at the text's end
    struct Case {
        uint32_t type;
        const char* name;
        bool referenced;
    } cases[] = {
        {3, "ARROW.bmp", true},  {3, "Bitmaps/ARROW.bmp", true},
        {3, "STOP.bmp", true},   {3, "Bitmaps/STOP.bmp", true},
        {3, "ARR", false},       {3, "ARROW.bm", false},
        {3, "GONE.bmp", false},  {2, "PERM.bmp", true},
        {3, "PERM.bmp", false},  {4, "VOL.bmp", true},
        {5, "ARROW.bmp", false}, {1, "ARROW.bmp", false},
        {3, "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsBitmapReferenced(*db_, c.type, c.name), c.referenced)
            << c.type << " " << c.name;
    }
    EXPECT_FALSE(IsBitmapReferenced(*db_, 3, nullptr));
}

TEST_F(BitmapStoreTest, PurgeDeletesOnlyUnreferencedBitmapsOfTheDirectory) {
    Message(0, "[ms47,g,1,1,ARROW.bmp]", 4);
    Message(1, "[ms47,g,1,1,Bitmaps/STOP.bmp]", 4);
    Message(2, "[ms47,g,1,1,OLD.bmp]", 1);
    Message(500, "[ms47,g,1,1,PERM.bmp]", 4);
    Message(0, "[ms47,g,1,1,Bitmaps/VOL.bmp]", 4, false);
    const std::string longName = "Bitmaps/" + std::string(180, 'L') + ".bmp";
    for (const std::string& name : {std::string("Bitmaps/ARROW.bmp"),
                                    std::string("Bitmaps/STOP.bmp"), std::string("Bitmaps/OLD.bmp"),
                                    std::string("Bitmaps/PERM.bmp"), std::string("Bitmaps/VOL.bmp"),
                                    std::string("Bitmaps/ARR.bmp"), std::string("Bitmaps/A RR.bmp"),
                                    std::string("Bitmaps/*.bmp"), std::string("Bitmaps/README.txt"),
                                    std::string("Other/X.bmp"), std::string("X.bmp"), longName}) {
        AddFile(name);
    }
    EXPECT_EQ(PurgeUnusedBitmaps(*db_, &g_FileSystem, &media_), FS_SUCCESS);
    const std::set<std::string> expected = {"Bitmaps/ARROW.bmp",
                                            "Bitmaps/STOP.bmp",
                                            "Bitmaps/PERM.bmp",
                                            "Bitmaps/VOL.bmp",
                                            "Bitmaps/README.txt",
                                            "Other/X.bmp",
                                            "X.bmp"};
    EXPECT_EQ(Files(), expected);

    // Once the message is no longer valid its bitmap goes at the next purge.
    Message(0, "", 1);
    EXPECT_EQ(PurgeUnusedBitmaps(*db_, &g_FileSystem, &media_), FS_SUCCESS);
    EXPECT_EQ(Files().count("Bitmaps/ARROW.bmp"), 0u);
    EXPECT_EQ(Files().count("Bitmaps/STOP.bmp"), 1u);
}

TEST_F(BitmapStoreTest, PurgeReportsAnUnmountedDrive) {
    FsMedia other;
    AddFile("Bitmaps/A.bmp");
    EXPECT_EQ(PurgeUnusedBitmaps(*db_, &g_FileSystem, &other), FS_NOT_MOUNTED);
    EXPECT_EQ(Files().count("Bitmaps/A.bmp"), 1u);
}

TEST_F(BitmapStoreTest, ClearKeepsOnlyWhatPermanentMessagesThreeOnwardShow) {
    struct Case {
        uint32_t permanent;
        int keep;
        std::set<std::string> left;
    } cases[] = {
        {2, 0, {"Bitmaps/README.txt", "CONFIG.XML"}},
        {3, 1, {"Bitmaps/README.txt", "CONFIG.XML", "Bitmaps/KEEP.bmp", "Bitmaps/BARE.bmp"}},
        {3, 0, {"Bitmaps/README.txt", "CONFIG.XML", "Bitmaps/KEEP.bmp", "Bitmaps/BARE.bmp"}},
        {4,
         0,
         {"Bitmaps/README.txt", "CONFIG.XML", "Bitmaps/KEEP.bmp", "Bitmaps/BARE.bmp",
          "Bitmaps/FOUR.bmp"}},
    };
    for (const Case& c : cases) {
        for (const char* name :
             {"Bitmaps/KEEP.bmp", "Bitmaps/BARE.bmp", "Bitmaps/FOUR.bmp", "Bitmaps/OTHER.bmp",
              "Bitmaps/A *.bmp", "Bitmaps/README.txt", "CONFIG.XML", "Top.bmp"}) {
            AddFile(name);
        }
        ASSERT_EQ(db_->Set(dbo::dmsNumPermanentMsg, c.permanent, kDbReplayFlags), kDbOk);
        // Permanent message 3 is store entry 500, whatever its status.
        Message(500, "[ms47,g,1,1,Bitmaps/KEEP.bmp][ms47,g,2,2,BARE.bmp]", 1);
        Message(501, "[ms47,g,1,1,FOUR.bmp]", 4);
        EXPECT_EQ(ClearBitmapFiles(*db_, &g_FileSystem, &media_, c.keep), 0);
        EXPECT_EQ(Files(), c.left) << c.permanent << " keep " << c.keep;
    }
}

}  // namespace
