// AES-256 in CTR mode with the stream state carried by the caller: a 16-byte big-endian
// counter block (all 128 bits count) and the number of keystream bytes of the current
// block already used (0 to 15).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "aes/cipher.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

using CounterBlock = std::array<std::uint8_t, 16>;

// The keystream position a state byte stands for: 16 to 255 read as 0.
constexpr std::size_t keystream_position(std::uint8_t state_byte) {
    return state_byte < 16 ? state_byte : 0;
}

// Where the stream stands: the counter block and the keystream bytes of it already used.
struct CtrState {
    CounterBlock counter;
    std::size_t position;
};

// output = input XOR the keystream, continuing the stream at `state` and advancing it: byte
// j takes byte (p + j) mod 16 of E(counter + (p + j) / 16). `output` holds input.size()
// bytes and may be input itself.
void apply_ctr_keystream(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                         std::uint8_t* output, CtrState& state);

// What crosses the release of the interpreter lock: private copies, or memory that no other
// thread can change during the call (an immutable input or key, a result object not yet
// returned).
struct CtrJob {
    std::span<const std::uint8_t> input;
    std::uint8_t* output;
    std::span<const std::uint8_t, 32> key;
    CtrState state;
};

// Builds the cipher, runs the keystream, erases the cipher; returns the advanced state.
// Touches no Python object.
CtrState run_ctr_job(const CtrJob& job);

}  // namespace dallowgate
