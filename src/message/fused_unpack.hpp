// IGE decryption and the message-key hash in one pass, for CPUs with AES-NI and SHA-NI: both
// are serial chains (each block's AES rounds, each SHA-256 block's rounds) on different units,
// so running them side by side costs about what the slower one costs alone.
#pragma once

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86

#include <array>
#include <cstdint>
#include <span>

#include "modes/aesni.hpp"
#include "modes/ige.hpp"

namespace dallowgate {

// Decrypts `data` in place as ige_decrypt does (whole blocks; a trailing partial block stays)
// and returns the SHA-256 of the 32 bytes at `prefix` followed by the decrypted data.
// Only where cpu_has_sha_ni().
std::array<std::uint8_t, 32> ige_decrypt_and_hash(const AesNiKeys& keys,
                                                  std::span<std::uint8_t> data, IgeIv iv,
                                                  const std::uint8_t* prefix);

}  // namespace dallowgate

#endif
