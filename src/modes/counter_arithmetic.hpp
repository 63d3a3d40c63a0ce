// The 128-bit counter arithmetic of CTR and the plain keystream batch that the block
// backends share (counter blocks formed one by one, encrypted together, XORed in).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dallowgate {

// Whether the low half wraps among the n counter values low .. low + n - 1 (n >= 1).
constexpr bool low_half_wraps(std::uint64_t low, std::uint64_t n) {
    return low > ~std::uint64_t{0} - (n - 1);
}

// The big-endian 64-bit value at `in`, and its store (byte swaps on little-endian CPUs).
inline std::uint64_t load_be64(const std::uint8_t* in) {
    std::uint64_t value;
    std::memcpy(&value, in, 8);
    if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
    return value;
}
inline void store_be64(std::uint8_t* out, std::uint64_t value) {
    if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
    std::memcpy(out, &value, 8);
}

// The 16-byte big-endian counter block of the 128-bit value high:low.
inline void store_counter_block(std::uint64_t high, std::uint64_t low, std::uint8_t* out) {
    store_be64(out, high);
    store_be64(out + 8, low);
}

// Adds n to the 128-bit counter value high:low, modulo 2**128.
inline void advance_counter(std::uint64_t& high, std::uint64_t& low, std::uint64_t n) {
    const std::uint64_t sum = low + n;
    high += sum < low;
    low = sum;
}

// The counter blocks of high:low + 0 .. N - 1, formed one by one (any carry included).
template <class Aes, std::size_t N>
void counter_blocks(std::uint64_t high, std::uint64_t low, typename Aes::Block* blocks) {
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) {
        std::uint64_t block_high = high, block_low = low;
        advance_counter(block_high, block_low, i);
        blocks[i] = Aes::counter_block(block_high, block_low);
    }
}

// out = in XOR the keystream of counter values high:low + 0 .. Aes::batch_width - 1, over
// 16 * Aes::batch_width bytes (in and out may be the same).
template <class Aes>
void xor_counter_keystream(const Aes& aes, std::uint64_t high, std::uint64_t low,
                           const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Block blocks[Aes::batch_width];
    counter_blocks<Aes, Aes::batch_width>(high, low, blocks);
    aes.encrypt_batch(blocks);
#pragma GCC unroll 16
    for (std::size_t i = 0; i < Aes::batch_width; ++i)
        Aes::store(out + 16 * i, Aes::xor_blocks(Aes::load(in + 16 * i), blocks[i]));
}

// `batches` keystream batches of the backend one after another, advancing high:low past them.
template <class Aes>
void xor_keystream_batches(const Aes& aes, std::uint64_t& high, std::uint64_t& low,
                           const std::uint8_t* in, std::uint8_t* out, std::size_t batches) {
    for (; batches != 0; --batches, in += 16 * Aes::batch_width, out += 16 * Aes::batch_width) {
        aes.xor_keystream_batch(high, low, in, out);
        advance_counter(high, low, Aes::batch_width);
    }
}

}  // namespace dallowgate
