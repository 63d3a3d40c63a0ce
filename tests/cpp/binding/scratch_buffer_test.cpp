// The per-thread scratch buffer: what is kept, what is freed, and that threads don't share it.
#include <gtest/gtest.h>

#include <thread>

#include "binding/scratch_buffer.hpp"

namespace dallowgate {
namespace {

void reset_slot() {
    (void)take_scratch();
}

TEST(ScratchBuffer, StartsEmptyAndKeepsWhatIsGivenBack) {
    reset_slot();
    ByteBuffer first = take_scratch();
    EXPECT_EQ(first.capacity(), 0u);
    ASSERT_TRUE(first.resize_uninitialized(1000));
    std::uint8_t* storage = first.data();
    give_back_scratch(std::move(first));

    ByteBuffer second = take_scratch();
    EXPECT_EQ(second.size(), 0u);
    EXPECT_EQ(second.capacity(), 1000u);
    EXPECT_EQ(second.data(), storage);
    ASSERT_TRUE(second.resize_uninitialized(999));
    EXPECT_EQ(second.data(), storage) << "no allocation when the capacity suffices";
    give_back_scratch(std::move(second));
}

TEST(ScratchBuffer, KeepsExactlyTheLimitAndFreesMore) {
    for (std::size_t size : {SCRATCH_KEEP_LIMIT, SCRATCH_KEEP_LIMIT + 1}) {
        reset_slot();
        ByteBuffer buffer = take_scratch();
        ASSERT_TRUE(buffer.resize_uninitialized(size));
        give_back_scratch(std::move(buffer));
        EXPECT_EQ(take_scratch().capacity(), size == SCRATCH_KEEP_LIMIT ? size : 0u);
    }
}

TEST(ScratchBuffer, GivingBackReplacesWhatTheSlotHolds) {
    reset_slot();
    ByteBuffer small;
    ASSERT_TRUE(small.resize_uninitialized(10));
    give_back_scratch(std::move(small));
    ByteBuffer larger;
    ASSERT_TRUE(larger.resize_uninitialized(20));
    give_back_scratch(std::move(larger));
    EXPECT_EQ(take_scratch().capacity(), 20u);
}

TEST(ScratchBuffer, AFailedCallLeavesAnEmptySlot) {
    reset_slot();
    {
        ByteBuffer buffer = take_scratch();
        ASSERT_TRUE(buffer.resize_uninitialized(64));
        give_back_scratch(std::move(buffer));
    }
    {
        ByteBuffer taken = take_scratch();
    }  // the call failed: the buffer is dropped
    EXPECT_EQ(take_scratch().capacity(), 0u);
}

TEST(ScratchBuffer, EachThreadHasItsOwn) {
    reset_slot();
    ByteBuffer buffer = take_scratch();
    ASSERT_TRUE(buffer.resize_uninitialized(4096));
    give_back_scratch(std::move(buffer));
    std::size_t other_capacity = 1;
    std::thread([&] { other_capacity = take_scratch().capacity(); }).join();
    EXPECT_EQ(other_capacity, 0u);
    EXPECT_EQ(take_scratch().capacity(), 4096u);
}

}  // namespace
}  // namespace dallowgate
