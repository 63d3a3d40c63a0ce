// SHA-256 over a block state of our own (SHA-NI, ARMv8 SHA2): the round constants, and the
// padding and length that finish a hash, generic over the state. A state offers begin(block),
// group<G>() for rounds 4G to 4G + 3, end(), compress(block), digest() and erase(); these
// templates carry no target of their own and are instantiated inside functions that do.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_order.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// The SHA-256 round constants, four per group.
alignas(16) inline constexpr std::uint32_t SHA256_K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The SHA-256 initial hash value.
alignas(16) inline constexpr std::uint32_t SHA256_INITIAL[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// Hashes the bytes of `rest` (after `hashed` bytes already compressed into `state`) and pads:
// the digest of the whole. The state is erased.
template <class State>
std::array<std::uint8_t, 32> finish_hash(State& state, std::uint64_t hashed,
                                         const std::uint8_t* rest, std::size_t size) {
    const std::uint64_t total = hashed + size;
    for (; size >= 64; size -= 64, rest += 64) state.compress(rest);
    // The last bytes, 0x80, zeros and the length in bits: one block, or two if they do not fit.
    std::uint8_t last[128] = {};
    if (size) std::memcpy(last, rest, size);
    last[size] = 0x80;
    const std::size_t length = size + 9 <= 64 ? 64 : 128;
    store_be64(last + length - 8, total * 8);
    state.compress(last);
    if (length == 128) state.compress(last + 64);
    std::array<std::uint8_t, 32> digest = state.digest();
    wipe(last, sizeof last);
    state.erase();
    return digest;
}

// The SHA-256 of `prefix` (at most 64 bytes) followed by `message`.
template <class State>
std::array<std::uint8_t, 32> hash_with_prefix(const std::uint8_t* prefix, std::size_t prefix_size,
                                              const std::uint8_t* message, std::size_t size) {
    State state;
    if (prefix_size + size + 9 <= 64) {  // one block, padding and length included
        std::uint8_t block[64] = {};
        if (prefix_size) std::memcpy(block, prefix, prefix_size);
        if (size) std::memcpy(block + prefix_size, message, size);
        block[prefix_size + size] = 0x80;
        store_be64(block + 56, (prefix_size + size) * std::uint64_t{8});
        state.compress(block);
        std::array<std::uint8_t, 32> digest = state.digest();
        wipe(block, sizeof block);
        state.erase();
        return digest;
    }
    std::uint8_t first[64];
    const std::size_t taken = std::min(size, 64 - prefix_size);
    if (prefix_size) std::memcpy(first, prefix, prefix_size);
    if (taken) std::memcpy(first + prefix_size, message, taken);
    std::array<std::uint8_t, 32> digest;
    if (prefix_size + taken < 64) {
        digest = finish_hash(state, 0, first, prefix_size + taken);
    } else {
        state.compress(first);
        digest = finish_hash(state, 64, message + taken, size - taken);
    }
    wipe(first, sizeof first);
    return digest;
}

}  // namespace dallowgate
