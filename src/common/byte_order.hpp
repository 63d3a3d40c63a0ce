// Loads and stores of integers in a fixed byte order, whatever the CPU's: big-endian 64-bit
// words (counter blocks, SHA-256 lengths) and little-endian fields (the message plaintext).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dallowgate {

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

// A little-endian integer of sizeof(T) bytes at `out` or `in`.
template <class T>
void store_le(std::uint8_t* out, T value) {
    auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

template <class T>
T load_le(const std::uint8_t* in) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) bits |= std::uint64_t{in[i]} << (8 * i);
    return static_cast<T>(bits);
}

}  // namespace dallowgate
