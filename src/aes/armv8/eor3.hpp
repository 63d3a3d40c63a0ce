// EOR3 (a ^ b ^ c in one instruction), from the SHA3 extension of ARMv8.2: for the CTR kernel's
// build on CPUs that have it. Defined outside any target region: GCC carries a target attribute
// met inside a region over to the region's later functions.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

namespace dallowgate::armv8_ctr {

ARM_EOR3_TARGET DALLOWGATE_INLINE uint8x16_t eor3(uint8x16_t a, uint8x16_t b, uint8x16_t c) {
    return veor3q_u8(a, b, c);
}

}  // namespace dallowgate::armv8_ctr

#endif
