// The steps of the AES-256 key expansion (FIPS-197) on aesenclast, shared by the stored
// schedule (key_expansion.cpp) and the short CTR call that uses each round key as soon as
// it exists (short_ctr.cpp). SubWord is aesenclast of the word broadcast to all four columns,
// where ShiftRows moves nothing, and the round constant enters as its round key: the same
// schedule as aeskeygenassist gives, without that instruction, which Intel cores run slowly.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_X86

#include <immintrin.h>

#include <bit>
#include <cstdint>

namespace dallowgate::aesni_key_steps {

// Word i of the result is the XOR of words 0 to i of x.
AES_TARGET DALLOWGATE_INLINE __m128i prefix_xor(__m128i x) {
    x = _mm_xor_si128(x, _mm_slli_si128(x, 4));
    return _mm_xor_si128(x, _mm_slli_si128(x, 8));
}

// The round constants of AES-256, each in all four words (key_steps.cpp). Defined apart, so that
// compilers load them (or fold the load into aesenclast) rather than build them in registers,
// which takes three instructions each.
alignas(16) extern const std::uint32_t ROUND_CONSTANTS[7][4];

// The next even round key from the even one two rounds back and the odd one before it:
// SubWord(RotWord(word 3)) ^ Rcon, from word 3 rotated into every column.
template <int Rcon>
AES_TARGET DALLOWGATE_INLINE __m128i next_even(__m128i previous_even, __m128i odd) {
    const __m128i rotated_word_3 = _mm_shuffle_epi8(
        odd, _mm_set_epi8(12, 15, 14, 13, 12, 15, 14, 13, 12, 15, 14, 13, 12, 15, 14, 13));
    static_assert(Rcon > 0 && Rcon <= 0x40 && (Rcon & (Rcon - 1)) == 0);
    const auto* round_constant =
        reinterpret_cast<const __m128i*>(ROUND_CONSTANTS[std::countr_zero(unsigned{Rcon})]);
    const __m128i assist = _mm_aesenclast_si128(rotated_word_3, _mm_load_si128(round_constant));
    return _mm_xor_si128(prefix_xor(previous_even), assist);
}

// The next odd round key from the odd one two rounds back and the even one before it
// (SubWord of word 3 without rotation, no round constant).
AES_TARGET DALLOWGATE_INLINE __m128i next_odd(__m128i previous_odd, __m128i even) {
    const __m128i assist = _mm_aesenclast_si128(_mm_shuffle_epi32(even, 0xff), _mm_setzero_si128());
    return _mm_xor_si128(prefix_xor(previous_odd), assist);
}

}  // namespace dallowgate::aesni_key_steps

#endif
