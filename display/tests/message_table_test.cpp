// The message and graphic table passes: status requests, message CRCs against an independent
// computation, counts and free memory, reference resets, graphic identifiers and entry counts,
// and the validation's error objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/recording_journal.h"
#include "display/table_crc.h"
#include "display/tests/display_test_fixture.h"
#include "render/msg_id_code.h"

namespace {

using display_test::DisplayTest;

// CRC-16 bit by bit: 0x1021 reflected (0x8408), initial 0xFFFF, inverted, bytes swapped.
uint16_t ReferenceCrc(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
        }
    }
    crc = uint16_t(~crc);
    return uint16_t((crc << 8) | (crc >> 8));
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Repeat(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += part;
    }
    return out;
}

class MessageTableTest : public DisplayTest {
protected:
    void Pass() {
        InThread([] { display_process_message_table(); });
    }
    void GraphicPass() {
        InThread([] { display_process_graphic_table(); });
    }
    static uint32_t Status(uint32_t k) { return g_DataBase.Get(dbo::dmsMessageStatus, k); }
    static uint32_t Crc(uint32_t k) { return g_DataBase.Get(dbo::dmsMessageCRC, k); }
    static void SetReference(const DbObject& object, uint8_t type, uint16_t number,
                             uint32_t row = 0) {
        CMsgIDCode id;
        id.Set(type, number, 0x4242);
        g_DataBase.SetText(object, id.raw, CMsgIDCode::kSize, kDbSkipValidation, row);
    }
    static std::vector<uint8_t> Reference(const DbObject& object, uint32_t row = 0) {
        uint8_t raw[8] = {};
        const uint32_t n = g_DataBase.ReadString(object.Row(row), object.image, raw, sizeof raw);
        return std::vector<uint8_t>(raw, raw + (n < sizeof raw ? n : sizeof raw));
    }
};

TEST_F(MessageTableTest, StatusRequestsMoveThroughTheStates) {
    struct Case {
        uint32_t before;
        std::string text;
        uint32_t after;
        bool crcSet;
    };
    const Case cases[] = {
        {7, "[jl3]VALID", 4, true},                           // validateReq -> validating -> valid
        {7, "[xyz]BROKEN", 5, false},                         // -> validating -> error
        {3, "HELD", 4, true},         {6, "EDIT", 2, false},  // modifyReq -> modifying
        {8, "GONE", 1, false},                                // notUsedReq -> notUsed
        {0, "ZERO", 1, false},                                // out of range -> notUsed
        {12, "TWELVE", 1, false},     {1, "UNUSED", 1, false},
        {2, "MODIFYING", 2, false},   {4, "VALID", 4, false},
        {5, "ERROR", 5, false},       {7, "", 4, true},  // the empty message is valid
    };
    for (uint32_t k = 0; k < std::size(cases); ++k) {
        StoreMessage(uint16_t(k + 1), cases[k].text, cases[k].before, 0x7777);
    }
    Pass();
    for (uint32_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        EXPECT_EQ(Status(k), c.after) << c.before << " " << c.text;
        const uint16_t expected =
            c.crcSet ? ReferenceCrc(Bytes(c.text + std::string(2, '\0'))) : uint16_t(0x7777);
        EXPECT_EQ(Crc(k), expected) << c.before << " " << c.text;
    }
    // No request status is left behind, and a second pass changes nothing.
    Pass();
    for (uint32_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(Status(k), cases[k].after) << cases[k].text;
    }
}

TEST_F(MessageTableTest, MessageCrcCoversTextBeaconAndPixelService) {
    struct Case {
        std::string text;
        uint8_t beacon, pixelService;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"A", 0, 0},
        {"[jp3]ROAD[nl]CLOSED", 1, 0},
        {"[jp3]ROAD[nl]CLOSED", 0, 1},
        {"[jp3]ROAD[nl]CLOSED", 1, 1},
        {Repeat("[jl2]", 380) + "W", 255, 7},
        {"[pt30o5]ACCIDENT[np]USE[nl]DETOUR", 0, 0},
    };
    for (const Case& c : cases) {
        StoreMessage(1, c.text, 7);
        g_DataBase.Set(dbo::dmsMessageBeacon, c.beacon, kDbSkipValidation, 0);
        g_DataBase.Set(dbo::dmsMessagePixelService, c.pixelService, kDbSkipValidation, 0);
        Pass();
        std::vector<uint8_t> covered = Bytes(c.text);
        covered.push_back(c.beacon);
        covered.push_back(c.pixelService);
        ASSERT_EQ(Status(0), 4u) << c.text.substr(0, 40) << " syntax error "
                                 << g_DataBase.Get(dbo::dmsMultiSyntaxError) << " at "
                                 << g_DataBase.Get(dbo::dmsMultiSyntaxErrorPosition);
        EXPECT_EQ(Crc(0), ReferenceCrc(covered)) << c.text.substr(0, 40);
        EXPECT_EQ(
            table_crc::MessageCrc(c.text.data(), uint32_t(c.text.size()), c.beacon, c.pixelService),
            ReferenceCrc(covered));
    }
}

TEST_F(MessageTableTest, ValidatedMessageActivatesWithItsCrc) {
    StoreMessage(5, "[jp3]SLOW", 7);
    Pass();
    ASSERT_EQ(Status(4), 4u);
    Activate(Code(3, 5, uint16_t(Crc(4))));
    EXPECT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 2u);
}

// A CRC whose record the journal refuses (a full flash) leaves the message validating, and the
// display task tries again at its next cycle: a valid status journalled without its CRC would
// read back after a power loss with a stale CRC.
TEST_F(MessageTableTest, CrcTheJournalRefusesKeepsTheMessageValidating) {
    RecordingJournal journal;
    g_DataBase.SetJournal(&journal);
    StoreMessage(5, "[jp3]SLOW", 7);
    SetReference(dbo::dmsCommunicationsLossMessage, 3, 5);
    const std::vector<uint8_t> reference = Reference(dbo::dmsCommunicationsLossMessage);
    journal.SetFailing(true);
    Pass();
    EXPECT_EQ(Status(4), 3u) << "validating";
    EXPECT_EQ(Reference(dbo::dmsCommunicationsLossMessage), reference) << "kept meanwhile";
    journal.SetFailing(false);
    Advance(20);  // the display task's next cycle passes the table again
    EXPECT_EQ(Status(4), 4u);
    EXPECT_EQ(Crc(4), ReferenceCrc({'[', 'j', 'p', '3', ']', 'S', 'L', 'O', 'W', 0, 0}));
    bool crcJournalled = false;
    for (const auto& record : journal.Records()) {
        crcJournalled |= record.id == dbo::dmsMessageCRC.Row(4) && record.value == Crc(4);
    }
    EXPECT_TRUE(crcJournalled);
    g_DataBase.SetJournal(nullptr);
}

TEST_F(MessageTableTest, CountsAndFreeMemory) {
    for (uint16_t n = 1; n <= 10; ++n) {
        StoreMessage(n, "MSG " + std::to_string(n), 7);
    }
    StoreMessage(11, "[xyz]", 7);  // error: not counted
    for (uint32_t i = 0; i < 3; ++i) {
        g_DataBase.SetText(dbo::dmsMessageMultiStringVolatile, "V", 1, kDbSkipValidation, i);
        g_DataBase.Set(dbo::dmsMessageStatusVolatile, 7, kDbSkipValidation, i);
    }
    Pass();
    EXPECT_EQ(g_DataBase.Get(dbo::dmsNumChangeableMsg), 10u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsFreeChangeableMemory), 735000u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsNumVolatileMsg), 3u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsFreeVolatileMemory), 1500u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageStatusVolatile, i), 4u);
        EXPECT_EQ(g_DataBase.Get(dbo::dmsMessageCRCVolatile, i), ReferenceCrc({'V', 0, 0}));
    }
    // Deleting two of them gives their memory back.
    g_DataBase.Set(dbo::dmsMessageStatus, 8, kDbSkipValidation, 0);
    g_DataBase.Set(dbo::dmsMessageStatus, 8, kDbSkipValidation, 1);
    Pass();
    EXPECT_EQ(g_DataBase.Get(dbo::dmsNumChangeableMsg), 8u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsFreeChangeableMemory), 738000u);
}

TEST_F(MessageTableTest, StoreSplitDecidesWhichEntriesArePassed) {
    struct Case {
        uint32_t split;
        uint32_t upperStatus, permanentCount, changeableCount;
    };
    for (const Case& c : {Case{1, 7, 9, 1}, Case{2, 4, 3, 1}}) {
        g_DataBase.Set(dbo::messageStoreSplit, c.split, kDbSkipValidation);
        g_DataBase.Set(dbo::dmsNumPermanentMsg, 9, kDbSkipValidation);
        StoreMessage(1, "LOW", 7);
        StoreMessage(501, "UPPER", 7);
        StoreMessage(600, "LAST", 8);
        Pass();
        EXPECT_EQ(Status(500), c.upperStatus) << c.split;
        EXPECT_EQ(Status(599), c.split == 2 ? 1u : 8u) << c.split;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsNumPermanentMsg), c.permanentCount) << c.split;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsNumChangeableMsg), c.changeableCount) << c.split;
    }
}

TEST_F(MessageTableTest, ReferencesToInvalidChangeableMessagesBecomeBlank) {
    StoreMessage(7, "SEVEN", 8);  // deleted in this pass
    StoreMessage(8, "EIGHT", 4);
    StoreMessage(9, "[xyz]", 7);  // fails validation in this pass
    SetReference(dbo::dmsShortPowerRecoveryMessage, 3, 7);
    SetReference(dbo::dmsEndDurationMessage, 3, 8);
    SetReference(dbo::dmsResetMessage, 4, 7);  // volatile 7: not a changeable message
    SetReference(dbo::spareMessageReference, 3, 9, 1);
    SetReference(dbo::brenMessageReference, 3, 9);
    g_DataBase.SetText(dbo::dmsCommunicationsLossMessage, "\x03\x00\x07", 3, kDbSkipValidation);
    Pass();
    CMsgIDCode blank;
    blank.Set(7, 1, 0);
    const std::vector<uint8_t> blankRaw(blank.raw, blank.raw + 5);
    auto unchanged = [](uint8_t type, uint16_t number) {
        CMsgIDCode id;
        id.Set(type, number, 0x4242);
        return std::vector<uint8_t>(id.raw, id.raw + 5);
    };
    EXPECT_EQ(Reference(dbo::dmsShortPowerRecoveryMessage), blankRaw);
    EXPECT_EQ(Reference(dbo::spareMessageReference, 1), blankRaw);
    EXPECT_EQ(Reference(dbo::brenMessageReference), blankRaw);
    EXPECT_EQ(Reference(dbo::dmsEndDurationMessage), unchanged(3, 8));
    EXPECT_EQ(Reference(dbo::dmsResetMessage), unchanged(4, 7));
    EXPECT_EQ(Reference(dbo::dmsCommunicationsLossMessage).size(), 3u);  // not a code: left
}

TEST_F(MessageTableTest, ValidationWritesTheErrorObjects) {
    // Graphic 1 ready with identifier 0x1234; font 1 at version 0x1111 (the renderer's view).
    store_.AddGraphic(0, 1, 4, 4, 1, {0xF0, 0x0F}, false, {}, 4, 0x1234);
    store_.SetNv(dbo::fontVersionID.Row(0), 2, 0x1111);
    struct Case {
        std::string text;
        uint32_t syntax, position;
        bool errorBit;
    };
    const Case cases[] = {
        {"[xyz]AB", 3, 1, false},
        {"AB[jl9]C", 4, 3, false},
        {"A[np]B[np]C[np]D[np]E[np]F[np]G", 12, 30, false},
        {"[fo1,0000]A", 13, 1, true},
        {"[g1,1,1,0000]", 14, 1, true},
        {"[g9]", 15, 1, false},
    };
    // The message error bit is set for 13 and 14 and otherwise left as it was.
    for (const Case& c : cases) {
        for (uint32_t before : {0u, 0x80u}) {
            g_DataBase.Set(dbo::shortErrorStatus, before, 0);
            StoreMessage(1, c.text, 7);
            Pass();
            EXPECT_EQ(Status(0), 5u) << c.text;
            EXPECT_EQ(g_DataBase.Get(dbo::dmsValidateMessageError), 5u) << c.text;
            EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxError), c.syntax) << c.text;
            EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxErrorPosition), c.position) << c.text;
            EXPECT_EQ((g_DataBase.Get(dbo::shortErrorStatus) & 0x80) != 0,
                      c.errorBit || before != 0)
                << c.text << " " << before;
        }
    }
    // A valid text clears the error objects and the message error bit.
    g_DataBase.Set(dbo::shortErrorStatus, 0x80, 0);
    StoreMessage(1, "FINE", 7);
    Pass();
    EXPECT_EQ(Status(0), 4u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsValidateMessageError), 2u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxError), 2u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxErrorPosition), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::shortErrorStatus) & 0x80, 0u);
}

TEST_F(MessageTableTest, ActivationModeReportsThroughTheActivationError) {
    uint32_t ok = 0;
    uint32_t bad = 0;
    InThread([&] {
        ok = display_->ValidateMultiText("AB", 2, 1);
        bad = display_->ValidateMultiText("[xyz]", 5, 1);
    });
    EXPECT_TRUE(ok);
    EXPECT_FALSE(bad);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsActivateMsgError), 8u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxError), 3u);
    EXPECT_NE(g_DataBase.Get(dbo::shortErrorStatus) & 0x80, 0u);
}

// A stored text beyond what the database hands out of the NV image is an error, never the
// empty message; the text stays stored.
TEST_F(MessageTableTest, OverlongTextIsAnErrorAndStaysStored) {
    for (uint32_t size : {2001u, 2500u, 6000u}) {
        StoreMessage(1, std::string(size, 'X'), 7, 0x5555);
        Pass();
        EXPECT_EQ(Status(0), 5u) << size;
        EXPECT_EQ(Crc(0), 0x5555u) << size;
        EXPECT_EQ(g_DataBase.Get(dbo::dmsMultiSyntaxError), 5u) << size;
        EXPECT_EQ(g_DataBase.StoredStringLength(dbo::dmsMessageMultiString.id, DbImage::kNv), size);
    }
}

class GraphicTableTest : public MessageTableTest {
protected:
    static void Graphic(uint32_t g, uint32_t status, uint32_t type, uint32_t height,
                        uint32_t width) {
        g_DataBase.Set(dbo::dmsGraphicNumber, g + 1, kDbSkipValidation, g);
        g_DataBase.Set(dbo::dmsGraphicStatus, status, kDbSkipValidation, g);
        g_DataBase.Set(dbo::dmsGraphicType, type, kDbSkipValidation, g);
        g_DataBase.Set(dbo::dmsGraphicHeight, height, kDbSkipValidation, g);
        g_DataBase.Set(dbo::dmsGraphicWidth, width, kDbSkipValidation, g);
    }
    static void Block(uint32_t g, uint32_t b, const std::vector<uint8_t>& octets) {
        g_DataBase.SetText(dbo::dmsGraphicBlockBitmap, octets.data(), uint32_t(octets.size()),
                           kDbSkipValidation, 63 * g + b);
    }
};

TEST_F(GraphicTableTest, BitmapSizesAndBlockCounts) {
    struct Case {
        uint32_t type, height, width, blockSize, size, blocks;
    };
    const Case cases[] = {
        {1, 10, 10, 8, 13, 2},             // monochrome1bit 10 x 10: 13 octets, blocks 0 and 1
        {2, 10, 10, 8, 100, 13},           // monochrome8bit
        {3, 4, 5, 1023, 20, 1},            // colorClassic
        {4, 4, 5, 7, 60, 9},               // color24bit
        {4, 255, 1000, 1023, 765000, 63},  // never beyond the graphic's own 63 blocks
        {0, 10, 10, 8, 0, 0},              // a row never written
        {9, 10, 10, 8, 0, 0},
        {1, 10, 10, 0, 13, 0},  // no block size
    };
    for (const Case& c : cases) {
        const uint32_t size = table_crc::GraphicBitmapSize(c.type, c.height, c.width);
        EXPECT_EQ(size, c.size) << c.type;
        EXPECT_EQ(table_crc::GraphicBlockCount(size, c.blockSize), c.blocks) << c.type;
    }
}

TEST_F(GraphicTableTest, IdentifierCoversTheRowAndItsBlocks) {
    g_DataBase.Set(dbo::dmsGraphicBlockSize, 8, 0);
    Graphic(3, 8, 1, 10, 300);  // width above 255: two octets
    g_DataBase.Set(dbo::dmsGraphicNumber, 17, kDbSkipValidation, 3);
    g_DataBase.Set(dbo::dmsGraphicTransparentEnabled, 1, kDbSkipValidation, 3);
    const uint8_t colour = 0x5A;
    g_DataBase.SetText(dbo::dmsGraphicTransparentColor, &colour, 1, kDbSkipValidation, 3);
    // 10 x 300 at 1 bit: 375 octets, 47 blocks of 8; block 47 is beyond and not covered.
    std::vector<uint8_t> expected = {17, 0, 10, 0x01, 0x2C, 1, 1, 0x5A, 0, 0};
    for (uint32_t b = 0; b < 47; ++b) {
        const std::vector<uint8_t> block(b % 3 + 1, uint8_t(b));
        Block(3, b, block);
        expected.insert(expected.end(), block.begin(), block.end());
    }
    Block(3, 47, {0xEE});
    GraphicPass();
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicStatus, 3), 4u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicID, 3), ReferenceCrc(expected));
    EXPECT_EQ(table_crc::GraphicId(g_DataBase, 3), ReferenceCrc(expected));
}

TEST_F(GraphicTableTest, StatusRequestsAndEntryCount) {
    g_DataBase.Set(dbo::dmsGraphicBlockSize, 1023, 0);
    g_DataBase.Set(dbo::dmsGraphicNumEntries, 250, 0);  // whatever it held before
    Graphic(0, 7, 1, 8, 8);                             // modifyReq -> modifying
    Graphic(1, 8, 1, 8, 8);                             // readyForUseReq -> ready
    Graphic(2, 8, 2, 2, 2);
    Graphic(3, 5, 1, 8, 8);  // in use: counted
    Graphic(4, 9, 1, 8, 8);  // notUsedReq: the row is emptied
    g_DataBase.SetText(dbo::dmsGraphicName, "ARROW", 5, kDbSkipValidation, 4);
    g_DataBase.Set(dbo::dmsGraphicID, 0x9999, kDbSkipValidation, 4);
    g_DataBase.Set(dbo::dmsGraphicTransparentEnabled, 1, kDbSkipValidation, 4);
    Block(4, 0, {1, 2, 3});
    Block(4, 62, {4});
    Graphic(5, 6, 1, 8, 8);  // permanent: left alone, not counted
    GraphicPass();
    const uint32_t statuses[] = {2, 4, 4, 5, 1, 6};
    for (uint32_t g = 0; g < 6; ++g) {
        EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicStatus, g), statuses[g]) << g;
    }
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicNumEntries), 3u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicNumber, 4), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicWidth, 4), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicID, 4), 0u);
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicTransparentEnabled, 4), 0u);
    EXPECT_EQ(Reference(dbo::dmsGraphicName, 4).size(), 0u);
    EXPECT_EQ(Reference(dbo::dmsGraphicTransparentColor, 4), std::vector<uint8_t>{0});
    EXPECT_EQ(Reference(dbo::dmsGraphicBlockBitmap, 63 * 4).size(), 0u);
    EXPECT_EQ(Reference(dbo::dmsGraphicBlockBitmap, 63 * 4 + 62).size(), 0u);
    // The count follows the table, also when a graphic is deleted later.
    g_DataBase.Set(dbo::dmsGraphicStatus, 9, kDbSkipValidation, 1);
    GraphicPass();
    EXPECT_EQ(g_DataBase.Get(dbo::dmsGraphicNumEntries), 2u);
}

}  // namespace
