#include "message/fused_unpack.hpp"

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "aes/contract.hpp"
#include "common/byte_order.hpp"
#include "common/cpu_features.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"
#include "sha256/sha256_armv8.hpp"
#include "sha256/sha256_shani.hpp"

// The pair: AES-NI with the SHA extensions, or the ARMv8 AES and SHA2 instructions.
#if DALLOWGATE_X86
#define PAIR_FEATURES AES_SHA_FEATURES
namespace dallowgate {
using PairedAes = AesNi;
using PairedSha = ShaNiState;
inline bool pair_runs_here() {
    return cpu_features().sha_ni;
}
}  // namespace dallowgate
#elif DALLOWGATE_AARCH64
#define PAIR_FEATURES ARM_AES_SHA2_FEATURES
namespace dallowgate {
using PairedAes = Armv8Aes;
using PairedSha = Armv8ShaState;
inline bool pair_runs_here() {
    return cpu_features().arm_sha2;
}
}  // namespace dallowgate
#endif

#ifdef PAIR_FEATURES
DALLOWGATE_BEGIN_TARGET_REGION(PAIR_FEATURES)
#include "modes/ige_blocks.hpp"
#include "sha256/block_hash.hpp"

namespace dallowgate {
namespace {

// The hashed message is prefix (32 bytes) || plaintext, so its block j is plaintext bytes
// 64j - 32 to 64j + 32: block 0 is the prefix and the header, block j > 0 is rest[64j - 64, 64j).
// Step k decrypts plaintext bytes 64k to 64k + 64 while it hashes block k - 1, whose bytes all
// came from earlier steps: the two chains never wait for each other, and each AES block is
// followed by a quarter of the SHA rounds so that the CPU overlaps them.

// One step: the four blocks from `from` decrypted to `to` while `hash_from` is hashed; `last`
// where the step's last block may be the last whole block.
template <bool last, class Aes, class Sha>
DALLOWGATE_INLINE void step(Sha& running, typename Sha::Saved& saved,
                            IgeDecryption<Aes>& decryption, const std::uint8_t* hash_from,
                            const std::uint8_t* from, std::uint8_t* to) {
    running.begin(hash_from, saved);
    decryption.block(from, to);
    running.template groups<0, 3>();
    decryption.block(from + 16, to + 16);
    running.template groups<4, 7>();
    decryption.block(from + 32, to + 32);
    running.template groups<8, 11>();
    if constexpr (last) {
        decryption.checked(from + 48, to + 48);
    } else {
        decryption.block(from + 48, to + 48);
    }
    running.template groups<12, 15>();
    running.end(saved);
}

template <class Aes, class Sha>
DALLOWGATE_INLINE Sha256Digest decrypt_and_hash(const Aes& aes,
                                                std::span<const std::uint8_t> ciphertext,
                                                const SplitPlaintext& out, IgeIv iv,
                                                const std::uint8_t* prefix) {
    const std::uint8_t* const in = ciphertext.data();
    const std::size_t size = ciphertext.size();
    std::uint8_t* const rest = out.rest;  // plaintext byte b (b >= 32) is rest[b - 32]
    IgeDecryption<Aes> decryption(aes, iv.data(), in, in + size / 16 * 16);
    const std::size_t steps = size / 64;

    // Each block is followed by another, but for the last of each group of four, which may be
    // the last (IgeDecryption::checked).
    decryption.block(in, out.header);
    decryption.checked(in + 16, out.header + 16);
    std::uint8_t first[64];  // hashed block 0
    std::memcpy(first, prefix, 32);
    std::memcpy(first + 32, out.header, 32);
    std::size_t at = 32;  // plaintext bytes decrypted
    if (steps != 0) {
        decryption.block(in + 32, rest);
        decryption.checked(in + 48, rest + 16);
        at = 64 * steps;
    }
    Sha sha;
    {
        // The running state is a copy whose address is never taken, so that it stays in
        // registers (but for the state saved for each block's final addition, where the SHA
        // state keeps it in memory).
        Sha running = sha;
        typename Sha::Saved saved{};
        const std::uint8_t* hash_from = first;
        // Steps 1 to steps - 2: one offset up to the end, each step followed by another.
        std::size_t offset = 64;
        for (; offset + 64 < 64 * steps; offset += 64) {
            step<false>(running, saved, decryption, hash_from, in + offset, rest + (offset - 32));
            hash_from = rest + (offset - 64);
        }
        if (offset < 64 * steps)  // step steps - 1, whose last block may be the last
            step<true>(running, saved, decryption, hash_from, in + offset, rest + (offset - 32));
        sha = running;
        wipe(&saved, sizeof saved);
    }
    for (; at + 16 <= size; at += 16) decryption.checked(in + at, rest + (at - 32));
    if (at != size) std::memcpy(rest + (at - 32), in + at, size - at);

    if (steps < 2) sha.compress(first);                    // the loop hashed no block
    const std::size_t hashed = steps < 2 ? 1 : steps - 1;  // blocks
    const Sha256Digest digest =
        finish_hash(sha, 64 * hashed, rest + (64 * hashed - 64), size + 32 - 64 * hashed);
    wipe(first, sizeof first);
    return digest;
}

Sha256Digest decrypt_and_hash_here(const PairedAes::Keys& keys,
                                   std::span<const std::uint8_t> ciphertext,
                                   const SplitPlaintext& out, IgeIv iv,
                                   const std::uint8_t* prefix) {
    const PairedAes aes(keys);
    return decrypt_and_hash<PairedAes, PairedSha>(aes, ciphertext, out, iv, prefix);
}

}  // namespace
}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION
#endif

namespace dallowgate {

bool ige_decrypt_and_hash(const Aes256Cipher& cipher, std::span<const std::uint8_t> ciphertext,
                          const SplitPlaintext& out, IgeIv iv, const std::uint8_t* prefix,
                          Sha256Digest& digest) {
#ifdef PAIR_FEATURES
    if (!pair_runs_here()) return false;
    return cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        if constexpr (std::derived_from<Aes, PairedAes>) {
            digest = decrypt_and_hash_here(keys, ciphertext, out, iv, prefix);
            return true;
        }
        return false;
    });
#else
    (void)cipher, (void)ciphertext, (void)out, (void)iv, (void)prefix, (void)digest;
    return false;
#endif
}

}  // namespace dallowgate
