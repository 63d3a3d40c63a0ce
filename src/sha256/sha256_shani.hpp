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

namespace dallowgate {

// The SHA-256 round constants, four per group.
alignas(16) inline constexpr std::uint32_t SHA256_K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// One SHA-256 state in the SHA-NI register layout (ABEF and CDGH), with the block in progress.
class ShaNiState {
public:
    // The initial hash value of SHA-256.
    SHA_TARGET ShaNiState() {
        alignas(16) static constexpr std::uint32_t INITIAL[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                                                 0xa54ff53a, 0x510e527f, 0x9b05688c,
                                                                 0x1f83d9ab, 0x5be0cd19};
        __m128i dcba = _mm_load_si128(reinterpret_cast<const __m128i*>(INITIAL));
        __m128i hgfe = _mm_load_si128(reinterpret_cast<const __m128i*>(INITIAL + 4));
        __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
        __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
        abef_ = _mm_alignr_epi8(cdab, efgh, 8);
        cdgh_ = _mm_blend_epi16(efgh, cdab, 0xf0);
    }

    // Starts a block: its message words loaded, the state saved for the final addition.
    SHA_TARGET void begin(const std::uint8_t* block) {
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
    SHA_TARGET void group() {
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
    SHA_TARGET void groups() {
        group<First>();
        if constexpr (First < Last) groups<First + 1, Last>();
    }

    // Ends a block: adds the saved state.
    SHA_TARGET void end() {
        abef_ = _mm_add_epi32(abef_, saved_abef_);
        cdgh_ = _mm_add_epi32(cdgh_, saved_cdgh_);
    }

    // A whole block.
    SHA_TARGET void compress(const std::uint8_t* block) {
        begin(block);
        groups<0, 15>();
        end();
    }

    // The 32-byte digest of the state (big-endian words a to h).
    SHA_TARGET std::array<std::uint8_t, 32> digest() const {
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
    SHA_TARGET void erase() {
        __m128i zero = _mm_setzero_si128();
        __asm__("" : "+x"(zero));
        abef_ = cdgh_ = saved_abef_ = saved_cdgh_ = zero;
        for (__m128i& word : w_) word = zero;
        __asm__ __volatile__("" : : "r"(this) : "memory");
    }

private:
    __m128i abef_, cdgh_, saved_abef_, saved_cdgh_;
    __m128i w_[4];
};

// The SHA-256 of `prefix` followed by `message`, over ShaNiState: `prefix` is at most 64 bytes.
std::array<std::uint8_t, 32> sha256_shani(const std::uint8_t* prefix, std::size_t prefix_size,
                                          const std::uint8_t* message, std::size_t size);

// Hashes the bytes of `rest` (after `hashed` bytes already compressed into `state`) and pads:
// the digest of the whole. For the fused unpacking and the one-shot function above.
std::array<std::uint8_t, 32> sha256_shani_finish(ShaNiState& state, std::uint64_t hashed,
                                                 const std::uint8_t* rest, std::size_t size);

}  // namespace dallowgate

#endif
