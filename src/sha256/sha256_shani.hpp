// SHA-256 compression on the SHA extensions (SHA-NI), ours so that it can be interleaved with
// other work: the state lives in two registers and a block's 64 rounds run as 16 groups of four
// that a caller may spread between other instructions. Only on CPUs whose CPU-feature record
// has sha_ni.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_X86

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "sha256/round_constants.hpp"

namespace dallowgate {

// One SHA-256 state in the SHA-NI register layout (ABEF and CDGH), with the block in progress.
class ShaNiState {
public:
    // The initial hash value of SHA-256.
    SHA_TARGET DALLOWGATE_INLINE ShaNiState() {
        __m128i dcba = _mm_load_si128(reinterpret_cast<const __m128i*>(SHA256_INITIAL));
        __m128i hgfe = _mm_load_si128(reinterpret_cast<const __m128i*>(SHA256_INITIAL + 4));
        __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
        __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
        abef_ = _mm_alignr_epi8(cdab, efgh, 8);
        cdgh_ = _mm_blend_epi16(efgh, cdab, 0xf0);
    }

    // Starts a block: its message words loaded, the state saved for the final addition.
    SHA_TARGET DALLOWGATE_INLINE void begin(const std::uint8_t* block) {
        const __m128i to_big_endian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            w_[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)), to_big_endian);
        saved_abef_ = abef_;
        saved_cdgh_ = cdgh_;
    }

    // Rounds 4G to 4G + 3, with the message schedule's part of this group.
    template <int G>
    SHA_TARGET DALLOWGATE_INLINE void group() {
        __m128i& current = w_[G % 4];
        __m128i& previous = w_[(G + 3) % 4];
        __m128i& next = w_[(G + 1) % 4];
        __m128i message = _mm_add_epi32(
            current, _mm_load_si128(reinterpret_cast<const __m128i*>(SHA256_K + 4 * G)));
        cdgh_ = _mm_sha256rnds2_epu32(cdgh_, abef_, message);
        if constexpr (G >= 3 && G <= 14) {
            next = _mm_add_epi32(next, _mm_alignr_epi8(current, previous, 4));
            next = _mm_sha256msg2_epu32(next, current);
        }
        abef_ = _mm_sha256rnds2_epu32(abef_, cdgh_, _mm_shuffle_epi32(message, 0x0e));
        if constexpr (G >= 1 && G <= 12) previous = _mm_sha256msg1_epu32(previous, current);
    }

    // Groups First to Last (inclusive).
    template <int First, int Last>
    SHA_TARGET DALLOWGATE_INLINE void groups() {
        group<First>();
        if constexpr (First < Last) groups<First + 1, Last>();
    }

    // Ends a block: adds the saved state.
    SHA_TARGET DALLOWGATE_INLINE void end() {
        abef_ = _mm_add_epi32(abef_, saved_abef_);
        cdgh_ = _mm_add_epi32(cdgh_, saved_cdgh_);
    }

    // begin() and end() with a place for the saved state, as the ARMv8 state has: here the
    // state is saved in registers, and the place holds nothing.
    struct Saved {};
    SHA_TARGET DALLOWGATE_INLINE void begin(const std::uint8_t* block, Saved&) { begin(block); }
    SHA_TARGET DALLOWGATE_INLINE void end(const Saved&) { end(); }

    // A whole block.
    SHA_TARGET DALLOWGATE_INLINE void compress(const std::uint8_t* block) {
        begin(block);
        groups<0, 15>();
        end();
    }

    // The 32-byte digest of the state (big-endian words a to h).
    SHA_TARGET DALLOWGATE_INLINE std::array<std::uint8_t, 32> digest() const {
        __m128i feba = _mm_shuffle_epi32(abef_, 0x1b);
        __m128i dchg = _mm_shuffle_epi32(cdgh_, 0xb1);
        __m128i dcba = _mm_blend_epi16(feba, dchg, 0xf0);
        __m128i hgfe = _mm_alignr_epi8(dchg, feba, 8);
        const __m128i to_big_endian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
        std::array<std::uint8_t, 32> out;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data()),
                         _mm_shuffle_epi8(dcba, to_big_endian));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + 16),
                         _mm_shuffle_epi8(hgfe, to_big_endian));
        return out;
    }

    // Overwrites the state, the saved state and the message words with zeros.
    SHA_TARGET DALLOWGATE_INLINE void erase() {
        __m128i zero = _mm_setzero_si128();
        __asm__("" : "+x"(zero));
        abef_ = cdgh_ = saved_abef_ = saved_cdgh_ = zero;
        for (__m128i& word : w_) word = zero;
        __asm__ __volatile__("" : : "r"(this) : "memory");
    }

private:
    __m128i abef_, cdgh_, saved_abef_{}, saved_cdgh_{};  // all defined, so a state may be copied
    __m128i w_[4]{};
};

// The SHA-256 of `prefix` (at most 64 bytes) followed by `message`, over ShaNiState.
std::array<std::uint8_t, 32> sha256_shani(const std::uint8_t* prefix, std::size_t prefix_size,
                                          const std::uint8_t* message, std::size_t size);

}  // namespace dallowgate

#endif
