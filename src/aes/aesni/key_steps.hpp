// The steps of the AES-256 key expansion (FIPS-197) on aeskeygenassist, shared by the stored
// schedule (key_expansion.cpp) and the short CTR call that uses each round key as soon as
// it exists (short_ctr.cpp).
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_X86

#include <immintrin.h>

namespace dallowgate::aesni_key_steps {

// Word i of the result is the XOR of words 0 to i of x.
AES_TARGET inline __m128i prefix_xor(__m128i x) {
    x = _mm_xor_si128(x, _mm_slli_si128(x, 4));
    return _mm_xor_si128(x, _mm_slli_si128(x, 8));
}

// The next even round key from the even one two rounds back and the odd one before it.
template <int Rcon>
AES_TARGET inline __m128i next_even(__m128i previous_even, __m128i odd) {
    __m128i assist = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(odd, Rcon), 0xff);
    return _mm_xor_si128(prefix_xor(previous_even), assist);
}

// The next odd round key from the odd one two rounds back and the even one before it
// (SubWord without rotation, no round constant).
AES_TARGET inline __m128i next_odd(__m128i previous_odd, __m128i even) {
    __m128i assist = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0x00), 0xaa);
    return _mm_xor_si128(prefix_xor(previous_odd), assist);
}

}  // namespace dallowgate::aesni_key_steps

#endif
