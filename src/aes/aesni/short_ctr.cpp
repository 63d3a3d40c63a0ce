// The shortest CTR calls on AES-NI: four counter blocks encrypted while the key is expanded.
#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

#include "aes/aesni/key_steps.hpp"
#include "common/cpu_features.hpp"

namespace dallowgate {
namespace {

using namespace aesni_key_steps;

AES_TARGET inline void round4(__m128i* blocks, __m128i round_key) {
    for (int i = 0; i < 4; ++i) blocks[i] = _mm_aesenc_si128(blocks[i], round_key);
}

// Rounds 2 to 13 come in pairs: an even round key, then an odd one.
template <int Rcon>
AES_TARGET inline void round_pair(__m128i* blocks, __m128i& even, __m128i& odd) {
    even = next_even<Rcon>(even, odd);
    round4(blocks, even);
    odd = next_odd(odd, even);
    round4(blocks, odd);
}

// Encrypts the four blocks under `key`, expanding it on the way.
AES_TARGET inline void encrypt_four_expanding(const std::uint8_t* key, __m128i* blocks) {
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
AES_TARGET inline void short_keystream(const std::uint8_t* key, const std::uint8_t* in,
                                       std::uint8_t* out, std::size_t size, std::uint64_t& high,
                                       std::uint64_t& low, std::size_t& position) {
    __m128i blocks[4];
    AesNi::four_counter_blocks(high, low, blocks);
    encrypt_four_expanding(key, blocks);
    xor_four_block_keystream<AesNi>(blocks, in, out, size, high, low, position);
}
AES_LOOP_WRAPPER void short_keystream_sse(const std::uint8_t* key, const std::uint8_t* in,
                                          std::uint8_t* out, std::size_t size, std::uint64_t& high,
                                          std::uint64_t& low, std::size_t& position) {
    short_keystream(key, in, out, size, high, low, position);
}
AES_AVX_LOOP_WRAPPER void short_keystream_avx(const std::uint8_t* key, const std::uint8_t* in,
                                              std::uint8_t* out, std::size_t size,
                                              std::uint64_t& high, std::uint64_t& low,
                                              std::size_t& position) {
    short_keystream(key, in, out, size, high, low, position);
}

}  // namespace

void AesNi::xor_short_keystream(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t size, std::uint64_t& high, std::uint64_t& low,
                                std::size_t& position) {
    if (cpu_features().avx)
        short_keystream_avx(key, in, out, size, high, low, position);
    else
        short_keystream_sse(key, in, out, size, high, low, position);
}

}  // namespace dallowgate

#endif
