// SHA-256 over a block state of our own (SHA-NI, ARMv8 SHA2): the padding and length that
// finish a hash, generic over the state. A state offers begin(block), group<G>() for rounds 4G
// to 4G + 3, end(), compress(block), digest() and erase().
//
// Generic code: included by the files that run it on a state, inside the target region of that
// state's instructions (common/platform.hpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_order.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// Hashes the bytes of `rest` (after `hashed` bytes already compressed into `state`) and pads:
// the digest of the whole. The state is erased.
template <class State>
DALLOWGATE_INLINE std::array<std::uint8_t, 32> finish_hash(State& state, std::uint64_t hashed,
                                                           const std::uint8_t* rest,
                                                           std::size_t size) {
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
DALLOWGATE_INLINE std::array<std::uint8_t, 32> hash_with_prefix(const std::uint8_t* prefix,
                                                                std::size_t prefix_size,
                                                                const std::uint8_t* message,
                                                                std::size_t size) {
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
    const std::size_t taken = size < 64 - prefix_size ? size : 64 - prefix_size;
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
