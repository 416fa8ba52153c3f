#pragma once
// The object database: two flat byte images (NV and volatile) read and written through typed
// accessors. Integers are 1, 2 or 4 bytes, big-endian, at their id; a string object is a 4-byte
// slot holding a handle to a block of the string pool. Writes are validated by a fixed rule set,
// written through to the journal (NV) and announced by change notices.
//
// Every access is checked against its image: an id whose bytes (id + width, 4 for strings) would
// leave the image reads as 0 / the empty string and is refused (5) on write.

#include <array>
#include <cstdint>
#include <memory>

#include "database/change_notification.h"
#include "database/db_journal.h"
#include "database/db_types.h"
#include "database/object_ids.h"
#include "database/string_pool.h"
#include "database/time_registers.h"

class CDataBase {
public:
    static constexpr uint32_t kFontSlots = 20;
    static constexpr uint32_t kMaxNvStringRead = 2000;

    // Both images zeroed, validation on, notification off, journal writing on; the string
    // objects live in the database's "dynamic database" pool (0x200000 bytes unless a test
    // asks for less).
    explicit CDataBase(uint32_t poolSize = StringPool::kDefaultSize);
    CDataBase(const CDataBase&) = delete;
    CDataBase& operator=(const CDataBase&) = delete;

    // Wiring (start-up): the journal, the receiver of notices, the globalTime registers (the
    // board's by default) and the product's critical-temperature bounds. Null leaves the
    // function out.
    void SetJournal(DbJournal* journal) { journal_ = journal; }
    void SetNotifySink(DbNotifySink* sink) { sink_ = sink; }
    void SetTimeRegisters(DbTimeRegisters* registers) { registers_ = registers; }
    void SetCriticalTempBounds(int (*lowest)(), int (*highest)()) {
        criticalTempMin_ = lowest;
        criticalTempMax_ = highest;
    }

    // Typed access.
    uint32_t GetInt(uint32_t id, uint32_t width, DbImage image, uint32_t unused = 0) const;
    DbResult SetInt(uint32_t id, uint32_t width, uint32_t value, DbImage image, uint32_t flags);
    // The text (NUL-terminated) and its length. The text is a copy owned by the calling thread
    // and stays valid until that thread's fourth GetString call after this one. "" and 0 when
    // absent, and for NV strings longer than 2000 bytes.
    const char* GetString(uint32_t id, uint32_t size, DbImage image, uint32_t* length) const;
    // Copies up to `capacity` bytes into `out` and returns the string's length (0 when absent or
    // refused as above); the copy is taken under the pool's lock.
    uint32_t ReadString(uint32_t id, DbImage image, void* out, uint32_t capacity) const;
    DbResult SetString(uint32_t id, uint32_t size, const void* text, uint32_t length, DbImage image,
                       uint32_t flags);
    // The stored length of a string object, also beyond what a read of the NV image returns
    // (0 when absent or out of range).
    uint32_t StoredStringLength(uint32_t id, DbImage image) const;

    // The same by catalogue entry (object_ids.h); `row` counts from 0. A row beyond the
    // object's rows reads as 0 / "" and is refused (5) on write.
    uint32_t Get(const DbObject& object, uint32_t row = 0) const;
    DbResult Set(const DbObject& object, uint32_t value, uint32_t flags, uint32_t row = 0);
    // What Set would answer to the value under its validation, without writing it.
    DbResult Check(const DbObject& object, uint32_t value, uint32_t row = 0);
    const char* GetText(const DbObject& object, uint32_t* length, uint32_t row = 0) const;
    DbResult SetText(const DbObject& object, const void* text, uint32_t length, uint32_t flags,
                     uint32_t row = 0);

    // globalTime in the battery-backed registers.
    uint32_t GetRegisterTime(uint32_t id, uint32_t width, DbImage image, uint32_t unused = 0) const;
    DbResult SetRegisterTime(uint32_t id, uint32_t width, uint32_t value, DbImage image,
                             uint32_t flags);

    // 1 when the NV id is a string object.
    static int IsStringObject(uint32_t id);

    // Posts the notices of a notified write (setters call it with the notify flag).
    void NotifyChange(uint32_t id, DbImage image, uint32_t kind);

    // DbControlFlags.
    uint32_t ControlFlags() const { return control_; }
    void SetJournalWriting(bool on);
    void SetNotificationEnabled(bool on);
    void SetValidationEnabled(bool on);
    bool JournalWriting() const { return (control_ & kDbControlJournalMask) != 0; }
    // Journal records refused so far (a full or failing flash): the value stands in RAM but would
    // not survive a restart.
    uint32_t JournalFailures() const { return journalFailures_; }
    // As seen by the calling thread (a bulk writer may suppress them for itself).
    bool NotificationActive() const;
    bool ValidationActive() const;

    StringPool& Pool() const { return *pool_; }
    // Moves the string objects to another pool (start-up: the kernel's "dynamic database" byte
    // pool, through KernelPoolAllocator). Only while no string is stored; false otherwise.
    bool UseStringPool(std::unique_ptr<StringPool> pool);
    DbJournal* Journal() const { return journal_; }

    // State the database task uses.
    uint8_t startupComplete = 0;
    uint8_t bootCounterCleared = 0;
    uint8_t initComplete = 0;
    std::array<uint32_t, kFontSlots> fontChangeCounters{};

private:
    uint8_t* ImageBytes(DbImage image);
    const uint8_t* ImageBytes(DbImage image) const;
    static bool InRange(uint32_t id, uint32_t width, DbImage image);
    static bool TouchesNvString(uint32_t id, uint32_t width);
    StringHandle SlotHandle(uint32_t id, DbImage image) const;
    uint32_t CopyFromSlot(uint32_t id, DbImage image, void* out, uint32_t capacity) const;
    void SetSlotHandle(uint32_t id, DbImage image, StringHandle handle);
    bool Journalled(DbImage image, uint32_t flags) const;
    bool Validating(uint32_t flags) const;
    void JournalInt(uint32_t id, uint32_t width, uint32_t value);
    void JournalString(uint32_t id, const uint8_t* bytes, uint32_t length);
    void NoteJournalResult(uint32_t id, bool written);

    DbResult ValidateInt(uint32_t id, uint32_t width, uint32_t value, DbImage image);
    DbResult ValidateString(uint32_t id, const uint8_t* text, uint32_t length, DbImage image);
    DbResult ValidateBrightnessTable(const uint8_t* text, uint32_t length);
    DbResult ValidateDaylightSaving(uint32_t value);
    DbResult ValidateDstBeginMonth(uint32_t value);
    DbResult ValidateStatusTransition(uint32_t id, uint32_t width, uint32_t value,
                                      DbImage image) const;

    std::unique_ptr<StringPool> pool_;
    DbJournal* journal_ = nullptr;
    DbNotifySink* sink_ = nullptr;
    DbTimeRegisters* registers_ = &BoardTimeRegisters::Instance();
    int (*criticalTempMin_)() = nullptr;
    int (*criticalTempMax_)() = nullptr;
    std::array<uint8_t, kNvImageSize> nv_{};
    std::array<uint8_t, kVolatileImageSize> volatile_{};
    uint32_t control_;
    uint32_t journalFailures_ = 0;
    // NV objects whose value in the image did not reach the journal: a later write of the same
    // value must still write its record, or it would be acknowledged and lost at the next start.
    std::array<bool, kNvImageSize> unjournalled_{};
};
