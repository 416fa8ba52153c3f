#include "database/data_base.h"

#include <cstring>

#include "database/object_ids.h"
#include "database/write_mode_scope.h"
#include "runtime/debug_print.h"

namespace {
// Status column of the message tables and where each column starts.
struct MessageColumns {
    uint32_t text, owner, crc, beacon, pixelService, priority, status, rows;
};
constexpr MessageColumns kNvMessages{25792, 28192, 30592, 31792, 32392, 32992, 33592, 600};
constexpr MessageColumns kVolatileMessages{28, 44, 60, 68, 72, 76, 80, 4};

constexpr uint32_t kDaylightSaving = dbo::globalDaylightSaving.id;
constexpr uint32_t kDstBeginMonth = dbo::dstBeginMonth.id;
constexpr uint32_t kDstRows = 10;
constexpr uint32_t kBrightnessValues = dbo::dmsIllumBrightnessValues.id;
constexpr uint32_t kBrightnessValuesError = dbo::dmsIllumBrightnessValuesError.id;
constexpr uint32_t kMaxPhotocellLevel = dbo::dmsIllumMaxPhotocellLevel.id;
constexpr uint32_t kShutOffTemp = dbo::brenShutOffTemp.id;
constexpr uint32_t kControlMode = dbo::dmsControlMode.id;
constexpr uint32_t kPeripheralStatusFirst = dbo::peripheralStatus.id;
constexpr uint32_t kPeripheralStatusLast = dbo::peripheralStatus.LastId();

// Flags of the writes a rule makes to other objects: notify, skip validation.
constexpr uint32_t kRuleWriteFlags = kDbNotify | kDbSkipValidation;

struct IdRange {
    uint32_t first, last;
};
constexpr IdRange kNvStringRanges[] = {
    {92, 168},      {5372, 25768},  {25792, 30588}, {34192, 34196}, {34208, 34212}, {34240, 34244},
    {34252, 34256}, {34264, 34268}, {34292, 35308}, {50240, 52156}, {98616, 98624}, {98632, 98632},
    {95808, 95824}, {96348, 97364}, {97368, 98384}, {98404, 98600}, {52760, 52996}, {53000, 53236},
    {77780, 94096}, {94180, 94240}, {48784, 48788}, {94264, 94660}, {35372, 35568}, {35924, 36120},
    {36176, 48772}, {95064, 95604},
};
constexpr uint32_t kNvStringIds[] = {34228, 34276, 34284, 94260, 68,    95676, 95624, 95748,
                                     95760, 95764, 95768, 95776, 98392, 95688, 95692};

// Status codes of the message tables.
constexpr uint32_t kModifying = 2;
constexpr uint32_t kValidating = 3;

// Row of a message-table column holding `id`, or -1.
int MessageRow(uint32_t id, uint32_t first, uint32_t width, uint32_t rows) {
    if (id < first || id > first + (rows - 1) * width) {
        return -1;
    }
    return static_cast<int>((id - first) / width);
}

uint32_t ReadBe(const uint8_t* p, uint32_t width) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i) {
        value = value << 8 | p[i];
    }
    return value;
}

void WriteBe(uint8_t* p, uint32_t width, uint32_t value) {
    for (uint32_t i = width; i-- > 0;) {
        p[i] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

// Each thread reading strings keeps a few copies so that two texts can be compared.
struct StringCopies {
    static constexpr unsigned kCount = 4;
    std::unique_ptr<char[]> buffer[kCount];
    uint32_t capacity[kCount] = {};
    unsigned next = 0;
};
thread_local StringCopies t_copies;

char* CopyBuffer(uint32_t size, unsigned slot) {
    if (t_copies.capacity[slot] < size) {
        uint32_t capacity = t_copies.capacity[slot] == 0 ? 256 : t_copies.capacity[slot];
        while (capacity < size) {
            capacity *= 2;
        }
        t_copies.buffer[slot] = std::make_unique<char[]>(capacity);
        t_copies.capacity[slot] = capacity;
    }
    return t_copies.buffer[slot].get();
}

char g_emptyText[1] = {0};
}  // namespace

CDataBase::CDataBase(uint32_t poolSize)
    : pool_(std::make_unique<StringPool>("dynamic database", poolSize)),
      control_(kDbControlJournalOn | kDbControlValidate) {}

bool CDataBase::UseStringPool(std::unique_ptr<StringPool> pool) {
    if (pool == nullptr || pool_->BlockCount() != 0) {
        return false;
    }
    pool_ = std::move(pool);
    return true;
}

uint8_t* CDataBase::ImageBytes(DbImage image) {
    return image == DbImage::kVolatile ? volatile_.data() : nv_.data();
}

const uint8_t* CDataBase::ImageBytes(DbImage image) const {
    return image == DbImage::kVolatile ? volatile_.data() : nv_.data();
}

bool CDataBase::InRange(uint32_t id, uint32_t width, DbImage image) {
    return image != DbImage::kNone &&
           static_cast<uint64_t>(id) + width <= static_cast<uint64_t>(ImageSize(image));
}

// An integer write that would overwrite (part of) an NV string slot would leave a stray handle.
bool CDataBase::TouchesNvString(uint32_t id, uint32_t width) {
    for (uint32_t slot = id & ~3u; slot < id + width; slot += 4) {
        if (IsStringObject(slot)) {
            return true;
        }
    }
    return false;
}

StringHandle CDataBase::SlotHandle(uint32_t id, DbImage image) const {
    return ReadBe(ImageBytes(image) + id, 4);
}

void CDataBase::SetSlotHandle(uint32_t id, DbImage image, StringHandle handle) {
    pool_->SetSlot(ImageBytes(image) + id, handle);
}

bool CDataBase::Journalled(DbImage image, uint32_t flags) const {
    return image != DbImage::kVolatile && (flags & kDbNoFlashWrite) == 0 && JournalWriting() &&
           journal_ != nullptr;
}

bool CDataBase::NotificationActive() const {
    return (control_ & kDbControlNotify) != 0 && (DbThreadSuppressed() & kDbSwapNotify) == 0;
}

bool CDataBase::ValidationActive() const {
    return (control_ & kDbControlValidate) != 0 && (DbThreadSuppressed() & kDbSwapValidate) == 0;
}

bool CDataBase::Validating(uint32_t flags) const {
    return (flags & kDbSkipValidation) == 0 && ValidationActive();
}

void CDataBase::SetJournalWriting(bool on) {
    control_ = (control_ & ~kDbControlJournalMask) | (on ? kDbControlJournalOn : 0);
}

void CDataBase::SetNotificationEnabled(bool on) {
    if (on) {
        control_ |= kDbControlNotify;
    } else {
        control_ &= ~kDbControlNotify;
    }
}

void CDataBase::SetValidationEnabled(bool on) {
    if (on) {
        control_ |= kDbControlValidate;
    } else {
        control_ &= ~kDbControlValidate;
    }
}

namespace {
// The map above as one bit per 4-byte slot of the NV image (every listed id is a multiple of 4).
class StringSlotMap {
public:
    StringSlotMap() {
        for (const IdRange& range : kNvStringRanges) {
            for (uint32_t id = range.first; id <= range.last; id += 4) {
                Mark(id);
            }
        }
        for (uint32_t id : kNvStringIds) {
            Mark(id);
        }
    }
    bool Has(uint32_t id) const {
        return id % 4 == 0 && id < kNvImageSize && (bits_[id / 32] >> (id / 4 % 8) & 1) != 0;
    }

private:
    void Mark(uint32_t id) { bits_[id / 32] |= static_cast<uint8_t>(1u << (id / 4 % 8)); }
    uint8_t bits_[kNvImageSize / 32 + 1] = {};
};

const StringSlotMap& StringSlots() {
    static const StringSlotMap map;
    return map;
}
}  // namespace

int CDataBase::IsStringObject(uint32_t id) {
    return StringSlots().Has(id) ? 1 : 0;
}

uint32_t CDataBase::GetInt(uint32_t id, uint32_t width, DbImage image, uint32_t) const {
    if (width != 1 && width != 2 && width != 4) {
        return 0;
    }
    if (!InRange(id, width, image)) {
        return 0;
    }
    return ReadBe(ImageBytes(image) + id, width);
}

DbResult CDataBase::SetInt(uint32_t id, uint32_t width, uint32_t value, DbImage image,
                           uint32_t flags) {
    if (image == DbImage::kNone || !InRange(id, width, image)) {
        return kDbGenError;
    }
    if (image != DbImage::kVolatile && TouchesNvString(id, width)) {
        return kDbGenError;
    }
    if (Validating(flags)) {
        const DbResult result = ValidateInt(id, width, value, image);
        if (result != kDbOk) {
            return result;
        }
    }
    const bool storable = width == 1 || width == 4 || (width == 2 && value <= 0xFFFF);
    if (storable) {
        if (width == 1) {
            value &= 0xFF;
        }
        uint8_t* p = ImageBytes(image) + id;
        if (ReadBe(p, width) == value) {
            if (Journalled(image, flags) && unjournalled_[id]) {
                JournalInt(id, width, value);
            }
            if (flags & kDbNotify) {
                NotifyChange(id, image, kNoticeUnchanged);
            }
            return kDbOk;
        }
        WriteBe(p, width, value);
        if (Journalled(image, flags)) {
            JournalInt(id, width, value);
        }
    }
    if (flags & kDbNotify) {
        NotifyChange(id, image, kNoticeChanged);
    }
    return kDbOk;
}

uint32_t CDataBase::CopyFromSlot(uint32_t id, DbImage image, void* out, uint32_t capacity) const {
    uint32_t length = 0;
    pool_->CopyOutSlot(ImageBytes(image) + id, out, capacity, &length);
    return length;
}

uint32_t CDataBase::StoredStringLength(uint32_t id, DbImage image) const {
    if (!InRange(id, 4, image)) {
        return 0;
    }
    uint8_t none = 0;
    return CopyFromSlot(id, image, &none, 0);
}

uint32_t CDataBase::ReadString(uint32_t id, DbImage image, void* out, uint32_t capacity) const {
    if (!InRange(id, 4, image)) {
        return 0;
    }
    if (image != DbImage::kVolatile) {
        // Copy one byte more than allowed so that an over-long string is recognised.
        uint8_t probe[kMaxNvStringRead + 1];
        const uint32_t length = CopyFromSlot(id, image, probe, sizeof probe);
        if (length > kMaxNvStringRead) {
            DebugPrintLevel1("DB Error! Dynamic Object Too Long!\n");
            return 0;
        }
        if (length != 0) {
            std::memcpy(out, probe, length < capacity ? length : capacity);
        }
        return length;
    }
    return CopyFromSlot(id, image, out, capacity);
}

const char* CDataBase::GetString(uint32_t id, uint32_t, DbImage image, uint32_t* length) const {
    if (length != nullptr) {
        *length = 0;
    }
    if (!InRange(id, 4, image)) {
        return g_emptyText;
    }
    const unsigned slot = t_copies.next;
    t_copies.next = (slot + 1) % StringCopies::kCount;
    uint32_t capacity = t_copies.capacity[slot] == 0 ? 256 : t_copies.capacity[slot];
    for (;;) {
        char* buffer = CopyBuffer(capacity, slot);
        const uint32_t n = ReadString(id, image, buffer, capacity - 1);
        if (n < capacity) {
            buffer[n] = 0;
            if (length != nullptr) {
                *length = n;
            }
            return n == 0 ? g_emptyText : buffer;
        }
        // The string is longer than the copy: grow and read again (it may have been replaced
        // meanwhile, so the second read decides).
        capacity = n + 1;
    }
}

// A failed record is reported by the journal and counted; the write stands, and the object is
// marked until a record of it is written.
void CDataBase::JournalInt(uint32_t id, uint32_t width, uint32_t value) {
    int written = 0;
    if (width == 1) {
        written = journal_->WriteInt8(id, static_cast<uint8_t>(value), nullptr);
    } else if (width == 2) {
        written = journal_->WriteInt16(id, static_cast<uint16_t>(value), nullptr);
    } else {
        written = journal_->WriteInt32(id, value, nullptr);
    }
    NoteJournalResult(id, written != 0);
}

void CDataBase::JournalString(uint32_t id, const uint8_t* bytes, uint32_t length) {
    // Lengths beyond 16 bits are handed over as 0xFFFF, which the journal does not record,
    // rather than wrapped to a short length (0 would retire the object's records).
    const uint16_t journalLength = length > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(length);
    NoteJournalResult(id, journal_->WriteString(id, bytes, journalLength, nullptr) != 0);
}

void CDataBase::NoteJournalResult(uint32_t id, bool written) {
    journalFailures_ += written ? 0 : 1;
    unjournalled_[id] = !written;
}

DbResult CDataBase::SetString(uint32_t id, uint32_t, const void* text, uint32_t length,
                              DbImage image, uint32_t flags) {
    if (image == DbImage::kNone || !InRange(id, 4, image)) {
        return kDbGenError;
    }
    if (text == nullptr && length != 0) {
        return kDbGenError;
    }
    // An NV string that the string map does not list could not be replayed from the journal.
    if (image != DbImage::kVolatile && !IsStringObject(id)) {
        return kDbGenError;
    }
    const auto* bytes = static_cast<const uint8_t*>(text);
    if (Validating(flags)) {
        const DbResult result = ValidateString(id, bytes, length, image);
        if (result != kDbOk) {
            DebugPrint("SetString invalid value\r\n");
            return result;
        }
    }
    const StringHandle old = SlotHandle(id, image);
    if (old != 0 && pool_->Equals(old, bytes, length)) {
        if (Journalled(image, flags) && unjournalled_[id]) {
            JournalString(id, bytes, length);
        }
        if (flags & kDbNotify) {
            NotifyChange(id, image, kNoticeUnchanged);
        }
        return kDbOk;
    }
    // A block of the same length is rewritten in place. Otherwise the new block is filled before
    // the slot is switched to it, so readers see the old or the new string; only when the pool
    // cannot hold both is the old block given back first.
    if (old == 0 || !pool_->Overwrite(old, bytes, length)) {
        StringHandle handle = 0;
        uint32_t status = 0;
        bool released = old == 0;
        if (length != 0) {
            status = pool_->Store(bytes, length, &handle);
            if (status != 0 && !released) {
                SetSlotHandle(id, image, 0);
                pool_->Release(old);
                released = true;
                status = pool_->Store(bytes, length, &handle);
            }
        }
        SetSlotHandle(id, image, handle);
        if (!released) {
            pool_->Release(old);
        }
        if (status != 0) {
            DebugPrintLevel1(image == DbImage::kVolatile
                                 ? "V Allocation Error:%d! Ptr:%08x, Size:%d\n"
                                 : "NV Allocation Error:%d! Ptr:%08x, Size:%d\n",
                             static_cast<int>(status), handle, static_cast<int>(length + 5));
            const StringPoolInfo info = pool_->Info();
            DebugPrintLevel1("Byte Pool Info for %s 0x%08x Avail %d Frag\n", info.name,
                             info.firstFree, static_cast<int>(info.available));
            return kDbGenError;
        }
    }
    if (Journalled(image, flags)) {
        JournalString(id, bytes, length);
    }
    if (flags & kDbNotify) {
        NotifyChange(id, image, kNoticeChanged);
    }
    return kDbOk;
}

uint32_t CDataBase::Get(const DbObject& object, uint32_t row) const {
    if (row >= object.rows || object.IsString()) {
        return 0;
    }
    return GetInt(object.Row(row), object.width, object.image);
}

DbResult CDataBase::Set(const DbObject& object, uint32_t value, uint32_t flags, uint32_t row) {
    if (row >= object.rows || object.IsString()) {
        return kDbGenError;
    }
    return SetInt(object.Row(row), object.width, value, object.image, flags);
}

DbResult CDataBase::Check(const DbObject& object, uint32_t value, uint32_t row) {
    if (row >= object.rows || object.IsString() ||
        !InRange(object.Row(row), object.width, object.image)) {
        return kDbGenError;
    }
    return Validating(0) ? ValidateInt(object.Row(row), object.width, value, object.image) : kDbOk;
}

const char* CDataBase::GetText(const DbObject& object, uint32_t* length, uint32_t row) const {
    if (row >= object.rows || !object.IsString()) {
        if (length != nullptr) {
            *length = 0;
        }
        return g_emptyText;
    }
    return GetString(object.Row(row), 4, object.image, length);
}

DbResult CDataBase::SetText(const DbObject& object, const void* text, uint32_t length,
                            uint32_t flags, uint32_t row) {
    if (row >= object.rows || !object.IsString()) {
        return kDbGenError;
    }
    return SetString(object.Row(row), 4, text, length, object.image, flags);
}

uint32_t CDataBase::GetRegisterTime(uint32_t, uint32_t width, DbImage image, uint32_t) const {
    if (image == DbImage::kNone || width != 4 || registers_ == nullptr) {
        return 0;
    }
    uint32_t value = 0;
    for (uint32_t address : kGlobalTimeRegisters) {
        value = value << 8 | registers_->Read(address);
    }
    return value;
}

DbResult CDataBase::SetRegisterTime(uint32_t id, uint32_t width, uint32_t value, DbImage image,
                                    uint32_t flags) {
    if (image == DbImage::kNone || width != 4) {
        return kDbGenError;
    }
    if (GetRegisterTime(id, width, image) == value) {
        if (flags & kDbNotify) {
            NotifyChange(id, image, kNoticeUnchanged);
        }
        return kDbOk;
    }
    if (registers_ != nullptr) {
        for (int i = 3; i >= 0; --i) {
            registers_->Write(kGlobalTimeRegisters[i],
                              static_cast<uint8_t>(value >> (8 * (3 - i))));
        }
    }
    if (flags & kDbNotify) {
        NotifyChange(id, image, kNoticeChanged);
    }
    return kDbOk;
}

void CDataBase::NotifyChange(uint32_t id, DbImage image, uint32_t kind) {
    if (image == DbImage::kNone || sink_ == nullptr || !NotificationActive()) {
        return;
    }
    PostChangeNotices(id, image, kind, *sink_);
}

// --- validation ---

DbResult CDataBase::ValidateStatusTransition(uint32_t id, uint32_t width, uint32_t value,
                                             DbImage image) const {
    uint32_t current = GetInt(id, width, image);
    if (current < 1 || current > 8) {
        current = 1;
    }
    bool accepted = false;
    switch (value) {
        case 1:
            accepted = current == 8;
            break;
        case 2:
            accepted = current == 6;
            break;
        case 3:
            accepted = current == 7;
            break;
        case 4:
        case 5:
            accepted = current == 3;
            break;
        case 6:
            accepted = current == 1 || current == 2 || current == 4 || current == 5;
            break;
        case 7:
            accepted = current == 2;
            break;
        case 8:
            accepted = current == 1 || current == 2 || current == 4 || current == 5 || current == 8;
            break;
        default:
            return kDbGenError;
    }
    return accepted ? kDbOk : kDbBadValue;
}

DbResult CDataBase::ValidateDaylightSaving(uint32_t value) {
    if (value == 1) {
        return kDbGenError;
    }
    if (value == 20) {
        // The table rule needs a real first row.
        return GetInt(kDstBeginMonth, 1, DbImage::kNv) > 13 ? kDbGenError : kDbOk;
    }
    const uint32_t month = value == 2 ? 14 : 15;
    for (uint32_t row = 0; row < kDstRows; ++row) {
        SetInt(kDstBeginMonth + row, 1, month, DbImage::kNv, kRuleWriteFlags);
    }
    return kDbOk;
}

DbResult CDataBase::ValidateDstBeginMonth(uint32_t value) {
    if (value == 15) {
        return kDbGenError;
    }
    SetInt(kDaylightSaving, 1, value == 14 ? 2 : 1, DbImage::kNv, kRuleWriteFlags);
    return kDbOk;
}

DbResult CDataBase::ValidateInt(uint32_t id, uint32_t width, uint32_t value, DbImage image) {
    const bool isVolatile = image == DbImage::kVolatile;
    const MessageColumns& m = isVolatile ? kVolatileMessages : kNvMessages;
    int row = MessageRow(id, m.crc, 2, m.rows);
    if (row >= 0) {
        const uint32_t status = GetInt(m.status + row, 1, image);
        return status == kModifying || status == kValidating ? kDbOk : kDbGenError;
    }
    for (uint32_t column : {m.beacon, m.pixelService, m.priority}) {
        row = MessageRow(id, column, 1, m.rows);
        if (row >= 0) {
            return GetInt(m.status + row, 1, image) == kModifying ? kDbOk : kDbGenError;
        }
    }
    if (MessageRow(id, m.status, 1, m.rows) >= 0) {
        if (isVolatile && (value < 1 || value > 8)) {
            DebugPrint("Vol MsgStatus9 error\n");
        }
        return ValidateStatusTransition(id, width, value, image);
    }
    if (isVolatile) {
        if (id >= kPeripheralStatusFirst && id <= kPeripheralStatusLast) {
            return value == 4 ? kDbBadValue : kDbOk;
        }
        if (id == kControlMode) {
            return GetInt(kControlMode, width, image) == 2 && value == 5 ? kDbOk : kDbBadValue;
        }
        return kDbOk;
    }
    if (id == kDaylightSaving) {
        return ValidateDaylightSaving(value);
    }
    if (id >= kDstBeginMonth && id < kDstBeginMonth + kDstRows) {
        return ValidateDstBeginMonth(value);
    }
    if (id == kShutOffTemp) {
        if (value == 0) {
            return kDbOk;
        }
        const int64_t lowest = criticalTempMin_ != nullptr ? criticalTempMin_() : 0;
        const int64_t highest = criticalTempMax_ != nullptr ? criticalTempMax_() : 0;
        const auto v = static_cast<int64_t>(value);
        return v >= lowest && v <= highest ? kDbOk : kDbBadValue;
    }
    return kDbOk;
}

DbResult CDataBase::ValidateBrightnessTable(const uint8_t* text, uint32_t length) {
    auto refuse = [this](uint32_t error) {
        SetInt(kBrightnessValuesError, 1, error, DbImage::kNv, kDbNotify);
        return kDbGenError;
    };
    const uint32_t count = length == 0 ? 0 : text[0];
    if (count == 0 || length != 6 * count + 1) {
        return refuse(6);
    }
    const uint32_t limit = GetInt(kMaxPhotocellLevel, 2, DbImage::kVolatile);
    auto level = [text](uint32_t entry, uint32_t octet) {
        const uint8_t* p = text + 1 + 6 * entry + octet;
        return static_cast<uint32_t>(p[0]) << 8 | p[1];
    };
    for (uint32_t entry = 0; entry < count; ++entry) {
        const uint32_t low = level(entry, 2);
        const uint32_t high = level(entry, 4);
        if (low > high || low > limit || high > limit) {
            return refuse(6);
        }
    }
    for (uint32_t entry = 1; entry < count; ++entry) {
        if (level(entry, 2) > level(entry - 1, 4) + 1) {
            return refuse(3);
        }
    }
    SetInt(kBrightnessValuesError, 1, 2, DbImage::kNv, kDbNotify);
    return kDbOk;
}

DbResult CDataBase::ValidateString(uint32_t id, const uint8_t* text, uint32_t length,
                                   DbImage image) {
    const bool isVolatile = image == DbImage::kVolatile;
    const MessageColumns& m = isVolatile ? kVolatileMessages : kNvMessages;
    int row = MessageRow(id, m.text, 4, m.rows);
    const char* error = "Vol MsgString error\n";
    if (row < 0) {
        row = MessageRow(id, m.owner, 4, m.rows);
        error = "Vol MsgOwner error\n";
    }
    if (row >= 0) {
        if (GetInt(m.status + row, 1, image) == kModifying) {
            return kDbOk;
        }
        if (isVolatile) {
            DebugPrint("%s", error);
        }
        return kDbGenError;
    }
    if (!isVolatile && id == kBrightnessValues) {
        return ValidateBrightnessTable(text, length);
    }
    return kDbOk;
}
