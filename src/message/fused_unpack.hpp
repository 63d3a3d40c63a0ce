// IGE decryption and the message-key hash in one pass, where the AES backend and the CPU's
// SHA-256 instructions pair up (AES-NI with the SHA extensions, the ARMv8 AES and SHA2
// instructions): both are serial chains (each
// block's AES rounds, each SHA-256 block's rounds) on different units, so running them side by
// side costs about what the slower one costs alone.
#pragma once

#include <cstdint>
#include <span>

#include "aes/cipher.hpp"
#include "modes/ige.hpp"
#include "sha256/sha256.hpp"

namespace dallowgate {

// A message's plaintext in two places: its 32-byte header apart, the rest (body and padding)
// contiguous, so that the body can be decrypted straight into the object returned.
struct SplitPlaintext {
    std::uint8_t* header;  // 32 bytes
    std::uint8_t* rest;    // the ciphertext's size less 32 bytes
};

// Where the pair runs here: decrypts `ciphertext` (at least 32 bytes) to `out` as ige_decrypt
// does (whole blocks; a trailing partial block copied), sets `digest` to the SHA-256 of the 32
// bytes at `prefix` followed by the plaintext, and returns true. Elsewhere returns false, having
// written nothing.
bool ige_decrypt_and_hash(const Aes256Cipher& cipher, std::span<const std::uint8_t> ciphertext,
                          const SplitPlaintext& out, IgeIv iv, const std::uint8_t* prefix,
                          Sha256Digest& digest);

}  // namespace dallowgate
