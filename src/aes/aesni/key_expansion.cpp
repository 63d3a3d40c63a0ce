// AES-256 key expansion (FIPS-197) with aesenclast (key_steps.hpp), and the equivalent inverse
// cipher's round keys with aesimc. Works on the schedule in place: no copies of round keys
// elsewhere.
#include "aes/aesni/aesni.hpp"

#include "aes/aesni/key_steps.hpp"
#include "common/cpu_features.hpp"

#if DALLOWGATE_X86

namespace dallowgate {
namespace {

using namespace aesni_key_steps;

template <int Rcon>
AES_TARGET DALLOWGATE_INLINE void expand_pair(__m128i* k, int i) {
    k[i] = next_even<Rcon>(k[i - 2], k[i - 1]);
    if (i + 1 < 15) k[i + 1] = next_odd(k[i - 1], k[i]);
}

// The encryption round keys. Inlined into two wrappers: with AVX's three-operand forms the
// expansion needs no register copies.
AES_TARGET DALLOWGATE_INLINE void expand(const std::uint8_t* key, __m128i* encrypt) {
    encrypt[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    encrypt[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
    expand_pair<0x01>(encrypt, 2);
    expand_pair<0x02>(encrypt, 4);
    expand_pair<0x04>(encrypt, 6);
    expand_pair<0x08>(encrypt, 8);
    expand_pair<0x10>(encrypt, 10);
    expand_pair<0x20>(encrypt, 12);
    expand_pair<0x40>(encrypt, 14);
}
AES_TARGET void expand_sse(const std::uint8_t* key, __m128i* encrypt) {
    expand(key, encrypt);
}
AES_AVX_TARGET void expand_avx(const std::uint8_t* key, __m128i* encrypt) {
    expand(key, encrypt);
}

AES_TARGET void invert(const __m128i* encrypt, __m128i* decrypt) {
    decrypt[0] = encrypt[14];
    for (int round = 1; round < 14; ++round) decrypt[round] = _mm_aesimc_si128(encrypt[14 - round]);
    decrypt[14] = encrypt[0];
}

}  // namespace

AesNiKeys::AesNiKeys(const std::uint8_t* key, AesUse use)
    : has_decrypt(use == AesUse::decrypt || use == AesUse::both) {
    if (cpu_features().avx)
        expand_avx(key, encrypt);
    else
        expand_sse(key, encrypt);
    if (has_decrypt) invert(encrypt, decrypt);
}

}  // namespace dallowgate

#endif
