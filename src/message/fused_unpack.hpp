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

// Where the pair runs here: decrypts `data` in place as ige_decrypt does (whole blocks; a
// trailing partial block stays), sets `digest` to the SHA-256 of the 32 bytes at `prefix`
// followed by the decrypted data, and returns true. Elsewhere returns false, having done
// nothing.
bool ige_decrypt_and_hash(const Aes256Cipher& cipher, std::span<std::uint8_t> data, IgeIv iv,
                          const std::uint8_t* prefix, Sha256Digest& digest);

}  // namespace dallowgate
