// AES-256 in IGE mode: whole blocks transformed from an input to an output (which may be the
// input itself), a trailing partial block copied unchanged; and the job that the module
// functions run.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "aes/cipher.hpp"

namespace dallowgate {

// The 32-byte IV: the initial previous-ciphertext block, then the initial previous-plaintext block.
using IgeIv = std::span<const std::uint8_t, 32>;

// `output` holds input.size() bytes and may be input.data().
void ige_encrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv);
void ige_decrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv);

inline void ige_encrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region,
                                 IgeIv iv) {
    ige_encrypt(cipher, region, region.data(), iv);
}
inline void ige_decrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region,
                                 IgeIv iv) {
    ige_decrypt(cipher, region, region.data(), iv);
}

// What crosses the release of the interpreter lock: memory that no other thread can change
// during the call (the immutable input, key and IV, and a result object not yet returned).
struct IgeJob {
    std::span<const std::uint8_t> input;
    std::uint8_t* output;
    std::span<const std::uint8_t, 32> key;
    IgeIv iv;
};

// Build the cipher for one direction, transform, erase the cipher. Touch no Python object.
void run_ige_encrypt_job(const IgeJob& job);
void run_ige_decrypt_job(const IgeJob& job);

}  // namespace dallowgate
