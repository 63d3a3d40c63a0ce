// The ARMv8 backend: AES-256 on the Cryptographic Extension's AESE, AESMC, AESD and AESIMC, with
// the key schedule for the directions a call uses (key_expansion.cpp), block operations that
// the mode loops inline, its own CTR kernel (ctr_kernel.cpp) and short CTR call (short_ctr.cpp).
// Each round's AESE and AESMC stay adjacent, so that cores which fuse the pair do.
#pragma once

#include "common/platform.hpp"

#if DALLOWGATE_AARCH64

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

#include "aes/armv8/rounds.hpp"
#include "aes/backend.hpp"
#include "aes/contract.hpp"
#include "common/counter128.hpp"

namespace dallowgate {

namespace armv8_ctr {
// The CTR kernel over `batches` batches from high:low, where low + 8 * batches - 1 does not wrap:
// with AES alone (ctr_kernel.cpp), or where the CPU has EOR3 (ctr_kernel_eor3.cpp).
ARM_AES_TARGET void xor_keystream_without_carry_aes(const uint8x16_t* k, std::uint64_t high,
                                                    std::uint64_t low, const std::uint8_t* in,
                                                    std::uint8_t* out, std::size_t batches);
ARM_EOR3_TARGET void xor_keystream_without_carry_eor3(const uint8x16_t* k, std::uint64_t high,
                                                      std::uint64_t low, const std::uint8_t* in,
                                                      std::uint8_t* out, std::size_t batches);
}  // namespace armv8_ctr

// 15 encryption round keys, then the 15 round keys of the equivalent inverse cipher in the
// order they are used (decrypt[0] is encryption round key 14), expanded when `use` includes
// decryption. Erased when destroyed (the inverse round keys only where they were written).
struct Armv8AesKeys {
    uint8x16_t encrypt[15];
    uint8x16_t decrypt[15];
    bool has_decrypt;

    explicit Armv8AesKeys(const std::uint8_t* key, AesUse use = AesUse::both);
    ~Armv8AesKeys() {
        erase(encrypt);
        if (has_decrypt) erase(decrypt);
    }
    Armv8AesKeys(const Armv8AesKeys&) = delete;
    Armv8AesKeys& operator=(const Armv8AesKeys&) = delete;

private:
    // Fifteen 16-byte stores of a zero the compiler cannot see, which stay.
    static void erase(uint8x16_t (&round_keys)[15]) {
        uint8x16_t zero = vdupq_n_u8(0);
        __asm__("" : "+w"(zero));
        for (uint8x16_t& round_key : round_keys) round_key = zero;
        __asm__ __volatile__("" : : "r"(round_keys) : "memory");
    }
};

// Block operations over a schedule, always inlined into the mode loops (which run inside a
// target region with at least ARM_AES_FEATURES). They read the round keys from copies of their
// own, made where a loop starts, which no store of the loop can reach: the loop keeps them in
// registers (there are 32) instead of loading them for every block. Where the copies live in
// memory, they are erased there when the operations go away.
class Armv8Aes {
public:
    using Keys = Armv8AesKeys;
    using Block = uint8x16_t;
    static constexpr std::size_t batch_width = 8;

    ARM_AES_TARGET DALLOWGATE_INLINE explicit Armv8Aes(const Armv8AesKeys& keys) {
        for (int round = 0; round < 15; ++round) encrypt_[round] = keys.encrypt[round];
        for (int round = 0; round < 15; ++round)
            decrypt_[round] = keys.has_decrypt ? keys.decrypt[round] : vdupq_n_u8(0);
    }
    ARM_AES_TARGET DALLOWGATE_INLINE ~Armv8Aes() {
        volatile uint8x16_t* copies[] = {encrypt_, decrypt_};
        for (volatile uint8x16_t* round_keys : copies)
            for (int round = 0; round < 15; ++round) round_keys[round] = vdupq_n_u8(0);
    }
    Armv8Aes(const Armv8Aes&) = delete;
    Armv8Aes& operator=(const Armv8Aes&) = delete;

    ARM_AES_TARGET DALLOWGATE_INLINE static Block load(const std::uint8_t* p) {
        return vld1q_u8(p);
    }
    ARM_AES_TARGET DALLOWGATE_INLINE static void store(std::uint8_t* p, Block b) { vst1q_u8(p, b); }
    ARM_AES_TARGET DALLOWGATE_INLINE static Block xor_blocks(Block a, Block b) {
        return veorq_u8(a, b);
    }
    // The 16-byte big-endian counter block of the 128-bit value high:low.
    ARM_AES_TARGET DALLOWGATE_INLINE static Block counter_block(std::uint64_t high,
                                                                std::uint64_t low) {
        return vrev64q_u8(vreinterpretq_u8_u64(vcombine_u64(vcreate_u64(high), vcreate_u64(low))));
    }
    // The counter blocks of high:low + 0 .. 3, where the low half does not wrap among them.
    ARM_AES_TARGET DALLOWGATE_INLINE static void four_counter_blocks(std::uint64_t high,
                                                                     std::uint64_t low,
                                                                     Block* blocks) {
        counter_run<4>(high, low, blocks);
    }

    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt(Block x) const {
        const uint8x16_t zero = vdupq_n_u8(0);
        return encrypt_between(x, zero, zero);
    }
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt(Block x) const {
        const uint8x16_t zero = vdupq_n_u8(0);
        return decrypt_between(x, zero, zero);
    }

    // E(in ^ before) ^ after: `before` enters with round key 0 (AESE adds the key first) and
    // `after` with round key 14, so that a value carried from the previous block meets one XOR.
    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt_between(Block in, Block before,
                                                           Block after) const {
        return encrypt_chained(veorq_u8(in, before), veorq_u8(encrypt_[14], after));
    }

    // D(in ^ before) ^ after, arranged as encrypt_between.
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt_between(Block in, Block before,
                                                           Block after) const {
        return decrypt_chained(veorq_u8(in, before), veorq_u8(decrypt_[14], after));
    }

    // IGE's chain (AesChainedIge): AESE and AESD add the round key first, so the value carried
    // is the input itself, and the one XOR left on the chain is the last round key's, which
    // takes the folded text too.
    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt_entry(Block x) const { return x; }
    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt_exit(Block carried) const { return carried; }
    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt_fold_key() const { return encrypt_[14]; }
    ARM_AES_TARGET DALLOWGATE_INLINE Block encrypt_chained(Block carried, Block fold) const {
        const uint8x16_t* k = encrypt_;
#pragma GCC unroll 13
        for (int round = 0; round < 13; ++round) carried = vaesmcq_u8(vaeseq_u8(carried, k[round]));
        return veorq_u8(vaeseq_u8(carried, k[13]), fold);
    }
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt_entry(Block x) const { return x; }
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt_exit(Block carried) const { return carried; }
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt_fold_key() const { return decrypt_[14]; }

    // The rounds are one asm statement that takes all 15 round keys in registers: built from
    // intrinsics, clang's one-pass unpack loop (message/fused_unpack.cpp) kept the keys on the
    // stack and loaded them again in every step, which this leaves neither compiler room to do.
    ARM_AES_TARGET DALLOWGATE_INLINE Block decrypt_chained(Block carried, Block fold) const {
        const uint8x16_t* k = decrypt_;
        uint8x16_t x = carried;
        __asm__(
            "aesd %0.16b, %1.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %2.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %3.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %4.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %5.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %6.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %7.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %8.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %9.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %10.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %11.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %12.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %13.16b\n\taesimc %0.16b, %0.16b\n\t"
            "aesd %0.16b, %14.16b\n\t"
            "eor %0.16b, %0.16b, %15.16b"
            : "+w"(x)
            : "w"(k[0]), "w"(k[1]), "w"(k[2]), "w"(k[3]), "w"(k[4]), "w"(k[5]), "w"(k[6]),
              "w"(k[7]), "w"(k[8]), "w"(k[9]), "w"(k[10]), "w"(k[11]), "w"(k[12]), "w"(k[13]),
              "w"(fold));
        return x;
    }

    // Encrypts batch_width blocks, all advanced one round at a time.
    ARM_AES_TARGET DALLOWGATE_INLINE void encrypt_batch(Block* blocks) const {
        encrypt_group<batch_width>(blocks);
    }
    // Encrypts four blocks together (short CTR tails).
    ARM_AES_TARGET DALLOWGATE_INLINE void encrypt_four(Block* blocks) const {
        encrypt_group<4>(blocks);
    }

    // out = in XOR the keystream of `batches` * batch_width counter blocks from high:low,
    // advancing high:low past them: the batches whose counters carry into the high half one by
    // one, the runs between them by the kernel (ctr_kernel.cpp).
    ARM_AES_TARGET void xor_keystream(std::uint64_t& high, std::uint64_t& low,
                                      const std::uint8_t* in, std::uint8_t* out,
                                      std::size_t batches) const;

    // The shortest CTR calls (short_ctr.cpp): a keystream that lies within four counter blocks,
    // the key expanded while they are encrypted, each round key applied as soon as it exists;
    // no schedule is stored, so there is none to erase.
    static constexpr std::size_t short_keystream_reach = 64;
    ARM_AES_TARGET static void xor_short_keystream(const std::uint8_t* key, const std::uint8_t* in,
                                                   std::uint8_t* out, std::size_t size,
                                                   KeystreamPoint& point);

private:
    // The counter blocks of high:low + 0 .. N - 1 where the low half does not wrap among them.
    template <std::size_t N>
    ARM_AES_TARGET DALLOWGATE_INLINE static void counter_run(std::uint64_t high, std::uint64_t low,
                                                             Block* blocks) {
        const uint64x2_t native = vcombine_u64(vcreate_u64(high), vcreate_u64(low));
#pragma GCC unroll 8
        for (std::size_t i = 0; i < N; ++i)
            blocks[i] = vrev64q_u8(vreinterpretq_u8_u64(
                vaddq_u64(native, vcombine_u64(vcreate_u64(0), vcreate_u64(i)))));
    }

    // All rounds of N blocks, the blocks advanced one round at a time.
    template <std::size_t N>
    ARM_AES_TARGET DALLOWGATE_INLINE void encrypt_group(Block* blocks) const {
        armv8_rounds::encrypt<N>(encrypt_, blocks);
    }

    uint8x16_t encrypt_[15];
    uint8x16_t decrypt_[15];
};

static_assert(AesBlocks<Armv8Aes> && AesCounterBlocks<Armv8Aes> && AesCtrKernel<Armv8Aes> &&
              AesShortCtr<Armv8Aes> && AesChainedIge<Armv8Aes>);

}  // namespace dallowgate

#endif
