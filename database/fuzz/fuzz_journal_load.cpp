// Loads journal files that are random or bit-flipped copies of a good journal, then appends,
// runs a deletion pass and a compaction over them and loads again: no crash, no read or write
// outside the files or the image.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/journal_record.h"
#include "database/memory_journal_services.h"
#include "database/object_ids.h"

namespace {

constexpr uint32_t kFile = 0x2000;

FlashJournalGeometry Geometry() {
    FlashJournalGeometry geometry;
    geometry.fileSize = kFile;
    geometry.compactAbove = 0x1800;
    geometry.indexCapacity = 8;
    return geometry;
}

// A journal written through the database: integers, texts, an emptied text, a deletion pass.
std::vector<uint8_t> GoodJournal() {
    MemoryJournalServices flash;
    CDataBase db(1u << 16);
    CFlashDatabase journal(&db, &flash, Geometry());
    db.SetJournal(&journal);
    journal.Load();
    journal.CommitActiveFile();
    for (uint32_t i = 0; i < 24; ++i) {
        db.SetInt(1000 + 4 * (i % 6), 4, i * 0x01010101u, DbImage::kNv, kDbSkipValidation);
        db.SetInt(dbo::nvdotManualRun1.id, 1, i, DbImage::kNv, kDbSkipValidation);
        const char text[] = "~\x00\x07|>text";
        db.SetString(25792 + 4 * (i % 3), 4, text, i % 10, DbImage::kNv, kDbSkipValidation);
        if (i % 7 == 0) {
            journal.ProcessDeletes();
        }
    }
    return *flash.File("nv1.dat");
}

void Exercise(MemoryJournalServices& flash) {
    CDataBase db(1u << 16);
    CFlashDatabase journal(&db, &flash, Geometry());
    db.SetJournal(&journal);
    if (journal.Load() == 0) {
        journal.CommitActiveFile();
    }
    db.SetInt(1000, 4, 0xA5A5A5A5, DbImage::kNv, kDbSkipValidation);
    db.SetString(dbo::dmsMessageMultiString.id, 4, "after", 5, DbImage::kNv, kDbSkipValidation);
    db.SetString(dbo::dmsMessageMultiString.Row(1), 4, "", 0, DbImage::kNv, kDbSkipValidation);
    journal.ProcessDeletes();
    journal.SetCountdown(0);
    journal.RequestCompaction();
    for (int step = 0; step < 3; ++step) {
        journal.StateMachine_Defrag();
    }
    journal.UsagePercent();
    flash.Reboot();
    CDataBase again(1u << 16);
    CFlashDatabase reload(&again, &flash, Geometry());
    reload.Load();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    static const std::vector<uint8_t> good = GoodJournal();
    static const uint32_t goodUsed = journal::UsedEnd(good.data(), 0, kFile) + 16;
    MemoryJournalServices flash;
    const uint8_t mode = data[0];
    ++data;
    --size;
    if ((mode & 1) == 0) {
        // A file of arbitrary bytes; its size is the input's (short files included), or the
        // journal's with the input as its start.
        std::vector<uint8_t> file(data, data + size);
        if ((mode & 2) != 0) {
            file.resize(kFile, 0xFF);
            if ((mode & 4) != 0 && file.size() >= journal::kHeaderSize) {
                journal::Header previous;
                previous.sequence = mode >> 4;
                journal::BuildHeader(&previous, kNvImageSize, file.data());
            }
        }
        flash.Put((mode & 8) != 0 ? "nv2.dat" : "nv1.dat", std::move(file));
    } else {
        // The good journal with bits flipped: each pair of input bytes names one bit of its used
        // part (or just behind it).
        std::vector<uint8_t> file = good;
        for (size_t i = 0; i + 1 < size; i += 2) {
            const uint32_t bit = (uint32_t{data[i]} << 8 | data[i + 1]) * 7u % (goodUsed * 8);
            file[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        }
        flash.Put("nv1.dat", file);
        if ((mode & 2) != 0) {
            flash.Put("nv2.dat", good);  // a second valid file of the same sequence
        }
    }
    Exercise(flash);
    return 0;
}
