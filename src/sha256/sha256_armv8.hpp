// SHA-256 compression on the ARMv8 SHA2 instructions, ours so that it can be interleaved with
// other work: the state lives in two registers and a block's 64 rounds run as 16 groups of four
// that a caller may spread between other instructions. Only on CPUs whose CPU-feature record
// has arm_sha2.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "sha256/round_constants.hpp"

namespace dallowgate {

// One SHA-256 state (words a to d, e to h), with the block in progress.
class Armv8ShaState {
public:
    // The initial hash value of SHA-256.
    ARM_SHA2_TARGET DALLOWGATE_INLINE Armv8ShaState()
        : abcd_(vld1q_u32(SHA256_INITIAL)), efgh_(vld1q_u32(SHA256_INITIAL + 4)), k_(SHA256_K) {
        // The constants through one register: each group's four load at an offset from it,
        // rather than each from an address of its own.
        __asm__("" : "+r"(k_));
    }

    // Starts a block: its message words loaded, the state saved for the final addition.
    ARM_SHA2_TARGET DALLOWGATE_INLINE void begin(const std::uint8_t* block) {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            w_[i] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(block + 16 * i)));
        saved_abcd_ = abcd_;
        saved_efgh_ = efgh_;
    }

    // Rounds 4G to 4G + 3 with their constants `k`, and the message schedule's part of this
    // group.
    template <int G>
    ARM_SHA2_TARGET DALLOWGATE_INLINE void group(uint32x4_t k) {
        uint32x4_t& current = w_[G % 4];
        const uint32x4_t message = vaddq_u32(current, k);
        const uint32x4_t abcd = abcd_;
        abcd_ = vsha256hq_u32(abcd_, efgh_, message);
        efgh_ = vsha256h2q_u32(efgh_, abcd, message);
        if constexpr (G < 12)  // the words of group G + 4
            current = vsha256su1q_u32(vsha256su0q_u32(current, w_[(G + 1) % 4]), w_[(G + 2) % 4],
                                      w_[(G + 3) % 4]);
    }

    // Groups First to Last (inclusive), the constants of two groups loaded together.
    template <int First, int Last>
    ARM_SHA2_TARGET DALLOWGATE_INLINE void groups() {
        if constexpr (First < Last) {
            // One LDP, which compilers do not always pair on their own; volatile, so that it
            // stays in the block's rounds rather than being hoisted out of a loop over blocks
            // (clang did, and then kept the constants on the stack).
            // The table it reads is an input too, so that the compiler knows what memory the
            // statement depends on (at k_'s own register, so that no other address is formed).
            uint32x4_t k0, k1;
            __asm__ __volatile__("ldp %q0, %q1, [%2, %3]"
                                 : "=w"(k0), "=w"(k1)
                                 : "r"(k_), "i"(16 * First),
                                   "m"(SHA256_K));
            group<First>(k0);
            group<First + 1>(k1);
            if constexpr (First + 1 < Last) groups<First + 2, Last>();
        } else {
            group<First>(vld1q_u32(k_ + 4 * First));
        }
    }

    // Ends a block: adds the saved state.
    ARM_SHA2_TARGET DALLOWGATE_INLINE void end() {
        abcd_ = vaddq_u32(abcd_, saved_abcd_);
        efgh_ = vaddq_u32(efgh_, saved_efgh_);
    }

    // begin() and end() with the state saved in `saved` (one STP and one LDP) rather than in two
    // registers, for the one-pass unpack loop, which needs every vector register for other work:
    // clang then keeps the loop's round keys in registers rather than loading them again in
    // every step (and GCC's loop keeps its length).
    struct Saved {
        uint32x4_t words[2];
    };
    ARM_SHA2_TARGET DALLOWGATE_INLINE void begin(const std::uint8_t* block, Saved& saved) {
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            w_[i] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(block + 16 * i)));
        __asm__ __volatile__("stp %q1, %q2, %0" : "=Q"(saved) : "w"(abcd_), "w"(efgh_));
    }
    ARM_SHA2_TARGET DALLOWGATE_INLINE void end(const Saved& saved) {
        uint32x4_t abcd, efgh;
        __asm__ __volatile__("ldp %q0, %q1, %2" : "=w"(abcd), "=w"(efgh) : "Q"(saved));
        abcd_ = vaddq_u32(abcd_, abcd);
        efgh_ = vaddq_u32(efgh_, efgh);
    }

    // A whole block.
    ARM_SHA2_TARGET DALLOWGATE_INLINE void compress(const std::uint8_t* block) {
        begin(block);
        groups<0, 15>();
        end();
    }

    // The 32-byte digest of the state (big-endian words a to h).
    ARM_SHA2_TARGET DALLOWGATE_INLINE std::array<std::uint8_t, 32> digest() const {
        std::array<std::uint8_t, 32> out;
        vst1q_u8(out.data(), vrev32q_u8(vreinterpretq_u8_u32(abcd_)));
        vst1q_u8(out.data() + 16, vrev32q_u8(vreinterpretq_u8_u32(efgh_)));
        return out;
    }

    // Overwrites the state, the saved state and the message words with zeros.
    ARM_SHA2_TARGET DALLOWGATE_INLINE void erase() {
        uint32x4_t zero = vdupq_n_u32(0);
        __asm__("" : "+w"(zero));
        abcd_ = efgh_ = saved_abcd_ = saved_efgh_ = zero;
        for (uint32x4_t& word : w_) word = zero;
        __asm__ __volatile__("" : : "r"(this) : "memory");
    }

private:
    uint32x4_t abcd_, efgh_, saved_abcd_{}, saved_efgh_{};  // all defined, so a state may be copied
    uint32x4_t w_[4]{};
    const std::uint32_t* k_;
};

// The SHA-256 of `prefix` (at most 64 bytes) followed by `message`, over Armv8ShaState.
std::array<std::uint8_t, 32> sha256_armv8(const std::uint8_t* prefix, std::size_t prefix_size,
                                          const std::uint8_t* message, std::size_t size);

}  // namespace dallowgate

#endif
