// The AES-NI backend: the AES-256 key schedule for both directions (expanded in
// key_expansion.cpp) and the block operations that the mode loops inline, with its own CTR
// kernel (aesni_ctr.cpp) and short CTR call (short_ctr.cpp); its VAES variant is in vaes.hpp.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_X86

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "aes/backend.hpp"
#include "aes/contract.hpp"
#include "common/counter128.hpp"

namespace dallowgate {

// 15 encryption round keys, then the 15 round keys of the equivalent inverse cipher in the
// order they are used (decrypt[0] is encryption round key 14), expanded when `use` includes
// decryption. Erased when destroyed (the inverse round keys only where they were written).
struct AesNiKeys {
    __m128i encrypt[15];
    __m128i decrypt[15];
    bool has_decrypt;

    explicit AesNiKeys(const std::uint8_t* key, AesUse use = AesUse::both);
    ~AesNiKeys() {
        erase(encrypt);
        if (has_decrypt) erase(decrypt);
    }
    AesNiKeys(const AesNiKeys&) = delete;
    AesNiKeys& operator=(const AesNiKeys&) = delete;

private:
    // Fifteen 16-byte stores. The zero is hidden from the compiler, which would otherwise
    // make the loop a memset and the memset a slower string store.
    static void erase(__m128i (&round_keys)[15]) {
        __m128i zero = _mm_setzero_si128();
        __asm__("" : "+x"(zero));
        for (__m128i& round_key : round_keys) round_key = zero;
        __asm__ __volatile__("" : : "r"(round_keys) : "memory");
    }
};

// Block operations over a schedule, always inlined into the mode loops (which run inside a
// target region with at least AES_FEATURES).
class AesNi {
public:
    using Keys = AesNiKeys;
    using Block = __m128i;
    static constexpr std::size_t batch_width = 8;

    explicit AesNi(const AesNiKeys& keys) : keys_(keys) {}

    AES_TARGET DALLOWGATE_INLINE static Block load(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    AES_TARGET DALLOWGATE_INLINE static void store(std::uint8_t* p, Block b) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
    }
    AES_TARGET DALLOWGATE_INLINE static Block xor_blocks(Block a, Block b) {
        return _mm_xor_si128(a, b);
    }
    // The 16-byte big-endian counter block of the 128-bit value high:low.
    AES_TARGET DALLOWGATE_INLINE static Block counter_block(std::uint64_t high, std::uint64_t low) {
        return _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(low)),
                              static_cast<long long>(__builtin_bswap64(high)));
    }

    AES_TARGET DALLOWGATE_INLINE Block encrypt(Block x) const {
        const __m128i zero = _mm_setzero_si128();
        return encrypt_between(x, zero, zero);
    }

    AES_TARGET DALLOWGATE_INLINE Block decrypt(Block x) const {
        const __m128i zero = _mm_setzero_si128();
        return decrypt_between(x, zero, zero);
    }

    // E(in ^ before) ^ after, with `before` entering last and `after` folded into the last
    // round key, so that a value carried from the previous block meets one XOR at most.
    AES_TARGET DALLOWGATE_INLINE Block encrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.encrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesenc_si128(x, k[round]);
        return _mm_aesenclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // D(in ^ before) ^ after, arranged as encrypt_between.
    AES_TARGET DALLOWGATE_INLINE Block decrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.decrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesdec_si128(x, k[round]);
        return _mm_aesdeclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // IGE's chain (AesChainedIge): the value carried is the input XOR round key 0, and the
    // last round's key takes round key 0 and the folded text too, so that one block's last
    // round feeds the next block's first.
    AES_TARGET DALLOWGATE_INLINE Block encrypt_entry(Block x) const {
        return _mm_xor_si128(x, keys_.encrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block encrypt_exit(Block carried) const {
        return _mm_xor_si128(carried, keys_.encrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block encrypt_fold_key() const {
        return _mm_xor_si128(keys_.encrypt[14], keys_.encrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block encrypt_chained(Block carried, Block fold) const {
        const __m128i* k = keys_.encrypt;
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) carried = _mm_aesenc_si128(carried, k[round]);
        return _mm_aesenclast_si128(carried, fold);
    }
    AES_TARGET DALLOWGATE_INLINE Block decrypt_entry(Block x) const {
        return _mm_xor_si128(x, keys_.decrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block decrypt_exit(Block carried) const {
        return _mm_xor_si128(carried, keys_.decrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block decrypt_fold_key() const {
        return _mm_xor_si128(keys_.decrypt[14], keys_.decrypt[0]);
    }
    AES_TARGET DALLOWGATE_INLINE Block decrypt_chained(Block carried, Block fold) const {
        const __m128i* k = keys_.decrypt;
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) carried = _mm_aesdec_si128(carried, k[round]);
        return _mm_aesdeclast_si128(carried, fold);
    }

    // Encrypts batch_width blocks, all advanced one round at a time.
    AES_TARGET DALLOWGATE_INLINE void encrypt_batch(Block* blocks) const {
        encrypt_group<batch_width>(blocks);
    }
    // Encrypts four blocks together (short CTR tails).
    AES_TARGET DALLOWGATE_INLINE void encrypt_four(Block* blocks) const {
        encrypt_group<4>(blocks);
    }
    // The counter blocks of high:low + 0 .. 3, where the low half does not wrap among them.
    AES_TARGET DALLOWGATE_INLINE static void four_counter_blocks(std::uint64_t high,
                                                                 std::uint64_t low, Block* blocks) {
        const __m128i to_big_endian =
            _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
        const __m128i native =
            _mm_set_epi64x(static_cast<long long>(low), static_cast<long long>(high));
        for (int i = 0; i < 4; ++i)
            blocks[i] =
                _mm_shuffle_epi8(_mm_add_epi64(native, _mm_set_epi64x(i, 0)), to_big_endian);
    }

    // out = in XOR the keystream of `batches` * batch_width counter blocks from high:low,
    // advancing high:low past them (the pipelined kernel of aesni_ctr.cpp).
    AES_TARGET void xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                                  std::uint8_t* out, std::size_t batches) const;

    // The shortest CTR calls (short_ctr.cpp): a keystream that lies within four counter blocks,
    // the key expanded while they are encrypted, each round key applied as soon as it exists;
    // no schedule is stored, so there is none to erase. Built twice: with AVX's three-operand
    // forms, which need no register copies, where the CPU has AVX, and without.
    static constexpr std::size_t short_keystream_reach = 64;
    static void xor_short_keystream(const std::uint8_t* key, const std::uint8_t* in,
                                    std::uint8_t* out, std::size_t size, KeystreamPoint& point);

protected:
    const AesNiKeys& keys_;

private:
    // All rounds of N blocks, the blocks advanced one round at a time.
    template <std::size_t N>
    AES_TARGET DALLOWGATE_INLINE void encrypt_group(Block* blocks) const {
        const __m128i* k = keys_.encrypt;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) blocks[i] = _mm_xor_si128(blocks[i], k[0]);
        middle_rounds<N>(blocks);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i) blocks[i] = _mm_aesenclast_si128(blocks[i], k[14]);
    }

    // Rounds 1 to 13 of N blocks, all advanced one round at a time.
    template <std::size_t N = batch_width>
    AES_TARGET DALLOWGATE_INLINE void middle_rounds(Block* blocks) const {
        const __m128i* k = keys_.encrypt;
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) {
            __m128i round_key = k[round];
#pragma GCC unroll 8
            for (std::size_t i = 0; i < N; ++i) blocks[i] = _mm_aesenc_si128(blocks[i], round_key);
        }
    }

    AES_TARGET DALLOWGATE_INLINE static __m128i whitened_counter(__m128i native, std::size_t i,
                                                                 __m128i to_big_endian,
                                                                 __m128i round_key_0);
    AES_TARGET DALLOWGATE_INLINE void xor_keystream_without_carry(std::uint64_t high,
                                                                  std::uint64_t low,
                                                                  const std::uint8_t* in,
                                                                  std::uint8_t* out,
                                                                  std::size_t batches) const;
};

static_assert(AesBlocks<AesNi> && AesCounterBlocks<AesNi> && AesCtrKernel<AesNi> &&
              AesShortCtr<AesNi> && AesChainedIge<AesNi>);

}  // namespace dallowgate

#endif
