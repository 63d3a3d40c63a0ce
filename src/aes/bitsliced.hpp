// A constant-time bitsliced AES-256 of our own, for CPUs where neither AES instructions nor a
// constant-time libcrypto AES exist (x86-64 without AES-NI and SSSE3, where libcrypto would use
// lookup tables, and architectures libcrypto has no vector AES for). No table lookups and no
// branches on keys or data: four blocks at a time, each bit of the state in its own word.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/backend.hpp"
#include "aes/block_call.hpp"
#include "aes/contract.hpp"

namespace dallowgate {

// The 15 round keys of one AES-256 key in bitsliced form; overwritten with zeros when released.
class BitslicedAesKeys {
public:
    static constexpr std::size_t lanes = 4;  // blocks per bitsliced pass

    // One schedule serves both directions, whatever the use.
    explicit BitslicedAesKeys(const std::uint8_t* key, AesUse use = AesUse::both);
    ~BitslicedAesKeys();
    BitslicedAesKeys(const BitslicedAesKeys&) = delete;
    BitslicedAesKeys& operator=(const BitslicedAesKeys&) = delete;

    // Any number of whole blocks (in and out may be the same).
    void encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
    void decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;

    // The schedule's storage, for the tests that check its erasure.
    const std::uint64_t* schedule() const { return &round_keys_[0][0]; }
    static constexpr std::size_t schedule_words = 15 * 8;

private:
    std::uint64_t round_keys_[15][8];
};

// Block operations over the bitsliced AES, for the mode loops.
using BitslicedAes = BlockCallAes<BitslicedAesKeys>;
static_assert(AesBlocks<BitslicedAes>);

// The AES S-box of one byte, computed by the bitsliced circuit (constant-time; for the key
// schedule and the tests).
std::uint8_t bitsliced_sbox(std::uint8_t x);

}  // namespace dallowgate
