// Little-endian integer fields of the message plaintext.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dallowgate {

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
