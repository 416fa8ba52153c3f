#include "database/flash_database.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "database/data_base.h"
#include "database/impl_token.h"
#include "runtime/debug_print.h"

using journal::kHeaderSize;
using Lock = JournalServices::Lock;

namespace {
CFlashDatabase* g_journal = nullptr;

class LockScope {
public:
    LockScope(JournalServices* services, JournalServices::Lock lock)
        : services_(services), lock_(lock), held_(services->Take(lock)) {}
    ~LockScope() {
        if (held_) {
            services_->Give(lock_);
        }
    }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;
    bool Held() const { return held_; }

private:
    JournalServices* services_;
    JournalServices::Lock lock_;
    bool held_;
};
}  // namespace

CFlashDatabase* CFlashDatabase::Instance(CDataBase* owner, JournalServices* services) {
    if (g_journal == nullptr) {
        static CFlashDatabase journal(owner, services);
        g_journal = &journal;
    }
    return g_journal;
}

int db_flash_usage_percent() {
    return g_journal == nullptr ? 0 : g_journal->UsagePercent();
}

CFlashDatabase::CFlashDatabase(CDataBase* owner, JournalServices* services,
                               FlashJournalGeometry geometry)
    : owner_(owner),
      services_(services),
      geometry_(geometry),
      index_(geometry.indexCapacity),
      pending_(geometry.indexCapacity) {}

bool CFlashDatabase::CreateMutexes() {
    return services_->CreateLocks();
}

int CFlashDatabase::FileNumber(const char* name) {
    if (name == nullptr) {
        return -1;
    }
    if (std::strcmp(name, kFile1) == 0) {
        return 0;
    }
    return std::strcmp(name, kFile2) == 0 ? 1 : -1;
}

uint32_t CFlashDatabase::WritePosition(const char* name) const {
    const int file = FileNumber(name);
    return file < 0 ? 0 : position_[file];
}

const uint8_t* CFlashDatabase::Refresh(int file) {
    uint32_t size = 0;
    const uint8_t* data = services_->Stat(Name(file), &size);
    if (data != data_[file]) {
        positionKnown_[file] = false;
    }
    data_[file] = data;
    size_[file] = data != nullptr ? size : 0;
    return data;
}

int CFlashDatabase::FileExists(const char* name) {
    const int file = FileNumber(name);
    if (file >= 0) {
        return Refresh(file) != nullptr ? 1 : 0;
    }
    return services_->Stat(name, nullptr) != nullptr ? 1 : 0;
}

int CFlashDatabase::ValidateHeader(const char* name) {
    uint32_t size = 0;
    const uint8_t* data = name != nullptr ? services_->Stat(name, &size) : nullptr;
    return data != nullptr && journal::HeaderValid(data, size) ? 1 : 0;
}

uint32_t CFlashDatabase::FFS_FU(const char* name, bool) {
    uint32_t size = 0;
    const uint8_t* data = name != nullptr ? services_->Stat(name, &size) : nullptr;
    return data == nullptr ? 0 : journal::UsedEnd(data, 0, size);
}

void CFlashDatabase::RecomputePosition(int file) {
    if (data_[file] == nullptr) {
        positionKnown_[file] = false;
        position_[file] = 0;
        return;
    }
    const uint8_t* data = data_[file];
    const uint32_t used = journal::UsedEnd(data, 0, size_[file]);
    uint32_t position = used;
    if (used > kHeaderSize) {
        // Past the whole length of an unfinished record at the end (one that could not be
        // sealed), so that no record is ever written inside it.
        const uint32_t torn = journal::TornTail(data, kHeaderSize, used);
        if (torn < used) {
            const uint32_t nominal = journal::NominalEnd(data, size_[file], torn);
            position = std::min(size_[file], std::max(used, nominal));
        }
    }
    position_[file] = position;
    positionKnown_[file] = true;
}

bool CFlashDatabase::Seal(int file, uint32_t from, uint32_t end) {
    static const uint8_t kZeros[journal::kMaxRecordSize] = {};
    if (end <= from || end - from > sizeof kZeros) {
        return false;
    }
    // Payload first, then the length, the marker last: until the marker is gone the rest still
    // reads as an unfinished record, so a cut during the sealing is sealed again at the next start.
    const uint32_t lengthEnd = std::min(end, from + 3);
    if (end > lengthEnd && services_->Ipmod(Name(file), kZeros, lengthEnd, end - lengthEnd) != 0) {
        return false;
    }
    if (lengthEnd > from + 1 &&
        services_->Ipmod(Name(file), kZeros, from + 1, lengthEnd - from - 1) != 0) {
        return false;
    }
    return services_->Ipmod(Name(file), kZeros, from, 1) == 0;
}

bool CFlashDatabase::write(const char* name, const uint8_t* bytes, uint32_t length,
                           uint32_t* recordAddress, bool rescan) {
    if (name == nullptr || bytes == nullptr || recordAddress == nullptr) {
        return false;
    }
    const int file = FileNumber(name);
    if (file < 0) {
        return false;
    }
    const uint8_t* data = Refresh(file);
    if (firstWrite_ || rescan_) {
        firstWrite_ = false;
        rescan_ = false;
        Refresh(1 - file);
        RecomputePosition(0);
        RecomputePosition(1);
    } else if (rescan || !positionKnown_[file]) {
        RecomputePosition(file);
    }
    if (data == nullptr || !positionKnown_[file]) {
        return false;
    }
    const uint32_t position = position_[file];
    if (length > size_[file] || position > size_[file] - length) {
        return false;  // does not fit
    }
    *recordAddress = position;
    const int result = services_->Ipmod(name, bytes, position, length);
    if (result != 0) {
        DebugPrint("%s,0x%08X,0x%08X - 0x%08X = %d,%d\n", name, 0u, position, 0u,
                   static_cast<int>(position), static_cast<int>(length));
        DebugPrint("CDatabase::write: mon_tfsipmod failed:%d\n", result);
        // What reached the flash is sealed (zeroed), and the next record follows it: no erased
        // gap, and no later record can complete the broken one or hide inside its length.
        const uint32_t programmed = journal::UsedEnd(data, position, position + length);
        position_[file] = programmed;
        if (programmed > position && !Seal(file, position, programmed)) {
            const uint32_t nominal = journal::NominalEnd(data, size_[file], position);
            position_[file] = std::min(size_[file], std::max(position + length, nominal));
        }
        return false;
    }
    position_[file] = position + length;
    return true;
}

bool CFlashDatabase::ActiveIntact() {
    if (closed_ || active_ < 0) {
        return false;
    }
    const uint8_t* cached = data_[active_];
    if (cached == nullptr || services_->Stat(Name(active_), nullptr) != cached) {
        Close();
        return false;
    }
    return true;
}

void CFlashDatabase::Close() {
    if (!closed_) {
        DebugPrint("CDB::journal files removed, journal closed\n");
    }
    closed_ = true;
    LockScope lock(services_, Lock::kDelete);
    index_.Clear();
}

int CFlashDatabase::Append(uint32_t id, const uint8_t* record, size_t size, const char* what,
                           const char* zeroTag, uint32_t* recordAddress) {
    LockScope lock(services_, Lock::kFlash);
    if (!lock.Held() && owner_ != nullptr && owner_->startupComplete != 0) {
        DebugPrint("CD::%s: tx_mutex_get failed\n", what);
        return 0;
    }
    if (!ActiveIntact()) {
        return 0;
    }
    uint32_t address = 0;
    const int file = active_;
    const bool written = write(Name(file), record, static_cast<uint32_t>(size), &address, false);
    const uint8_t* data = data_[file];
    if (written && data != nullptr && journal::ReadBe16(data + address + 1) == 0) {
        DebugPrint("%s: zero length error,%d,%d", zeroTag, written ? 1 : 0,
                   static_cast<int>(size) - 4);
    }
    if (!written) {
        return 0;
    }
    // Indexed before the lock is given back, so a compaction's switch-over (which holds it) never
    // meets a record of the old file whose entry is still to come.
    IndexIn(id, address, file);
    if (recordAddress != nullptr) {
        *recordAddress = address;
    }
    return 1;
}

int CFlashDatabase::WriteInt8(uint32_t id, uint8_t value, uint32_t* recordAddress) {
    uint8_t record[16];
    const size_t size = journal::BuildIntRecord(id, 1, value, record, sizeof record);
    return Append(id, record, size, "INT8", "FWB", recordAddress);
}

int CFlashDatabase::WriteInt16(uint32_t id, uint16_t value, uint32_t* recordAddress) {
    uint8_t record[16];
    const size_t size = journal::BuildIntRecord(id, 2, value, record, sizeof record);
    return Append(id, record, size, "INT16", "FWW", recordAddress);
}

int CFlashDatabase::WriteInt32(uint32_t id, uint32_t value, uint32_t* recordAddress) {
    uint8_t record[16];
    const size_t size = journal::BuildIntRecord(id, 4, value, record, sizeof record);
    return Append(id, record, size, "INT32", "FWI", recordAddress);
}

int CFlashDatabase::WriteString(uint32_t id, const uint8_t* text, uint16_t length,
                                uint32_t* recordAddress) {
    return WriteStringRecord(id, text, length, recordAddress);
}

int CFlashDatabase::WriteStringRecord(uint32_t id, const uint8_t* text, uint32_t length,
                                      uint32_t* recordAddress) {
    if (length > journal::kMaxStringLength || (text == nullptr && length != 0)) {
        return 0;
    }
    uint8_t record[journal::kMaxStringLength + 16];
    const size_t size = journal::BuildStringRecord(id, text, length, record, sizeof record);
    return Append(id, record, size, "STRING", "FWS", recordAddress);
}

void CFlashDatabase::IndexRecord(uint32_t id, uint32_t address) {
    if (active_ < 0 || closed_) {
        return;
    }
    if (address == 0) {
        address = positionKnown_[active_] ? position_[active_] : FFS_FU(Name(active_), false);
    }
    IndexIn(id, address, active_);
}

bool CFlashDatabase::NoteWritten(int file, uint32_t id) {
    if (id >= written_[file].size()) {
        return true;
    }
    const bool before = written_[file][id];
    written_[file][id] = true;
    return before;
}

void CFlashDatabase::IndexIn(uint32_t id, uint32_t address, int file) {
    LockScope lock(services_, Lock::kDelete);
    const bool earlier = NoteWritten(file, id);
    if (index_.Record(id, address, Tag(file)) != JournalIndex::Put::kFull) {
        return;
    }
    // No room: retire the object's older records at once (an object's first record has none).
    const bool copies = state_ == kCopying && target_ >= 0 && data_[target_] != nullptr &&
                        (id >= written_[target_].size() || written_[target_][id]);
    if (file == active_ && !closed_ && (earlier || copies)) {
        MarkScan(
            file, address,
            [id, address](const journal::RecordFrame& frame) {
                return frame.id == id && frame.offset < address;
            },
            "CDatabase::delete_obj: mon_tfsipmod failed:%d\n");
        if (copies) {
            // The copies the new file holds so far are older than this record too.
            MarkScan(
                target_, position_[target_],
                [id](const journal::RecordFrame& frame) { return frame.id == id; },
                "CDatabase::delete_obj: mon_tfsipmod failed:%d\n");
        }
    }
}

template <typename Superseded>
void CFlashDatabase::MarkScan(int file, uint32_t end, Superseded superseded, const char* failLine) {
    const uint8_t* data = data_[file];
    if (data == nullptr || end > size_[file]) {
        return;
    }
    if (end >= kHeaderSize && data[0] == journal::kCommitted && data[1] != 0) {
        DebugPrint("invalid header rev\n");
    }
    static const uint8_t kMark = journal::kDeleted;
    journal::RecordFrame frame;
    uint32_t offset = kHeaderSize;
    while (offset < end) {
        // The replay's own acceptance test: a torn record never frames a live one.
        if (!journal::AcceptRecord(data, end, offset, &frame)) {
            ++offset;
            continue;
        }
        if (frame.live && superseded(frame)) {
            const int result = services_->Ipmod(Name(file), &kMark, offset, 1);
            if (result != 0) {
                DebugPrint("%s,0x%08X,0x%08X - 0x%08X = %d,%d\n", Name(file), 0u, offset, 0u,
                           static_cast<int>(offset), 1);
                DebugPrint(failLine, result);
            }
        }
        offset += frame.Size();
    }
}

void CFlashDatabase::ProcessDeletes() {
    if (active_ < 0 || closed_) {
        return;
    }
    const unsigned previous = services_->SetPriority(0);
    {
        LockScope lock(services_, Lock::kDelete);
        index_.MoveTo(pending_);
        if (state_ == kCopying && target_ >= 0) {
            // While a copy runs, entries of records already copied, and of records the copy has
            // still to reach, stay for the pass after the switch-over: that pass retires the
            // older copies the new file received.
            for (const JournalIndex::Entry& entry : pending_.Entries()) {
                if (entry.file == Tag(target_) ||
                    (entry.file == Tag(active_) && entry.address >= copyOffset_)) {
                    index_.Record(entry.id, entry.address, entry.file);
                }
            }
        }
    }
    services_->SetPriority(previous);
    if (pending_.Count() == 0) {
        return;
    }
    DebugPrintLevel1("CDB::Deleting:%d\n", static_cast<int>(pending_.Count()));
    const int file = active_;
    const uint8_t tag = Tag(file);
    const JournalIndex& pending = pending_;
    if (ActiveIntact()) {
        MarkScan(
            file, position_[file],
            [&pending, tag](const journal::RecordFrame& frame) {
                const JournalIndex::Entry* entry = pending.Find(frame.id);
                return entry != nullptr && entry->file == tag && entry->address > frame.offset;
            },
            "CDatabase::delete_obj's: mon_tfsipmod failed:%d\n");
    }
    pending_.Clear();
    DebugPrintLevel1("CDB::Delete Complete\n");
}

int CFlashDatabase::UsagePercent() {
    if (active_ >= 0) {
        uint32_t used = positionKnown_[active_] ? position_[active_] : 0;
        if (used == 0 && usagePercent_ == 0) {
            used = FFS_FU(Name(active_), false);
        }
        if (used != 0 && geometry_.fileSize != 0) {
            usagePercent_ = static_cast<int>(uint64_t{used} * 100 / geometry_.fileSize);
        }
    }
    return usagePercent_;
}

void CFlashDatabase::SelectFile(const char** name, const uint8_t** data) {
    journal::Header header[2];
    bool valid[2];
    for (int file = 0; file < 2; ++file) {
        const uint8_t* bytes = Refresh(file);
        valid[file] = bytes != nullptr && journal::HeaderValid(bytes, size_[file]) &&
                      journal::ParseHeader(bytes, size_[file], &header[file]);
    }
    int chosen = 0;
    if (valid[0] && valid[1]) {
        // The higher number is an unfinished copy.
        chosen = header[1].sequence < header[0].sequence ? 1 : 0;
        services_->Unlink(Name(1 - chosen));
        Refresh(1 - chosen);
    } else if (valid[1]) {
        chosen = 1;
    }
    if (name != nullptr) {
        *name = Name(chosen);
    }
    if (data != nullptr) {
        *data = data_[chosen];
    }
}

bool CFlashDatabase::FFS_SDH(const journal::Header* previous, const char* name) {
    if (name == nullptr) {
        DebugPrint("CDatabase::FFS_SDH: null ptr\n");
        return false;
    }
    const int file = FileNumber(name);
    if (file < 0) {
        return false;
    }
    uint8_t header[kHeaderSize];
    journal::BuildHeader(previous, kNvImageSize, header);
    if (services_->Stat(name, nullptr) == nullptr) {
        const long needed = static_cast<long>(geometry_.fileSize);
        const long available = services_->Available();
        if (available < needed) {
            // Only when packing makes room: on a full flash the restart would come back to the
            // same request at every start. The file is made after the restart, in the space
            // the packing freed, rather than never.
            const long dead = services_->DeadSpace();
            if (dead > 0 && available >= 0 && dead >= needed - available) {
                restartRequested_ = true;
                services_->RequestDefragRestart();
                return false;
            }
        }
        services_->Add(name, geometry_.fileSize);
    }
    Refresh(file);
    uint32_t address = 0;
    const bool written = write(name, header, kHeaderSize, &address, true);
    if (!written || address != 0) {
        DebugPrint("CDatabase::FFS_SDH: failed to save header\n");
        return false;
    }
    return true;
}

bool CFlashDatabase::Recreate(const char* name, const char* failLine) {
    services_->Unlink(name);
    DebugPrint("\tCreating %s\n", name);
    const bool saved = FFS_SDH(nullptr, name);
    if (!saved) {
        DebugPrint("%s", failLine);
    }
    return saved;
}

int CFlashDatabase::Load() {
    DebugPrint(" - Find Flash DB File\t\t\t\t\t");
    closed_ = false;
    state_ = kIdle;
    target_ = -1;
    {
        LockScope lock(services_, Lock::kDelete);
        index_.Clear();
        written_[0].assign(kNvImageSize, false);
        written_[1].assign(kNvImageSize, false);
    }
    for (int file = 0; file < 2; ++file) {
        const uint8_t* bytes = Refresh(file);
        if (bytes != nullptr && !journal::HeaderValid(bytes, size_[file])) {
            services_->Unlink(Name(file));
            Refresh(file);
        }
    }
    const char* name = nullptr;
    const uint8_t* data = nullptr;
    SelectFile(&name, &data);
    active_ = FileNumber(name);
    firstWrite_ = false;
    rescan_ = false;
    if (data == nullptr) {
        DebugPrint("[FAIL]\n");
        DebugPrint("\tCreating %s\n", name);
        if (!FFS_SDH(nullptr, name) && !restartRequested_) {
            DebugPrint("\tfailed saving header 1st boot\n");
            services_->Unlink(name);
            if (!FFS_SDH(nullptr, name)) {
                DebugPrint("\tfailed saving header 1st boot retry\n");
            }
        }
        Refresh(0);
        Refresh(1);
        RecomputePosition(0);
        RecomputePosition(1);
        return 0;
    }
    DebugPrint("[ OK ]\n");
    DebugPrint(" - Loading off %s\t\t\t\t\t", name);
    journal::Header header;
    journal::ParseHeader(data, size_[active_], &header);
    const char* failLine = nullptr;
    if (header.headerRevision != 0) {
        DebugPrint("[FAIL]\n");
        DebugPrint("\tinvalid header rev:%d\n", header.headerRevision);
        failLine = "\tfailed saving header,1\n";
    } else if (header.databaseRevision != 0) {
        DebugPrint("[FAIL]\n");
        DebugPrint("\tinvalid database revision:%d\n", header.databaseRevision);
        failLine = "\tfailed saving header,2\n";
    } else if (header.imageSize != kNvImageSize) {
        DebugPrint("[FAIL]\n");
        DebugPrint("\tdatabase size changed\n");
        failLine = "\tfailed saving header,3\n";
    }
    if (failLine != nullptr) {
        Recreate(name, failLine);
        Refresh(active_);
        RecomputePosition(0);
        RecomputePosition(1);
        return 0;
    }
    RecomputePosition(0);
    RecomputePosition(1);
    // A record that a power cut left unfinished is not replayed (not even record images inside
    // the part that was written) and is sealed before anything is appended.
    const uint32_t used = journal::UsedEnd(data, 0, size_[active_]);
    const uint32_t torn = used > kHeaderSize ? journal::TornTail(data, kHeaderSize, used) : used;
    if (torn < used && Seal(active_, torn, used)) {
        DebugPrintLevel1("CDB::sealed unfinished record at %u\n", torn);
        position_[active_] = used;
    }
    Replay(data, torn);
    DebugPrint("[ OK ]\n");
    return 1;
}

void CFlashDatabase::Replay(const uint8_t* data, uint32_t end) {
    if (owner_ == nullptr || end <= kHeaderSize) {
        return;
    }
    impl_token::iterator records;
    if (!records.Begin(data + kHeaderSize, end - kHeaderSize)) {
        return;
    }
    // Objects met twice have superseded records that a deletion pass never marked (power went
    // first): their newest record goes into the index so the next pass retires the older ones.
    impl_token token;
    while (records.Next(&token) != 0) {
        if (token.id >= kNvImageSize) {
            continue;  // not an object of the image
        }
        if (NoteWritten(active_, token.id)) {
            index_.Record(token.id, token.offset + kHeaderSize, Tag(active_));
        }
        if (CDataBase::IsStringObject(token.id) != 0) {
            if (DecodeRecordValue(&token, impl_token::kString) && token.id <= kNvImageSize - 4) {
                owner_->SetString(token.id, 4, token.text, token.textLength, DbImage::kNv,
                                  kDbReplayFlags);
            }
            continue;
        }
        const impl_token::Kind kind = token.length == 7    ? impl_token::kInt8
                                      : token.length == 8  ? impl_token::kInt16
                                      : token.length == 10 ? impl_token::kInt32
                                                           : impl_token::kString;
        if (kind == impl_token::kString || !DecodeRecordValue(&token, kind)) {
            continue;
        }
        const uint32_t width = token.length - 6u;
        if (token.id > kNvImageSize - width) {
            continue;
        }
        owner_->SetInt(token.id, width, token.value, DbImage::kNv, kDbReplayFlags);
    }
    records.End();
}

int CFlashDatabase::CommitActiveFile() {
    if (active_ < 0) {
        return -1;
    }
    static const uint8_t kMark = journal::kCommitted;
    return services_->Ipmod(Name(active_), &kMark, 0, 1);
}

uint32_t CFlashDatabase::DayOfMonth() const {
    if (owner_ == nullptr) {
        return 0;
    }
    const uint32_t seconds = owner_->GetInt(kLocalTimeId, 4, DbImage::kVolatile);
    // Civil date from days since 1970-01-01.
    int64_t z = seconds / 86400 + 719468;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    return static_cast<uint32_t>(doy - (153 * mp + 2) / 5 + 1);
}

void CFlashDatabase::StateMachine_Defrag() {
    switch (state_) {
        case kIdle: {
            if (countdown_ != 0) {
                --countdown_;
                return;
            }
            if (!ActiveIntact()) {
                return;
            }
            if (!positionKnown_[active_]) {
                const unsigned previous = services_->SetPriority(0);
                RecomputePosition(active_);
                services_->SetPriority(previous);
            }
            const uint32_t used = position_[active_];
            bool start = false;
            if (owner_ != nullptr &&
                (owner_->GetInt(kFeatureSetId, 4, DbImage::kNv) & kFeatureMonthlyCleanup) != 0) {
                const uint32_t day = DayOfMonth();
                if (day == 1 && lastDay_ != 1) {
                    DebugPrint("kick off scheduled cleanup event\n");
                    start = true;
                }
                lastDay_ = day;
            }
            if (used > geometry_.compactAbove || compactionRequested_) {
                start = true;
            }
            compactionRequested_ = false;
            if (!start) {
                return;
            }
            const int target = 1 - active_;
            if (Refresh(target) != nullptr) {
                services_->Unlink(Name(target));  // a copy left by a failed attempt
                Refresh(target);
            }
            journal::Header header;
            journal::ParseHeader(data_[active_], size_[active_], &header);
            if (!FFS_SDH(&header, Name(target))) {
                DebugPrint("failed to create header unlinking %s\n", Name(target));
                services_->Unlink(Name(target));
                Refresh(target);
                return;
            }
            written_[target].assign(kNvImageSize, false);
            target_ = target;
            state_ = kCopying;
            return;
        }
        case kCopying:
            CopyToTarget();
            state_ = kCleaning;
            return;
        case kCleaning:
            DebugPrint("CDatabase::StateMachine_Defrag: cleaning\n");
            if (active_ >= 0 && position_[active_] > geometry_.compactAbove) {
                countdown_ = kCountdownAfterCleaning;
            }
            rescan_ = true;
            state_ = kIdle;
            return;
    }
}

namespace {
constexpr uint32_t kRecordsPerCopyTick = 32;
}  // namespace

void CFlashDatabase::CopyToTarget() {
    DebugPrint("CDatabase::StateMachine_Defrag: copying\n");
    const unsigned previous = services_->SetPriority(2);
    const int source = active_;
    const int target = target_;
    bool failed = false;
    bool holding = false;
    bool lockTaken = false;
    uint32_t copied = 0;
    if (source < 0 || target < 0 || !ActiveIntact() || Refresh(target) == nullptr) {
        failed = true;
    }
    const uint8_t* data = source >= 0 ? data_[source] : nullptr;
    uint32_t seen = source >= 0 ? position_[source] : 0;
    uint32_t offset = kHeaderSize;
    int catchUps = 0;
    journal::RecordFrame frame;
    while (!failed) {
        while (offset < seen) {
            if (!holding && index_.Count() + 50 > geometry_.indexCapacity) {
                ProcessDeletes();
            }
            copyOffset_ = offset;
            if (!journal::AcceptRecord(data, seen, offset, &frame)) {
                ++offset;
                continue;
            }
            if (frame.live) {
                uint32_t address = 0;
                if (!write(Name(target), data + offset, frame.Size(), &address, false)) {
                    DebugPrint("CDB::SM_D flash error\n");
                    failed = true;
                    break;
                }
                ++copied;
                {
                    // The newest record of an object moves with the copy.
                    LockScope lock(services_, Lock::kDelete);
                    NoteWritten(target, frame.id);
                    JournalIndex::Entry* entry = index_.Find(frame.id);
                    if (entry != nullptr && entry->file == Tag(source) &&
                        entry->address == offset) {
                        entry->address = address;
                        entry->file = Tag(target);
                    }
                }
                // A tick for the other tasks every few records: a tick per record made a
                // compaction of a busy journal take longer than the appends need to fill it.
                if (!holding && copied % kRecordsPerCopyTick == 1) {
                    services_->Sleep(1);
                }
            }
            offset += frame.Size();
        }
        if (failed || holding) {
            break;
        }
        // Caught up with what was seen: look again under the append lock (which, like the
        // appends, goes without it before the tasks run).
        const bool taken = services_->Take(Lock::kFlash);
        if (!taken && owner_ != nullptr && owner_->startupComplete != 0) {
            failed = true;
            break;
        }
        holding = true;
        lockTaken = taken;
        if (closed_ || !ActiveIntact()) {
            failed = true;
            break;
        }
        const uint32_t now = position_[source];
        if (offset >= now) {
            break;
        }
        seen = now;
        if (++catchUps < 10) {
            if (lockTaken) {
                services_->Give(Lock::kFlash);
            }
            holding = false;
            ProcessDeletes();
        }
    }
    const bool intact = !closed_ && ActiveIntact() && target >= 0 &&
                        services_->Stat(Name(target), nullptr) == data_[target] &&
                        data_[target] != nullptr;
    if (failed || copied == 0 || !intact) {
        DebugPrint("copying failed\n");
        if (target >= 0) {
            services_->Unlink(Name(target));
            Refresh(target);
        }
    } else {
        // The copy is verbatim and complete: switch files, positions and index; the image in
        // RAM already holds every value, including those stored during the copy.
        services_->Unlink(Name(source));
        Refresh(source);
        {
            LockScope lock(services_, Lock::kDelete);
            index_.KeepFile(Tag(target));
            written_[source].assign(kNvImageSize, false);
        }
        active_ = target;
        usagePercent_ = 0;
    }
    target_ = -1;
    if (holding && lockTaken) {
        services_->Give(Lock::kFlash);
    }
    services_->SetPriority(previous);
}
