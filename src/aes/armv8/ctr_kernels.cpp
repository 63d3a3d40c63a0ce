// The ARMv8 CTR kernel's two builds: with AES alone, and on CPUs with the SHA3 extension, where
// EOR3 adds round key 14 and the text to each keystream block in one instruction. Each works
// from copies of the round keys of its own, which stay in registers, erased where they lie in
// memory.
#include "aes/armv8/ctr_kernel.hpp"

#if DALLOWGATE_AARCH64

namespace dallowgate::armv8_ctr {
namespace {

template <bool Eor3>
void from_copies(const uint8x16_t* k, std::uint64_t high, std::uint64_t low, const std::uint8_t* in,
                 std::uint8_t* out, std::size_t batches) {
    uint8x16_t keys[15];
    for (int round = 0; round < 15; ++round) keys[round] = k[round];
    xor_keystream_without_carry<Eor3>(keys, high, low, in, out, batches);
    volatile uint8x16_t* copy = keys;
    for (int round = 0; round < 15; ++round) copy[round] = vdupq_n_u8(0);
}

}  // namespace

ARM_AES_LOOP_WRAPPER void xor_keystream_without_carry_aes(const uint8x16_t* k, std::uint64_t high,
                                                          std::uint64_t low, const std::uint8_t* in,
                                                          std::uint8_t* out, std::size_t batches) {
    from_copies<false>(k, high, low, in, out, batches);
}

ARM_AES_EOR3_LOOP_WRAPPER void xor_keystream_without_carry_eor3(
    const uint8x16_t* k, std::uint64_t high, std::uint64_t low, const std::uint8_t* in,
    std::uint8_t* out, std::size_t batches) {
    from_copies<true>(k, high, low, in, out, batches);
}

}  // namespace dallowgate::armv8_ctr

#endif
