// The IGE chain over the block contract: each block depends on the one before it, so both
// directions run strictly one block at a time.
//
// Generic code: included by the files that run it on a backend, inside that backend's target
// region (common/platform.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/platform.hpp"

namespace dallowgate {

template <AesBlocks Aes>
DALLOWGATE_INLINE void ige_encrypt_blocks(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                                          std::size_t blocks, const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    // One offset into both, run up to the end (compilers then keep no count of blocks).
    for (std::size_t at = 0, end = 16 * blocks; at != end; at += 16) {
        auto plaintext = Aes::load(in + at);
        auto ciphertext = aes.encrypt_between(plaintext, previous_ciphertext, previous_plaintext);
        Aes::store(out + at, ciphertext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

template <AesBlocks Aes>
DALLOWGATE_INLINE void ige_decrypt_blocks(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                                          std::size_t blocks, const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t at = 0, end = 16 * blocks; at != end; at += 16) {
        auto ciphertext = Aes::load(in + at);
        auto plaintext = aes.decrypt_between(ciphertext, previous_plaintext, previous_ciphertext);
        Aes::store(out + at, plaintext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

}  // namespace dallowgate
