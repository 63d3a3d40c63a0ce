// The steps of the AES-256 key expansion (FIPS-197) on the ARMv8 AES instructions, shared by
// the stored schedule (key_expansion.cpp) and the short CTR call that uses each round key as
// soon as it exists (short_ctr.cpp). SubWord is AESE with a zero key on a word broadcast to
// all four columns: ShiftRows then moves nothing, so only SubBytes acts.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

namespace dallowgate::armv8_key_steps {

// Word i of the result is the XOR of words 0 to i of x.
ARM_AES_TARGET DALLOWGATE_INLINE uint8x16_t prefix_xor(uint8x16_t x) {
    const uint32x4_t zero = vdupq_n_u32(0);
    uint32x4_t words = vreinterpretq_u32_u8(x);
    words = veorq_u32(words, vextq_u32(zero, words, 3));
    words = veorq_u32(words, vextq_u32(zero, words, 2));
    return vreinterpretq_u8_u32(words);
}

// SubWord of word 3 of x, in all four words.
ARM_AES_TARGET DALLOWGATE_INLINE uint32x4_t sub_word_3(uint8x16_t x) {
    const uint8x16_t broadcast = vreinterpretq_u8_u32(vdupq_laneq_u32(vreinterpretq_u32_u8(x), 3));
    return vreinterpretq_u32_u8(vaeseq_u8(broadcast, vdupq_n_u8(0)));
}

// The next even round key from the even one two rounds back and the odd one before it.
template <unsigned Rcon>
ARM_AES_TARGET DALLOWGATE_INLINE uint8x16_t next_even(uint8x16_t previous_even, uint8x16_t odd) {
    const uint32x4_t sub = sub_word_3(odd);
    // RotWord after SubWord (they commute): each word rotated right by 8 bits, then Rcon.
    const uint32x4_t rotated = vsliq_n_u32(vshrq_n_u32(sub, 8), sub, 24);
    const uint32x4_t assist = veorq_u32(rotated, vdupq_n_u32(Rcon));
    return veorq_u8(prefix_xor(previous_even), vreinterpretq_u8_u32(assist));
}

// The next odd round key from the odd one two rounds back and the even one before it
// (SubWord without rotation, no round constant).
ARM_AES_TARGET DALLOWGATE_INLINE uint8x16_t next_odd(uint8x16_t previous_odd, uint8x16_t even) {
    return veorq_u8(prefix_xor(previous_odd), vreinterpretq_u8_u32(sub_word_3(even)));
}

}  // namespace dallowgate::armv8_key_steps

#endif
