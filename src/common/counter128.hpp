// The 128-bit counter of CTR as two 64-bit halves, high:low: its big-endian counter block and
// its advance modulo 2**128.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/byte_order.hpp"

namespace dallowgate {

// Whether the low half wraps among the n counter values low .. low + n - 1 (n >= 1).
constexpr bool low_half_wraps(std::uint64_t low, std::uint64_t n) {
    return low > ~std::uint64_t{0} - (n - 1);
}

// The 16-byte big-endian counter block of the 128-bit value high:low.
inline void store_counter_block(std::uint64_t high, std::uint64_t low, std::uint8_t* out) {
    store_be64(out, high);
    store_be64(out + 8, low);
}

// Where a keystream stands: the 128-bit counter value high:low of its current block, and the
// bytes of that block's keystream already used (0 to 15).
struct KeystreamPoint {
    std::uint64_t high, low;
    std::size_t position;
};

// Adds n to the 128-bit counter value high:low, modulo 2**128.
inline void advance_counter(std::uint64_t& high, std::uint64_t& low, std::uint64_t n) {
    const std::uint64_t sum = low + n;
    high += sum < low;
    low = sum;
}

}  // namespace dallowgate
