#pragma once
// A byte ring of fixed size: writes into a full ring are dropped. High water is 75 % full, low
// water 25 % (integer arithmetic). A ring whose buffer could not be allocated (size 0 or above
// 65535, or no memory) refuses every operation.

#include <cstdint>

class CRingBuffer {
public:
    static constexpr uint32_t kMaxSize = 0xFFFF;

    explicit CRingBuffer(uint32_t size);
    virtual ~CRingBuffer();
    CRingBuffer(const CRingBuffer&) = delete;
    CRingBuffer& operator=(const CRingBuffer&) = delete;

    bool Valid() const { return buffer_ != nullptr; }
    // false when full (the byte is dropped) or invalid.
    bool Put(uint8_t byte);
    // false when empty or invalid.
    bool Get(uint8_t* byte);
    void Clear();

    uint16_t Count() const { return count_; }
    uint32_t Size() const { return size_; }
    uint32_t Free() const { return size_ - count_; }
    bool Empty() const { return count_ == 0; }
    bool Full() const { return count_ >= size_; }
    bool AtHighWater() const { return count_ >= size_ * 75 / 100; }
    bool AtLowWater() const { return count_ <= size_ * 25 / 100; }

private:
    uint16_t count_ = 0;
    uint16_t write_ = 0;
    uint16_t read_ = 0;
    uint8_t* buffer_ = nullptr;
    uint32_t size_ = 0;
};
