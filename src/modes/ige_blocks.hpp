// The IGE chain over the block contract: each block depends on the one before it, so both
// directions run strictly one block at a time. Where the backend can fold (AesChainedIge), the
// chain holds nothing but the AES rounds: the XORs with the previous and next blocks' texts go
// into the last round's key, and each output is recovered off the chain.
//
// Generic code: included by the files that run it on a backend, inside that backend's target
// region (common/platform.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/platform.hpp"

namespace dallowgate {

inline constexpr std::uint8_t IGE_NO_BLOCK[16] = {};

// From this many blocks on, a folding backend runs the chain with nothing but the AES rounds on
// it; below, the plain loop, whose fewer instructions outside the chain matter more there.
inline constexpr std::size_t IGE_FOLDED_FROM = 32;

// The chain as IGE defines it: each block's XORs on it.
template <AesBlocks Aes>
DALLOWGATE_INLINE void ige_encrypt_plain(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
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
DALLOWGATE_INLINE void ige_decrypt_plain(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                                         std::size_t blocks, const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t at = 0, end = 16 * blocks; at != end; at += 16) {
        auto ciphertext = Aes::load(in + at);
        previous_plaintext =
            aes.decrypt_between(ciphertext, previous_plaintext, previous_ciphertext);
        Aes::store(out + at, previous_plaintext);
        previous_ciphertext = ciphertext;
    }
}

// The folded chain, out of line over the schedule: the short calls' plain loop keeps its
// registers to itself.
template <AesBlocks Aes>
[[gnu::noinline]] void ige_encrypt_folded(const typename Aes::Keys& keys, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t blocks,
                                          const std::uint8_t* iv) {
    const Aes aes(keys);
    // c[i] = E(p[i] ^ c[i - 1]) ^ p[i - 1]; the chain carries entry(p[i] ^ c[i - 1]).
    auto previous_plaintext = Aes::load(iv + 16);
    auto plaintext = Aes::load(in);
    auto carried = aes.encrypt_entry(Aes::xor_blocks(plaintext, Aes::load(iv)));
    const auto fold_key = aes.encrypt_fold_key();
    // One offset into both, run up to the end (compilers then keep no count of blocks).
    for (std::size_t at = 0, last = 16 * (blocks - 1); at != last; at += 16) {
        const auto next = Aes::load(in + at + 16);
        carried = aes.encrypt_chained(
            carried, Aes::xor_blocks(fold_key, Aes::xor_blocks(previous_plaintext, next)));
        Aes::store(out + at, Aes::xor_blocks(aes.encrypt_exit(carried), next));
        previous_plaintext = plaintext;
        plaintext = next;
    }
    carried = aes.encrypt_chained(carried, Aes::xor_blocks(fold_key, previous_plaintext));
    Aes::store(out + 16 * (blocks - 1), aes.encrypt_exit(carried));
}

// IGE encryption over `blocks` whole blocks with the schedule `keys`.
template <AesBlocks Aes>
DALLOWGATE_INLINE void ige_encrypt_blocks(const typename Aes::Keys& keys, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t blocks,
                                          const std::uint8_t* iv) {
    if constexpr (AesChainedIge<Aes>) {
        if (blocks >= IGE_FOLDED_FROM) return ige_encrypt_folded<Aes>(keys, in, out, blocks, iv);
    }
    const Aes aes(keys);
    ige_encrypt_plain(aes, in, out, blocks, iv);
}

// IGE decryption one block at a time, in order, for loops that interleave it with other work (the
// one-pass unpack) as well as for ige_decrypt_blocks. `end` is the end of the whole blocks.
template <AesBlocks Aes>
class IgeDecryption {
public:
    using Block = typename Aes::Block;

    DALLOWGATE_INLINE IgeDecryption(const Aes& aes, const std::uint8_t* iv,
                                    const std::uint8_t* first, const std::uint8_t* end)
        : aes_(aes), end_(end), previous_ciphertext_(Aes::load(iv)) {
        if constexpr (AesChainedIge<Aes>) {
            // p[i] = D(c[i] ^ p[i - 1]) ^ c[i - 1]; the chain carries entry(c[i] ^ p[i - 1]).
            fold_key_ = aes.decrypt_fold_key();
            if (first != end) {
                ciphertext_ = Aes::load(first);
                carried_ = aes.decrypt_entry(Aes::xor_blocks(ciphertext_, Aes::load(iv + 16)));
            }
        } else {
            previous_plaintext_ = Aes::load(iv + 16);
        }
    }

    // The block at `in` (the one after the last decrypted, before `end`) decrypted to `out`,
    // which may be `in`. block() where another whole block follows it, checked() where one may
    // not.
    DALLOWGATE_INLINE void block(const std::uint8_t* in, std::uint8_t* out) {
        step(in, out, in + 16);
    }
    DALLOWGATE_INLINE void checked(const std::uint8_t* in, std::uint8_t* out) {
        step(in, out, in + 16 != end_ ? in + 16 : IGE_NO_BLOCK);
    }

private:
    DALLOWGATE_INLINE void step(const std::uint8_t* in, std::uint8_t* out,
                                const std::uint8_t* following) {
        if constexpr (AesChainedIge<Aes>) {
            // The next block's ciphertext (none after the last) is folded in, and kept for the
            // next step.
            const Block next = Aes::load(following);
            carried_ = aes_.decrypt_chained(
                carried_, Aes::xor_blocks(fold_key_, Aes::xor_blocks(previous_ciphertext_, next)));
            Aes::store(out, Aes::xor_blocks(aes_.decrypt_exit(carried_), next));
            previous_ciphertext_ = ciphertext_;
            ciphertext_ = next;
        } else {
            const Block ciphertext = Aes::load(in);
            previous_plaintext_ =
                aes_.decrypt_between(ciphertext, previous_plaintext_, previous_ciphertext_);
            Aes::store(out, previous_plaintext_);
            previous_ciphertext_ = ciphertext;
        }
    }

    const Aes& aes_;
    const std::uint8_t* end_;
    Block previous_ciphertext_;
    // Folding backends: this block's ciphertext, the chain, and the last round key's fixed part.
    Block ciphertext_{}, carried_{}, fold_key_{};
    Block previous_plaintext_{};  // the others
};

template <AesBlocks Aes>
[[gnu::noinline]] void ige_decrypt_folded(const typename Aes::Keys& keys, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t blocks,
                                          const std::uint8_t* iv) {
    const Aes aes(keys);
    IgeDecryption<Aes> decryption(aes, iv, in, in + 16 * blocks);
    for (std::size_t at = 0, last = 16 * (blocks - 1); at != last; at += 16)
        decryption.block(in + at, out + at);
    decryption.checked(in + 16 * (blocks - 1), out + 16 * (blocks - 1));
}

// IGE decryption over `blocks` whole blocks with the schedule `keys`.
template <AesBlocks Aes>
DALLOWGATE_INLINE void ige_decrypt_blocks(const typename Aes::Keys& keys, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t blocks,
                                          const std::uint8_t* iv) {
    if constexpr (AesChainedIge<Aes>) {
        if (blocks >= IGE_FOLDED_FROM) return ige_decrypt_folded<Aes>(keys, in, out, blocks, iv);
    }
    const Aes aes(keys);
    ige_decrypt_plain(aes, in, out, blocks, iv);
}

}  // namespace dallowgate
