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

// Block operations over a schedule, for the mode loops (which carry AES_TARGET).
class AesNi {
public:
    using Block = __m128i;
    static constexpr std::size_t batch_width = 8;

    explicit AesNi(const AesNiKeys& keys) : keys_(keys) {}

    AES_INLINE static Block load(const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    AES_INLINE static void store(std::uint8_t* p, Block b) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
    }
    AES_INLINE static Block xor_blocks(Block a, Block b) { return _mm_xor_si128(a, b); }

    AES_INLINE Block encrypt(Block x) const {
        const __m128i* k = keys_.encrypt;
        x = _mm_xor_si128(x, k[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesenc_si128(x, k[round]);
        return _mm_aesenclast_si128(x, k[14]);
    }

    AES_INLINE Block decrypt(Block x) const {
        const __m128i* k = keys_.decrypt;
        x = _mm_xor_si128(x, k[0]);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesdec_si128(x, k[round]);
        return _mm_aesdeclast_si128(x, k[14]);
    }

    // E(in ^ before) ^ after, with `before` entering last and `after` folded into the last
    // round key, so that a value carried from the previous block meets one XOR at most.
    AES_INLINE Block encrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.encrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesenc_si128(x, k[round]);
        return _mm_aesenclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // D(in ^ before) ^ after, arranged as encrypt_between.
    AES_INLINE Block decrypt_between(Block in, Block before, Block after) const {
        const __m128i* k = keys_.decrypt;
        __m128i x = _mm_xor_si128(in, k[0]);
        __asm__("" : "+x"(x));  // keeps the compiler from moving `before` to the front
        x = _mm_xor_si128(x, before);
#pragma GCC unroll 13
        for (int round = 1; round < 14; ++round) x = _mm_aesdec_si128(x, k[round]);
        return _mm_aesdeclast_si128(x, _mm_xor_si128(k[14], after));
    }

    // Encrypts batch_width blocks, all advanced one round at a time.
    AES_INLINE void encrypt_batch(Block* blocks) const {
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

private:
    const AesNiKeys& keys_;
};

}  // namespace dallowgate

#endif
