// The AES-NI backend with VAES on 512-bit registers: the same key schedule and single-block
// operations, with batches of 32 blocks, four in each register (CTR's keystream,
// vaes512_ctr.cpp). Chosen where 512-bit AES does more work per instruction than 256-bit AES
// and costs no clock speed (AES backend choice: widest_aesni in backend.hpp).
#pragma once

#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

namespace dallowgate {

class AesNiVaes512 : public AesNi {
public:
    static constexpr std::size_t batch_width = 32;

    using AesNi::AesNi;

    VAES512_TARGET DALLOWGATE_INLINE void encrypt_batch(Block* blocks) const {
        __m512i quads[QUADS];
#pragma GCC unroll 8
        for (std::size_t i = 0; i < QUADS; ++i) quads[i] = _mm512_loadu_si512(blocks + 4 * i);
        const RoundKeys keys(keys_);
        keys.encrypt(quads);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < QUADS; ++i) _mm512_storeu_si512(blocks + 4 * i, quads[i]);
    }

    // out = in XOR the keystream of `batches` batches from high:low, the round keys held in
    // registers throughout, advancing high:low past them (vaes512_ctr.cpp).
    VAES512_TARGET void xor_keystream(std::uint64_t& high, std::uint64_t& low,
                                      const std::uint8_t* in, std::uint8_t* out,
                                      std::size_t batches) const;

    // One batch of keystream XORed in, where the low half does not wrap within the batch.
    VAES512_TARGET DALLOWGATE_INLINE void xor_keystream_batch(std::uint64_t high, std::uint64_t low,
                                                              const std::uint8_t* in,
                                                              std::uint8_t* out) const {
        const RoundKeys keys(keys_);
        __m512i counters = first_counters(high, low);
        keys.xor_keystream(counters, in, out);
    }

    // Fewer bytes than a batch, four blocks to a register, the text loaded and stored under a
    // byte mask, where the low half does not wrap within the blocks used.
    VAES512_TARGET DALLOWGATE_INLINE void xor_keystream_tail(std::uint64_t high, std::uint64_t low,
                                                             const std::uint8_t* in,
                                                             std::uint8_t* out,
                                                             std::size_t size) const {
        const RoundKeys keys(keys_);
        const __m512i counters = first_counters(high, low);
        switch ((size + 63) / 64) {  // registers
            case 1:
                return keys.xor_keystream_tail<1>(counters, in, out, size);
            case 2:
                return keys.xor_keystream_tail<2>(counters, in, out, size);
            case 3:
                return keys.xor_keystream_tail<3>(counters, in, out, size);
            case 4:
                return keys.xor_keystream_tail<4>(counters, in, out, size);
            case 5:
                return keys.xor_keystream_tail<5>(counters, in, out, size);
            case 6:
                return keys.xor_keystream_tail<6>(counters, in, out, size);
            case 7:
                return keys.xor_keystream_tail<7>(counters, in, out, size);
            default:
                return keys.xor_keystream_tail<8>(counters, in, out, size);
        }
    }

private:
    static constexpr std::size_t QUADS = batch_width / 4;

    // One block in all four places of a register. (The zero-masking form: GCC 12's plain
    // broadcast builds on an "undefined" register that it then warns is uninitialised.)
    VAES512_TARGET DALLOWGATE_INLINE static __m512i broadcast(__m128i block) {
        return _mm512_maskz_broadcast_i32x4(0xffff, block);
    }

    // The 15 round keys, each broadcast to the four blocks of a register: made once per call,
    // so that a loop over batches keeps them in registers (there are 32).
    struct RoundKeys {
        __m512i k[15];

        VAES512_TARGET DALLOWGATE_INLINE explicit RoundKeys(const AesNiKeys& keys) {
#pragma GCC unroll 15
            for (int round = 0; round < 15; ++round) k[round] = broadcast(keys.encrypt[round]);
        }

        // The keystream of N registers' blocks from `counters` XORed into the first `size`
        // bytes at `in` (64 * (N - 1) < size <= 64 * N), through byte masks.
        template <std::size_t N>
        VAES512_TARGET DALLOWGATE_INLINE void xor_keystream_tail(__m512i counters,
                                                                 const std::uint8_t* in,
                                                                 std::uint8_t* out,
                                                                 std::size_t size) const {
            const __m512i to_big_endian =
                broadcast(_mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
            const __m512i four = _mm512_set_epi64(4, 0, 4, 0, 4, 0, 4, 0);
            __m512i quads[N];
#pragma GCC unroll 8
            for (std::size_t i = 0; i < N; ++i) {
                quads[i] = _mm512_xor_si512(_mm512_shuffle_epi8(counters, to_big_endian), k[0]);
                counters = _mm512_add_epi64(counters, four);
            }
            middle_rounds<N>(quads);
#pragma GCC unroll 8
            for (std::size_t i = 0; i < N; ++i) {
                const std::size_t left = size - 64 * i;
                const __mmask64 bytes = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
                const __m512i text = _mm512_maskz_loadu_epi8(bytes, in + 64 * i);
                _mm512_mask_storeu_epi8(
                    out + 64 * i, bytes,
                    _mm512_aesenclast_epi128(quads[i], _mm512_xor_si512(k[14], text)));
            }
        }

        // All rounds of QUADS registers, one round at a time across them.
        VAES512_TARGET DALLOWGATE_INLINE void encrypt(__m512i* quads) const {
#pragma GCC unroll 8
            for (std::size_t i = 0; i < QUADS; ++i) quads[i] = _mm512_xor_si512(quads[i], k[0]);
            middle_rounds(quads);
#pragma GCC unroll 8
            for (std::size_t i = 0; i < QUADS; ++i)
                quads[i] = _mm512_aesenclast_epi128(quads[i], k[14]);
        }

        template <std::size_t N = QUADS>
        VAES512_TARGET DALLOWGATE_INLINE void middle_rounds(__m512i* quads) const {
#pragma GCC unroll 13
            for (int round = 1; round < 14; ++round) {
#pragma GCC unroll 8
                for (std::size_t i = 0; i < N; ++i)
                    quads[i] = _mm512_aesenc_epi128(quads[i], k[round]);
            }
        }

        // out = in XOR the keystream of the batch whose first four counters are `counters`
        // (native (high, low) lanes), which it advances past the batch. The text enters the
        // last round with its key, so the XOR needs no step of its own.
        VAES512_TARGET DALLOWGATE_INLINE void xor_keystream(__m512i& counters,
                                                            const std::uint8_t* in,
                                                            std::uint8_t* out) const {
            // Each 64-bit lane byte-reversed: (high, low) lanes become big-endian counter blocks.
            const __m512i to_big_endian =
                broadcast(_mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
            const __m512i four = _mm512_set_epi64(4, 0, 4, 0, 4, 0, 4, 0);
            __m512i quads[QUADS];
#pragma GCC unroll 8
            for (std::size_t i = 0; i < QUADS; ++i) {
                quads[i] = _mm512_xor_si512(_mm512_shuffle_epi8(counters, to_big_endian), k[0]);
                counters = _mm512_add_epi64(counters, four);
            }
            middle_rounds(quads);
#pragma GCC unroll 8
            for (std::size_t i = 0; i < QUADS; ++i) {
                const __m512i text = _mm512_loadu_si512(in + 64 * i);
                _mm512_storeu_si512(out + 64 * i, _mm512_aesenclast_epi128(
                                                      quads[i], _mm512_xor_si512(k[14], text)));
            }
        }
    };

    // The native (high, low) lanes of high:low + 0 .. 3, where the low half does not wrap.
    VAES512_TARGET DALLOWGATE_INLINE static __m512i first_counters(std::uint64_t high,
                                                                   std::uint64_t low) {
        const auto h = static_cast<long long>(high), l = static_cast<long long>(low);
        return _mm512_add_epi64(_mm512_set_epi64(l, h, l, h, l, h, l, h),
                                _mm512_set_epi64(3, 0, 2, 0, 1, 0, 0, 0));
    }

    VAES512_TARGET DALLOWGATE_INLINE void xor_keystream_without_carry(std::uint64_t high,
                                                                      std::uint64_t low,
                                                                      const std::uint8_t* in,
                                                                      std::uint8_t* out,
                                                                      std::size_t batches) const;
};

static_assert(AesBlocks<AesNiVaes512> && AesCounterBlocks<AesNiVaes512> &&
              AesCtrKernel<AesNiVaes512> && AesKeystreamBatch<AesNiVaes512> &&
              AesKeystreamTail<AesNiVaes512> && AesShortCtr<AesNiVaes512>);

}  // namespace dallowgate

#endif
