// AES-256 in IGE mode: the in-place routines over a region (whole blocks transformed, a
// trailing partial block left alone) and the owned job that the module functions run.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "common/byte_buffer.hpp"
#include "common/wipe.hpp"
#include "modes/aes256_cipher.hpp"

namespace dallowgate {

// The 32-byte IV: the initial previous-ciphertext block, then the initial previous-plaintext block.
using IgeIv = std::span<const std::uint8_t, 32>;

void ige_encrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region, IgeIv iv);
void ige_decrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region, IgeIv iv);

// What crosses the release of the interpreter lock: the data to transform (in the thread's
// scratch buffer) and copies of key and IV, erased when the job ends.
struct IgeJob {
    ByteBuffer buffer;
    SecretBytes<32> key;
    SecretBytes<32> iv;
};

// Transform the job's buffer in place and hand it back. Touch no Python object.
ByteBuffer ige_encrypt_job(IgeJob job);
ByteBuffer ige_decrypt_job(IgeJob job);

}  // namespace dallowgate
