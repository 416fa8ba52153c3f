// Randomised model test: thousands of random writes, emptied strings, deletion passes, database
// cycles (with their compactions) and restarts; after every restart the replayed image equals the
// model, and after a deletion pass each object has at most one live record.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "database/journal_record.h"
#include "database/tests/flash_journal_support.h"

namespace {

struct Id {
    uint32_t id;
    uint32_t width;  // 0: string
};

const Id kIds[] = {
    {kInt8Id, 1}, {kInt16Id, 2}, {kInt32Id, 4},    {1000, 4}, {1004, 2},
    {1006, 1},    {1008, 4},     {1012, 4},        {1016, 4}, {1020, 1},
    {kTextId, 0}, {kText2Id, 0}, {kFontNameId, 0}, {96, 0},   {25796, 0},
    {25800, 0},   {98620, 0},    {5372, 0},        {5376, 0}, {1024, 4},
};

std::string RandomText(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 9);
    const int k = kind(rng);
    size_t length = k < 5 ? rng() % 8 : k < 9 ? rng() % 120 : rng() % 1601;
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(rng() % 4 == 0 ? "~|>\xFF"[rng() % 4] : rng());
    }
    return text;
}

// Live records per object id in the active file.
std::map<uint32_t, int> LiveRecords(JournalBoard& board) {
    std::map<uint32_t, int> live;
    const std::vector<uint8_t>& file = board.File(board.Active());
    const uint32_t end = board.Used();
    journal::RecordFrame frame;
    for (uint32_t at = journal::kHeaderSize; at < end;) {
        if (journal::AcceptRecord(file.data(), end, at, &frame)) {
            live[frame.id] += frame.live ? 1 : 0;
            at += frame.Size();
        } else {
            ++at;
        }
    }
    return live;
}

void RunModel(uint32_t seed, uint32_t indexCapacity, int operations) {
    FlashJournalGeometry geometry = SmallGeometry(0x10000, 0xA000);
    geometry.indexCapacity = indexCapacity;
    JournalBoard board(geometry, StringPool::kDefaultSize);
    board.Boot();
    std::mt19937 rng(seed);
    // id -> value (integers as decimal): in RAM, and as the journal holds it.
    std::map<uint32_t, std::string> model;
    std::map<uint32_t, std::string> journalled;
    auto check = [&](const char* when, int op) {
        for (const Id& id : kIds) {
            const std::string expected = model.count(id.id) ? model[id.id] : id.width ? "0" : "";
            const std::string actual =
                id.width ? std::to_string(board.Get(id.id, id.width)) : board.Text(id.id);
            ASSERT_EQ(actual, expected)
                << when << " op " << op << " id " << id.id << " seed " << seed;
        }
    };
    // One random write; a failing one has the flash refuse the append, part of it programmed.
    auto writeRandom = [&](bool fails) {
        const Id& id = kIds[rng() % std::size(kIds)];
        if (fails) {
            board.flash.FailIpmods(1, rng() % 12);
        }
        if (id.width == 0) {
            const std::string text = rng() % 10 == 0 ? std::string() : RandomText(rng);
            // An empty text is journalled even when the object is already empty.
            const bool changed = text.empty() || board.Text(id.id) != text;
            ASSERT_EQ(board.SetText(id.id, text), kDbOk);
            model[id.id] = text;
            if (!fails && changed && text.size() <= journal::kMaxStringLength) {
                journalled[id.id] = text;
            }
        } else {
            const uint32_t value = rng() >> (32 - 8 * id.width);
            const bool changed = board.Get(id.id, id.width) != value;
            ASSERT_EQ(board.Set(id.id, id.width, value), kDbOk);
            model[id.id] = std::to_string(value);
            if (!fails && changed) {
                journalled[id.id] = model[id.id];
            }
        }
        board.flash.FailIpmods(0);
    };
    // Other tasks write while the compaction copies.
    board.flash.onSleep = [&] {
        if (rng() % 3 == 0) {
            writeRandom(false);
        }
    };
    int compactions = 0;
    for (int op = 0; op < operations; ++op) {
        const uint32_t r = rng() % 100;
        if (r < 80) {
            writeRandom(rng() % 50 == 0);  // now and then the flash refuses the append
        } else if (r < 92) {
            board.journal->ProcessDeletes();
            if (board.journal->State() == CFlashDatabase::kIdle) {
                for (const auto& [id, count] : LiveRecords(board)) {
                    ASSERT_LE(count, 1) << "object " << id << " op " << op << " seed " << seed;
                }
            }
            const char* before = board.Active();
            board.journal->StateMachine_Defrag();
            compactions += before != board.Active();
        } else if (r < 94) {
            board.journal->RequestCompaction();
            board.journal->SetCountdown(0);
        } else if (r < 96) {
            board.Boot();
            ASSERT_EQ(board.journal->Closed(), false);
            model = journalled;
            board.flash.onSleep = [&] {
                if (rng() % 3 == 0) {
                    writeRandom(false);
                }
            };
            check("after restart", op);
        } else {
            check("running", op);
        }
        board.flash.FailIpmods(0);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
    board.Boot();
    model = journalled;
    check("at the end", operations);
    EXPECT_GT(compactions, 0) << "seed " << seed;
}

TEST(FlashJournalModel, RandomWorkloadsReplayToTheModel) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const int operations = 1500;
#else
    const int operations = 6000;
#endif
    for (uint32_t seed : {1u, 2u, 3u}) {
        RunModel(seed, JournalIndex::kDefaultCapacity, operations);
        RunModel(seed + 100, 6, operations);  // a full index most of the time
    }
}

}  // namespace
