#include "ntcip/trap_buffer.h"

CTrapBuffer g_TrapBuffer;

namespace {

void CopyRecord(trap_record* to, const trap_record& from) {
    to->generic_trap = from.generic_trap;
    to->specific_trap = from.specific_trap;
    to->varbind_count =
        from.varbind_count > kTrapMaxVarbinds ? kTrapMaxVarbinds : from.varbind_count;
    for (uint32_t i = 0; i < to->varbind_count; ++i) {
        trap_record_copy_varbind(to, from, i);
    }
}

}  // namespace

CTrapBuffer::CTrapBuffer(trap_record* storage) : records_(storage != nullptr ? storage : own_) {}

void CTrapBuffer::Push(const trap_record& record) {
    trap_record& slot = records_[write_];
    CopyRecord(&slot, record);
    slot.expiry_time = record.expiry_time;
    write_ = (write_ + 1u) % kTrapBufferRecords;
    if (count_ < kTrapBufferRecords) {
        ++count_;
    }
    if (count_ == kTrapBufferRecords) {
        read_ = write_;  // full: the oldest is the next to be overwritten
    }
}

bool CTrapBuffer::Pop(trap_record* out) {
    if (count_ == 0) {
        return false;
    }
    CopyRecord(out, records_[read_]);
    read_ = (read_ + 1u) % kTrapBufferRecords;
    --count_;
    return true;
}

void CTrapBuffer::DiscardExpired(uint32_t now) {
    static trap_record scratch;
    while (count_ > 0 && records_[read_].expiry_time <= now) {
        Pop(&scratch);
    }
}
