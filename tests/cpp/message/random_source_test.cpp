// The operating system's random source (getrandom with a per-thread pool on Linux,
// BCryptGenRandom on Windows, getentropy elsewhere): every size filled, and no two draws alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "message/random_source.hpp"

namespace dallowgate {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RandomSource : public ::testing::TestWithParam<std::size_t> {};

// Sizes around the pool's limit (256), the pool itself (4 KiB) and getentropy's chunk (256).
INSTANTIATE_TEST_SUITE_P(Sizes, RandomSource,
                         ::testing::Values(0, 1, 16, 255, 256, 257, 4080, 4096, 70000));

TEST_P(RandomSource, FillsEveryByteAndNeverRepeats) {
    const std::size_t size = GetParam();
    // Each byte of two independent fills differs somewhere unless the source is stuck; a
    // byte left unwritten (0xa5 from the start) would show in every one of many draws.
    Bytes first(size, 0xa5), second(size, 0xa5);
    ASSERT_EQ(fill_random(first), 0);
    ASSERT_EQ(fill_random(second), 0);
    if (size < 16) return;
    EXPECT_NE(first, second);
    std::vector<int> unchanged(size, 1);
    for (int draw = 0; draw < 8; ++draw) {
        Bytes bytes(size, 0xa5);
        ASSERT_EQ(fill_random(bytes), 0);
        for (std::size_t i = 0; i < size; ++i) unchanged[i] &= bytes[i] == 0xa5;
    }
    EXPECT_EQ(std::count(unchanged.begin(), unchanged.end(), 1), 0);
}

TEST(RandomSource, SmallDrawsAreAllDistinct) {
    std::set<Bytes> seen;
    for (int draw = 0; draw < 2000; ++draw) {
        Bytes bytes(16);
        ASSERT_EQ(fill_random(bytes), 0);
        EXPECT_TRUE(seen.insert(bytes).second) << "draw " << draw << " repeated an earlier one";
    }
}

}  // namespace
}  // namespace dallowgate
