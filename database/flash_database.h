#pragma once
// CFlashDatabase: the append-only flash journal that keeps the NV image across power loss.
//
// Two files of the flash file system, "nv1.dat" and "nv2.dat", one active at a time. Every
// journalled write appends one self-checking record (journal_record.h) at the active file's first
// erased byte; superseded records are marked deleted in place by a batched deletion pass driven by
// an index of the newest record of each object; `Load` replays the live records into the zeroed
// NV image at start-up; above 3 MB (or monthly) the live records are copied verbatim into the other
// file, which then becomes the active one.
//
// Record addresses are offsets of the record's marker in its file; every index entry also names
// the file its record is in.

#include <cstdint>
#include <vector>

#include "database/db_journal.h"
#include "database/db_types.h"
#include "database/journal_index.h"
#include "database/journal_record.h"
#include "database/journal_services.h"
#include "database/object_ids.h"

class CDataBase;

struct FlashJournalGeometry {
    uint32_t fileSize = journal::kFileSize;
    uint32_t compactAbove = journal::kCompactAbove;
    uint32_t indexCapacity = JournalIndex::kDefaultCapacity;
};

class CFlashDatabase : public DbJournal {
public:
    static constexpr const char* kFile1 = "nv1.dat";
    static constexpr const char* kFile2 = "nv2.dat";
    static constexpr uint32_t kCountdownAfterCleaning = 360;
    static constexpr uint32_t kFeatureMonthlyCleanup = 0x400;  // brenSpecialFeatureSet bit
    static constexpr uint32_t kFeatureSetId = dbo::brenSpecialFeatureSet.id;
    static constexpr uint32_t kLocalTimeId = dbo::controllerLocalTime.id;  // volatile, seconds

    enum DefragState { kIdle = 0, kCopying = 1, kCleaning = 2 };

    // The system's journal: created on the first call, the same object afterwards.
    static CFlashDatabase* Instance(CDataBase* owner, JournalServices* services);

    CFlashDatabase(CDataBase* owner, JournalServices* services, FlashJournalGeometry geometry = {});
    CFlashDatabase(const CFlashDatabase&) = delete;
    CFlashDatabase& operator=(const CFlashDatabase&) = delete;

    bool CreateMutexes();
    // 1 when a committed journal was replayed into the NV image; 0 when the caller starts from
    // factory defaults (a fresh, uncommitted file is then active; commit it when they are in).
    int Load();
    // Writes the commit mark of the active file; the file system's result (0 success).
    int CommitActiveFile();

    // Record writers (DbJournal). Non-zero when the record was written.
    int WriteInt8(uint32_t id, uint8_t value, uint32_t* recordAddress) override;
    int WriteInt16(uint32_t id, uint16_t value, uint32_t* recordAddress) override;
    int WriteInt32(uint32_t id, uint32_t value, uint32_t* recordAddress) override;
    // Length 0 writes an empty-string record that retires the earlier ones. Above 1600 octets
    // nothing is written (0).
    int WriteString(uint32_t id, const uint8_t* text, uint16_t length,
                    uint32_t* recordAddress) override;
    // The same for lengths wider than 16 bits (refused above 1600 rather than wrapped).
    int WriteStringRecord(uint32_t id, const uint8_t* text, uint32_t length,
                          uint32_t* recordAddress);

    // Appends raw bytes at the first erased byte of the named file; true when written.
    bool write(const char* name, const uint8_t* bytes, uint32_t length, uint32_t* recordAddress,
               bool rescan);
    // Notes the newest record of an object in the active file (address 0: its current end).
    void IndexRecord(uint32_t id, uint32_t address);
    void ProcessDeletes();
    void StateMachine_Defrag();
    int UsagePercent();

    int FileExists(const char* name);
    int ValidateHeader(const char* name);
    void SelectFile(const char** name, const uint8_t** data);
    // Creates the file when absent and writes its header. When the flash lacks room for a new
    // file but its dead space would make it, the flash is reclaimed first: the defragmentation
    // restart is requested and nothing is created (RestartRequested).
    bool FFS_SDH(const journal::Header* previous, const char* name);
    // A journal file could not be created until the flash is reclaimed: the board is restarting.
    bool RestartRequested() const { return restartRequested_; }
    // Used length of a file: its size minus the run of erased bytes at its end.
    uint32_t FFS_FU(const char* name, bool mutexHeld);

    // The journal files were removed (commanded reset): nothing more is written, marked or
    // copied until the next Load.
    void Close();
    bool Closed() const { return closed_; }

    // State, for the database task, the panel and tests.
    const char* ActiveFile() const { return active_ < 0 ? nullptr : Name(active_); }
    uint32_t WritePosition(const char* name) const;
    int State() const { return state_; }
    uint32_t Countdown() const { return countdown_; }
    void SetCountdown(uint32_t steps) { countdown_ = steps; }
    // The next idle step starts a compaction whatever the fill level (tests, maintenance).
    void RequestCompaction() { compactionRequested_ = true; }
    const JournalIndex& Index() const { return index_; }
    const FlashJournalGeometry& Geometry() const { return geometry_; }

private:
    static const char* Name(int file) { return file == 0 ? kFile1 : kFile2; }
    static int FileNumber(const char* name);
    static uint8_t Tag(int file) { return static_cast<uint8_t>(file + 1); }

    int Append(uint32_t id, const uint8_t* record, size_t size, const char* what,
               const char* zeroTag, uint32_t* recordAddress);
    // Refreshes the cached data of a file; null when absent.
    const uint8_t* Refresh(int file);
    bool ActiveIntact();
    void RecomputePosition(int file);
    // Zeroes the bytes of an unfinished record; true when all of them were written.
    bool Seal(int file, uint32_t from, uint32_t end);
    void IndexIn(uint32_t id, uint32_t address, int file);
    // Notes that the file holds a record of the object; true when it already did.
    bool NoteWritten(int file, uint32_t id);
    // Marks deleted every live record in [header, end) of the file that `superseded` names.
    template <typename Superseded>
    void MarkScan(int file, uint32_t end, Superseded superseded, const char* failLine);
    void Replay(const uint8_t* data, uint32_t end);
    bool Recreate(const char* name, const char* failLine);
    void CopyToTarget();
    uint32_t DayOfMonth() const;

    CDataBase* owner_;
    JournalServices* services_;
    FlashJournalGeometry geometry_;

    int active_ = -1;  // 0 nv1.dat, 1 nv2.dat
    const uint8_t* data_[2] = {nullptr, nullptr};
    uint32_t size_[2] = {0, 0};
    uint32_t position_[2] = {0, 0};  // next write position = used length
    bool positionKnown_[2] = {false, false};
    bool firstWrite_ = true;
    bool rescan_ = false;
    bool closed_ = false;
    bool restartRequested_ = false;

    JournalIndex index_;
    JournalIndex pending_;
    // Objects with a record in each file (a full index skips the scan for an object's first).
    std::vector<bool> written_[2] = {std::vector<bool>(kNvImageSize),
                                     std::vector<bool>(kNvImageSize)};

    int usagePercent_ = 0;
    DefragState state_ = kIdle;
    uint32_t countdown_ = 6;
    int target_ = -1;
    uint32_t copyOffset_ = 0;  // where the copy's walk is
    uint32_t lastDay_ = 1;
    bool compactionRequested_ = false;
};

// UsagePercent of the system's journal (0 before it exists).
int db_flash_usage_percent();
