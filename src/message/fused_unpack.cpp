#include "message/fused_unpack.hpp"

#include <concepts>
#include <cstring>

#include "common/cpu_features.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"
#include "sha256/sha256_armv8.hpp"
#include "sha256/sha256_shani.hpp"

namespace dallowgate {
namespace {

// One IGE decryption step at `at`.
template <class Aes>
void decrypt_block(const Aes& aes, std::uint8_t* at, typename Aes::Block& previous_ciphertext,
                   typename Aes::Block& previous_plaintext) {
    const typename Aes::Block ciphertext = Aes::load(at);
    previous_plaintext = aes.decrypt_between(ciphertext, previous_plaintext, previous_ciphertext);
    Aes::store(at, previous_plaintext);
    previous_ciphertext = ciphertext;
}

// The hashed message is prefix (32 bytes) || plaintext, so its block j is plaintext bytes
// 64j - 32 to 64j + 32 (block 0 starts with the prefix). Step k decrypts plaintext bytes 64k
// to 64k + 64 while it hashes block k - 1, whose bytes all came from earlier steps: the two
// chains never wait for each other, and each AES block is followed by a quarter of the SHA
// rounds so that the CPU overlaps them. Instantiated inside a function compiled for both.
template <class Aes, class Sha>
Sha256Digest decrypt_and_hash(const Aes& aes, std::span<std::uint8_t> data, IgeIv iv,
                              const std::uint8_t* prefix) {
    std::uint8_t* const plaintext = data.data();
    typename Aes::Block previous_ciphertext = Aes::load(iv.data());
    typename Aes::Block previous_plaintext = Aes::load(iv.data() + 16);
    const std::size_t steps = data.size() / 64;

    Sha sha;
    std::uint8_t first[64];  // block 0: the prefix and plaintext bytes 0 to 32
    for (std::size_t k = 0; k < steps; ++k) {
        std::uint8_t* chunk = plaintext + 64 * k;
        if (k == 0) {
            for (int b = 0; b < 4; ++b)
                decrypt_block(aes, chunk + 16 * b, previous_ciphertext, previous_plaintext);
            std::memcpy(first, prefix, 32);
            std::memcpy(first + 32, plaintext, 32);
            continue;
        }
        sha.begin(k == 1 ? first : plaintext + 64 * (k - 1) - 32);
        decrypt_block(aes, chunk, previous_ciphertext, previous_plaintext);
        sha.template groups<0, 3>();
        decrypt_block(aes, chunk + 16, previous_ciphertext, previous_plaintext);
        sha.template groups<4, 7>();
        decrypt_block(aes, chunk + 32, previous_ciphertext, previous_plaintext);
        sha.template groups<8, 11>();
        decrypt_block(aes, chunk + 48, previous_ciphertext, previous_plaintext);
        sha.template groups<12, 15>();
        sha.end();
    }
    for (std::size_t at = 64 * steps; at + 16 <= data.size(); at += 16)
        decrypt_block(aes, plaintext + at, previous_ciphertext, previous_plaintext);

    Sha256Digest digest;
    if (steps < 2) {  // no block hashed yet
        sha.erase();
        digest = hash_with_prefix<Sha>(prefix, 32, plaintext, data.size());
    } else {
        const std::size_t hashed = steps - 1;  // blocks
        digest = finish_hash(sha, 64 * hashed, plaintext + 64 * hashed - 32,
                             data.size() + 32 - 64 * hashed);
    }
    wipe(first, sizeof first);
    return digest;
}

#if DALLOWGATE_X86
// AES-NI with the SHA extensions.
using PairedAes = AesNi;
AES_SHA_LOOP_WRAPPER Sha256Digest decrypt_and_hash_here(const AesNi& aes,
                                                        std::span<std::uint8_t> data, IgeIv iv,
                                                        const std::uint8_t* prefix) {
    return decrypt_and_hash<AesNi, ShaNiState>(aes, data, iv, prefix);
}
bool pair_runs_here() {
    return cpu_features().sha_ni;
}
#elif DALLOWGATE_AARCH64
// The ARMv8 AES and SHA2 instructions.
using PairedAes = Armv8Aes;
ARM_AES_SHA2_LOOP_WRAPPER Sha256Digest decrypt_and_hash_here(const Armv8Aes& aes,
                                                             std::span<std::uint8_t> data, IgeIv iv,
                                                             const std::uint8_t* prefix) {
    return decrypt_and_hash<Armv8Aes, Armv8ShaState>(aes, data, iv, prefix);
}
bool pair_runs_here() {
    return cpu_features().arm_sha2;
}
#endif

}  // namespace

bool ige_decrypt_and_hash(const Aes256Cipher& cipher, std::span<std::uint8_t> data, IgeIv iv,
                          const std::uint8_t* prefix, Sha256Digest& digest) {
#if DALLOWGATE_X86 || DALLOWGATE_AARCH64
    if (!pair_runs_here()) return false;
    return cipher.with_blocks([&]<class Aes>(const Aes& aes) {
        if constexpr (std::derived_from<Aes, PairedAes>) {
            digest = decrypt_and_hash_here(aes, data, iv, prefix);
            return true;
        }
        return false;
    });
#else
    (void)cipher, (void)data, (void)iv, (void)prefix, (void)digest;
    return false;
#endif
}

}  // namespace dallowgate
