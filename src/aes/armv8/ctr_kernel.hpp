// The ARMv8 CTR keystream kernel over runs of batches whose counters do not carry into the
// high half: eight counter blocks in flight. Where the lowest byte of the counter does not carry
// within a run either, a counter block is the one before it plus one in its last byte (one byte
// add); elsewhere it is the 64-bit sum, byte reversed.
//
// Generic code: included by the kernel's two builds (ctr_kernel.cpp, ctr_kernel_eor3.cpp), each
// inside its target region (common/platform.hpp).
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

#include "aes/armv8/eor3.hpp"
#include "aes/armv8/rounds.hpp"

namespace dallowgate::armv8_ctr {

inline constexpr std::size_t BATCH = 8;

// out = in XOR the keystream of one batch of counter blocks (formed by the caller). With
// `Eor3`, round key 14 and the text meet the block in one EOR3.
template <bool Eor3>
DALLOWGATE_INLINE void xor_batch(const uint8x16_t* k, uint8x16_t* blocks, const std::uint8_t* in,
                                 std::uint8_t* out) {
    if constexpr (Eor3)
        armv8_rounds::encrypt_but_last_key<BATCH>(k, blocks);
    else
        armv8_rounds::encrypt<BATCH>(k, blocks);
    // Four blocks at a time, loads together and stores together, so that they pair up.
#pragma GCC unroll 2
    for (std::size_t half = 0; half < BATCH; half += 4) {
        uint8x16_t text[4];
#pragma GCC unroll 4
        for (std::size_t i = 0; i < 4; ++i) text[i] = vld1q_u8(in + 16 * (half + i));
#pragma GCC unroll 4
        for (std::size_t i = 0; i < 4; ++i) {
            if constexpr (Eor3)
                text[i] = eor3(text[i], blocks[half + i], k[14]);
            else
                text[i] = veorq_u8(text[i], blocks[half + i]);
        }
#pragma GCC unroll 4
        for (std::size_t i = 0; i < 4; ++i) vst1q_u8(out + 16 * (half + i), text[i]);
    }
}

// The big-endian counter block of high:low.
DALLOWGATE_INLINE uint8x16_t counter_block(uint64x2_t native) {
    return vrev64q_u8(vreinterpretq_u8_u64(native));
}

// `batches` batches from high:low, where low + 8 * batches - 1 does not wrap.
template <bool Eor3>
DALLOWGATE_INLINE void xor_keystream_without_carry(const uint8x16_t* k, std::uint64_t high,
                                                   std::uint64_t low, const std::uint8_t* in,
                                                   std::uint8_t* out, std::size_t batches) {
    // The round keys as values of their own, which the loop keeps in registers (read from `k`
    // in the loop, they were loaded again for every batch by some compilers).
    uint8x16_t round_keys[15];
    for (int round = 0; round < 15; ++round) round_keys[round] = k[round];
    k = round_keys;
    // 1, 2 and 4 in the last byte: eight counter blocks from the first in eight adds.
    uint8x16_t one = vsetq_lane_u8(1, vdupq_n_u8(0), 15);
    __asm__("" : "+w"(one));
    uint8x16_t two = vaddq_u8(one, one), four = vaddq_u8(two, two);
    __asm__("" : "+w"(two), "+w"(four));  // values to keep, not constants to load again
    const uint64x2_t native_one = vcombine_u64(vcreate_u64(0), vcreate_u64(1));
    while (batches != 0) {
        uint8x16_t blocks[BATCH];
        const std::uint64_t low_byte = low & 0xff;
        if (low_byte <= 0x100 - BATCH) {
            // Counters low .. low + 8 * run - 1 all share every byte but the last.
            const std::size_t fit = (0x100 - low_byte) / BATCH;
            const std::size_t run = fit < batches ? fit : batches;
            uint8x16_t next = counter_block(vcombine_u64(vcreate_u64(high), vcreate_u64(low)));
            for (std::size_t b = 0; b < run; ++b, in += 16 * BATCH, out += 16 * BATCH) {
                blocks[0] = next;
                blocks[1] = vaddq_u8(next, one);
                blocks[2] = vaddq_u8(next, two);
                blocks[3] = vaddq_u8(blocks[1], two);
                blocks[4] = vaddq_u8(next, four);
                blocks[5] = vaddq_u8(blocks[1], four);
                blocks[6] = vaddq_u8(blocks[2], four);
                blocks[7] = vaddq_u8(blocks[3], four);
                next = vaddq_u8(blocks[4], four);
                xor_batch<Eor3>(k, blocks, in, out);
            }
            low += BATCH * run;
            batches -= run;
        } else {
            uint64x2_t native = vcombine_u64(vcreate_u64(high), vcreate_u64(low));
#pragma GCC unroll 8
            for (std::size_t i = 0; i < BATCH; ++i, native = vaddq_u64(native, native_one))
                blocks[i] = counter_block(native);
            xor_batch<Eor3>(k, blocks, in, out);
            low += BATCH;
            in += 16 * BATCH;
            out += 16 * BATCH;
            --batches;
        }
    }
}

}  // namespace dallowgate::armv8_ctr

#endif
