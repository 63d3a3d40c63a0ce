// The AES-NI backend: the AES-256 key schedule for both directions, and the block operations
// that the mode loops inline (all round keys read from the schedule, no call per block).
#pragma once

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "modes/wipe.hpp"

namespace dallowgate {

// 15 encryption round keys, then the 15 round keys of the equivalent inverse cipher in the
// order they are used (decrypt[0] is encryption round key 14). Erased when destroyed.
struct AesNiKeys {
    __m128i encrypt[15];
    __m128i decrypt[15];

    explicit AesNiKeys(const std::uint8_t* key);
    ~AesNiKeys() { wipe(this, sizeof *this); }
    AesNiKeys(const AesNiKeys&) = delete;
    AesNiKeys& operator=(const AesNiKeys&) = delete;
};

// Block operations over a schedule, inlined into the mode loops by their wrappers.
class AesNi {
public:
    using Block = __m128i;
    static constexpr std::size_t batch_width = 8;

    explicit AesNi(const AesNiKeys& keys) : keys_(keys) {}

    AES_TARGET static Block load(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    AES_TARGET static void store(std::uint8_t* p, Block b) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
    }
    AES_TARGET static Block xor_blocks(Block a, Block b) { return _mm_xor_si128(a, b); }

    AES_TARGET Block encrypt(Block x) const {
        const __m128i* k = keys_.encrypt;
        x = _mm_xor_si128(x, k[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesenc_si128(x, k[round]);
        return _mm_aesenclast_si128(x, k[14]);
    }

    AES_TARGET Block decrypt(Block x) const {
        const __m128i* k = keys_.decrypt;
        x = _mm_xor_si128(x, k[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesdec_si128(x, k[round]);
        return _mm_aesdeclast_si128(x, k[14]);
    }

    // E(in ^ before) ^ after, with `before` entering last and `after` folded into the last
    // round key, so that a value carried from the previous block meets one XOR at most.
    AES_TARGET Block encrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.encrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesenc_si128(x, k[round]);
        return _mm_aesenclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // D(in ^ before) ^ after, arranged as encrypt_between.
    AES_TARGET Block decrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.decrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesdec_si128(x, k[round]);
        return _mm_aesdeclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // Encrypts batch_width blocks, all advanced one round at a time.
    AES_TARGET void encrypt_batch(Block* blocks) const {
        const __m128i* k = keys_.encrypt;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < batch_width; ++i) blocks[i] = _mm_xor_si128(blocks[i], k[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) {
            __m128i round_key = k[round];
#pragma GCC unroll 8
            for (std::size_t i = 0; i < batch_width; ++i)
                blocks[i] = _mm_aesenc_si128(blocks[i], round_key);
        }
#pragma GCC unroll 8
        for (std::size_t i = 0; i < batch_width; ++i)
            blocks[i] = _mm_aesenclast_si128(blocks[i], k[14]);
    }

protected:
    const AesNiKeys& keys_;
};

// The same operations with the batch run as VAES on 256-bit registers, two blocks in each.
class AesNiVaes : public AesNi {
public:
    using AesNi::AesNi;

    VAES_TARGET void encrypt_batch(Block* blocks) const {
        constexpr std::size_t PAIRS = batch_width / 2;
        const __m128i* k = keys_.encrypt;
        __m256i pairs[PAIRS];
        __m256i round_key = _mm256_broadcastsi128_si256(k[0]);
#pragma GCC unroll 4
        for (std::size_t i = 0; i < PAIRS; ++i)
            pairs[i] =
                _mm256_xor_si256(_mm256_set_m128i(blocks[2 * i + 1], blocks[2 * i]), round_key);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) {
            round_key = _mm256_broadcastsi128_si256(k[round]);
#pragma GCC unroll 4
            for (std::size_t i = 0; i < PAIRS; ++i)
                pairs[i] = _mm256_aesenc_epi128(pairs[i], round_key);
        }
        round_key = _mm256_broadcastsi128_si256(k[14]);
#pragma GCC unroll 4
        for (std::size_t i = 0; i < PAIRS; ++i) {
            pairs[i] = _mm256_aesenclast_epi128(pairs[i], round_key);
            blocks[2 * i] = _mm256_castsi256_si128(pairs[i]);
            blocks[2 * i + 1] = _mm256_extracti128_si256(pairs[i], 1);
        }
    }
};

}  // namespace dallowgate

#endif
