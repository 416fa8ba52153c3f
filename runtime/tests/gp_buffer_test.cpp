// General-purpose buffers count their blocks as they are allocated and freed.
#include "runtime/gp_buffer.h"

#include <gtest/gtest.h>

#include "runtime/tests/kernel_fixture.h"

namespace {

class GpBufferTest : public testing_support::KernelTest {};

TEST_F(GpBufferTest, AllocAndFreeCountBlocks) {
    CGPBuffer buffer;
    void* block = nullptr;
    EXPECT_FALSE(buffer.Alloc(&block, 16)) << "not created";
    uint8_t* start = nullptr;
    uint8_t* next = nullptr;
    Boot([&](uint8_t* memory) {
        next = start = memory;
        EXPECT_TRUE(buffer.Create(&next, 0x10000));
        EXPECT_FALSE(buffer.Create(&next, 0x10000)) << "created once";
    });
    EXPECT_EQ(next, start + 0x10000);
    EXPECT_EQ(buffer.GetState(), CGPBuffer::kReady);
    void* first = nullptr;
    void* second = nullptr;
    void* tooBig = nullptr;
    InThread([&] {
        EXPECT_TRUE(buffer.Alloc(&first, 0x4000));
        EXPECT_TRUE(buffer.Alloc(&second, 0x4000));
        EXPECT_FALSE(buffer.Alloc(&tooBig, 0x20000)) << "no block of that size";
    });
    EXPECT_EQ(buffer.Outstanding(), 2u);
    int outside = 0;
    InThread([&] {
        EXPECT_FALSE(buffer.Free(nullptr));
        EXPECT_FALSE(buffer.Free(&outside)) << "not a block of this pool";
        EXPECT_TRUE(buffer.Free(first));
    });
    EXPECT_EQ(buffer.Outstanding(), 1u);
    InThread([&] { EXPECT_TRUE(buffer.Free(second)); });
    EXPECT_EQ(buffer.Outstanding(), 0u);
    Shutdown();
}

}  // namespace
