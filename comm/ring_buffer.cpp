#include "comm/ring_buffer.h"

#include <new>

CRingBuffer::CRingBuffer(uint32_t size) {
    if (size == 0 || size > kMaxSize) {
        return;
    }
    buffer_ = new (std::nothrow) uint8_t[size];
    if (buffer_ != nullptr) {
        size_ = size;
    }
}

CRingBuffer::~CRingBuffer() {
    delete[] buffer_;
}

bool CRingBuffer::Put(uint8_t byte) {
    if (buffer_ == nullptr || count_ >= size_) {
        return false;
    }
    buffer_[write_] = byte;
    write_ = uint16_t(write_ + 1u == size_ ? 0 : write_ + 1);
    ++count_;
    return true;
}

bool CRingBuffer::Get(uint8_t* byte) {
    if (buffer_ == nullptr || count_ == 0) {
        return false;
    }
    *byte = buffer_[read_];
    read_ = uint16_t(read_ + 1u == size_ ? 0 : read_ + 1);
    --count_;
    return true;
}

void CRingBuffer::Clear() {
    count_ = write_ = read_ = 0;
}
