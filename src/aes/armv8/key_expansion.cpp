// AES-256 key expansion (FIPS-197) on AESE, and the equivalent inverse cipher's round keys with
// AESIMC. Works on the schedule in place: no copies of round keys elsewhere.
#include "aes/armv8/armv8.hpp"

#if DALLOWGATE_AARCH64

#include "aes/armv8/key_steps.hpp"

namespace dallowgate {
namespace {

using namespace armv8_key_steps;

template <unsigned Rcon>
ARM_AES_TARGET DALLOWGATE_INLINE void expand_pair(uint8x16_t* k, int i) {
    k[i] = next_even<Rcon>(k[i - 2], k[i - 1]);
    if (i + 1 < 15) k[i + 1] = next_odd(k[i - 1], k[i]);
}

ARM_AES_TARGET void expand(const std::uint8_t* key, uint8x16_t* encrypt) {
    encrypt[0] = vld1q_u8(key);
    encrypt[1] = vld1q_u8(key + 16);
    expand_pair<0x01>(encrypt, 2);
    expand_pair<0x02>(encrypt, 4);
    expand_pair<0x04>(encrypt, 6);
    expand_pair<0x08>(encrypt, 8);
    expand_pair<0x10>(encrypt, 10);
    expand_pair<0x20>(encrypt, 12);
    expand_pair<0x40>(encrypt, 14);
}

ARM_AES_TARGET void invert(const uint8x16_t* encrypt, uint8x16_t* decrypt) {
    decrypt[0] = encrypt[14];
    for (int round = 1; round < 14; ++round) decrypt[round] = vaesimcq_u8(encrypt[14 - round]);
    decrypt[14] = encrypt[0];
}

}  // namespace

Armv8AesKeys::Armv8AesKeys(const std::uint8_t* key, AesUse use)
    : has_decrypt(use == AesUse::decrypt || use == AesUse::both) {
    expand(key, encrypt);
    if (has_decrypt) invert(encrypt, decrypt);
}

}  // namespace dallowgate

#endif
