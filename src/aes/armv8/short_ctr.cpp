// The shortest CTR calls on ARMv8: four counter blocks encrypted while the key is expanded.
#include "aes/armv8/armv8.hpp"

#if DALLOWGATE_AARCH64

#include <cstddef>
#include <cstdint>

#include "aes/armv8/key_steps.hpp"
#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(ARM_AES_FEATURES)
#include "aes/keystream.hpp"

namespace dallowgate {
namespace {

using namespace armv8_key_steps;

DALLOWGATE_INLINE void round4(uint8x16_t* blocks, uint8x16_t round_key) {
    for (int i = 0; i < 4; ++i) blocks[i] = vaesmcq_u8(vaeseq_u8(blocks[i], round_key));
}

// Rounds 2 to 13 come in pairs: an even round key, then an odd one.
template <unsigned Rcon>
DALLOWGATE_INLINE void round_pair(uint8x16_t* blocks, uint8x16_t& even, uint8x16_t& odd) {
    even = next_even<Rcon>(even, odd);
    round4(blocks, even);
    odd = next_odd(odd, even);
    round4(blocks, odd);
}

// Encrypts the four blocks under `key`, expanding it on the way.
DALLOWGATE_INLINE void encrypt_four_expanding(const std::uint8_t* key, uint8x16_t* blocks) {
    uint8x16_t even = vld1q_u8(key);
    uint8x16_t odd = vld1q_u8(key + 16);
    round4(blocks, even);
    round4(blocks, odd);
    round_pair<0x01>(blocks, even, odd);
    round_pair<0x02>(blocks, even, odd);
    round_pair<0x04>(blocks, even, odd);
    round_pair<0x08>(blocks, even, odd);
    round_pair<0x10>(blocks, even, odd);
    // Round 12 (even) with MixColumns, round 13 (odd) without, then round key 14.
    even = next_even<0x20>(even, odd);
    round4(blocks, even);
    odd = next_odd(odd, even);
    for (int i = 0; i < 4; ++i) blocks[i] = vaeseq_u8(blocks[i], odd);
    even = next_even<0x40>(even, odd);
    for (int i = 0; i < 4; ++i) blocks[i] = veorq_u8(blocks[i], even);
}

}  // namespace

void Armv8Aes::xor_short_keystream(const std::uint8_t* key, const std::uint8_t* in,
                                   std::uint8_t* out, std::size_t size, KeystreamPoint& point) {
    uint8x16_t blocks[4];
    dallowgate::four_counter_blocks<Armv8Aes>(point.high, point.low, blocks);
    encrypt_four_expanding(key, blocks);
    xor_four_block_keystream<Armv8Aes>(blocks, in, out, size, point);
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
