// The VAES variant of the AES-NI backend: the same key schedule and single-block operations,
// with batches of sixteen blocks on 256-bit registers (CTR's keystream, vaes_ctr.cpp).
#pragma once

#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

namespace dallowgate {

// AES-NI's operations (inherited) with the batches run as VAES on 256-bit registers, two
// blocks in each, sixteen blocks per batch; the short CTR call is AES-NI's.
class AesNiVaes : public AesNi {
public:
    static constexpr std::size_t batch_width = 16;

    using AesNi::AesNi;

    VAES_TARGET DALLOWGATE_INLINE void encrypt_batch(Block* blocks) const {
        __m256i pairs[PAIRS];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i)
            pairs[i] = _mm256_set_m128i(blocks[2 * i + 1], blocks[2 * i]);
        encrypt_pairs(pairs);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i) {
            blocks[2 * i] = _mm256_castsi256_si128(pairs[i]);
            blocks[2 * i + 1] = _mm256_extracti128_si256(pairs[i], 1);
        }
    }

    // out = in XOR the keystream of `batches` batches from high:low, one VAES batch after
    // another, advancing high:low past them (vaes_ctr.cpp).
    VAES_TARGET void xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                                   std::uint8_t* out, std::size_t batches) const;

    // One batch of keystream XORed in (as xor_counter_keystream does it), with the counter
    // blocks formed in 256-bit registers, where the low half does not wrap within the batch.
    VAES_TARGET DALLOWGATE_INLINE void xor_keystream_batch(std::uint64_t high, std::uint64_t low,
                                                           const std::uint8_t* in,
                                                           std::uint8_t* out) const {
        // Each 64-bit lane byte-reversed: (high, low) pairs become big-endian counter blocks.
        const __m256i to_big_endian =
            _mm256_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                            13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i first =
            _mm256_set_epi64x(static_cast<long long>(low + 1), static_cast<long long>(high),
                              static_cast<long long>(low), static_cast<long long>(high));
        __m256i pairs[PAIRS];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i) {
            const auto step = static_cast<long long>(2 * i);
            pairs[i] = _mm256_shuffle_epi8(
                _mm256_add_epi64(first, _mm256_set_epi64x(step, 0, step, 0)), to_big_endian);
        }
        encrypt_pairs(pairs);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i) {
            __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * i));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * i),
                                _mm256_xor_si256(text, pairs[i]));
        }
    }

private:
    static constexpr std::size_t PAIRS = batch_width / 2;

    VAES_TARGET DALLOWGATE_INLINE void encrypt_pairs(__m256i* pairs) const {
        const __m128i* k = keys_.encrypt;
        __m256i round_key = _mm256_broadcastsi128_si256(k[0]);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i) pairs[i] = _mm256_xor_si256(pairs[i], round_key);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) {
            round_key = _mm256_broadcastsi128_si256(k[round]);
#pragma GCC unroll 8
            for (std::size_t i = 0; i < PAIRS; ++i)
                pairs[i] = _mm256_aesenc_epi128(pairs[i], round_key);
        }
        round_key = _mm256_broadcastsi128_si256(k[14]);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < PAIRS; ++i)
            pairs[i] = _mm256_aesenclast_epi128(pairs[i], round_key);
    }
};

static_assert(AesBlocks<AesNiVaes> && AesCounterBlocks<AesNiVaes> && AesCtrKernel<AesNiVaes> &&
              AesKeystreamBatch<AesNiVaes> && AesShortCtr<AesNiVaes>);

}  // namespace dallowgate

#endif
