// The AES-256 rounds on the ARMv8 AES instructions over round keys in registers: AESE with
// AESMC for rounds 0 to 12 (each pair adjacent, so that cores which fuse them do), AESE alone
// for round 13, then round key 14.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

#include <cstddef>

namespace dallowgate::armv8_rounds {

// All rounds of N blocks but the addition of round key 14, the blocks advanced one round at a
// time.
template <std::size_t N>
ARM_AES_TARGET DALLOWGATE_INLINE void encrypt_but_last_key(const uint8x16_t* k,
                                                           uint8x16_t* blocks) {
#pragma GCC unroll 13
    for (int round = 0; round < 13; ++round) {
#pragma GCC unroll 16
        for (std::size_t i = 0; i < N; ++i) blocks[i] = vaesmcq_u8(vaeseq_u8(blocks[i], k[round]));
    }
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) blocks[i] = vaeseq_u8(blocks[i], k[13]);
}

// All rounds of N blocks.
template <std::size_t N>
ARM_AES_TARGET DALLOWGATE_INLINE void encrypt(const uint8x16_t* k, uint8x16_t* blocks) {
    encrypt_but_last_key<N>(k, blocks);
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) blocks[i] = veorq_u8(blocks[i], k[14]);
}

}  // namespace dallowgate::armv8_rounds

#endif
