// The shortest CTR calls on AES-NI: four counter blocks encrypted while the key is expanded.
#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

#include "aes/aesni/key_steps.hpp"
#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/cpu_features.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(AES_FEATURES)
#include "aes/keystream.hpp"

namespace dallowgate {
namespace {

using namespace aesni_key_steps;

DALLOWGATE_INLINE void round4(__m128i* blocks, __m128i round_key) {
    for (int i = 0; i < 4; ++i) blocks[i] = _mm_aesenc_si128(blocks[i], round_key);
}

// Rounds 2 to 13 come in pairs: an even round key, then an odd one.
template <int Rcon>
DALLOWGATE_INLINE void round_pair(__m128i* blocks, __m128i& even, __m128i& odd) {
    even = next_even<Rcon>(even, odd);
    round4(blocks, even);
    odd = next_odd(odd, even);
    round4(blocks, odd);
}

// Encrypts the four blocks under `key`, expanding it on the way.
DALLOWGATE_INLINE void encrypt_four_expanding(const std::uint8_t* key, __m128i* blocks) {
    __m128i even = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    __m128i odd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
    for (int i = 0; i < 4; ++i) blocks[i] = _mm_xor_si128(blocks[i], even);
    round4(blocks, odd);
    round_pair<0x01>(blocks, even, odd);
    round_pair<0x02>(blocks, even, odd);
    round_pair<0x04>(blocks, even, odd);
    round_pair<0x08>(blocks, even, odd);
    round_pair<0x10>(blocks, even, odd);
    round_pair<0x20>(blocks, even, odd);
    even = next_even<0x40>(even, odd);
    for (int i = 0; i < 4; ++i) blocks[i] = _mm_aesenclast_si128(blocks[i], even);
}

// The whole call, inlined into the two builds below.
DALLOWGATE_INLINE void short_keystream(const std::uint8_t* key, const std::uint8_t* in,
                                       std::uint8_t* out, std::size_t size, KeystreamPoint& point) {
    __m128i blocks[4];
    four_counter_blocks<AesNi>(point.high, point.low, blocks);
    encrypt_four_expanding(key, blocks);
    xor_four_block_keystream<AesNi>(blocks, in, out, size, point);
}
}  // namespace
}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

namespace dallowgate {
namespace {

// The two builds, outside the region (a function with a target of its own stays out of
// regions), and the choice between them, which stays a branch to one or the other.
AES_TARGET void short_keystream_sse(const std::uint8_t* key, const std::uint8_t* in,
                                    std::uint8_t* out, std::size_t size, KeystreamPoint& point) {
    short_keystream(key, in, out, size, point);
}
AES_AVX_TARGET void short_keystream_avx(const std::uint8_t* key, const std::uint8_t* in,
                                        std::uint8_t* out, std::size_t size,
                                        KeystreamPoint& point) {
    short_keystream(key, in, out, size, point);
}

}  // namespace

void AesNi::xor_short_keystream(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t size, KeystreamPoint& point) {
    if (cpu_features().avx)
        short_keystream_avx(key, in, out, size, point);
    else
        short_keystream_sse(key, in, out, size, point);
}

}  // namespace dallowgate

#endif
