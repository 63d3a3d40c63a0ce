// The block contract over a backend whose keys encrypt and decrypt whole blocks in memory
// (libcrypto's contexts, the bitsliced AES): one call per block or batch, from loops compiled
// with no target beyond the baseline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/platform.hpp"

namespace dallowgate {

template <class KeySchedule>
class BlockCallAes {
public:
    using Keys = KeySchedule;
    struct Block {
        std::uint64_t low, high;
    };
    static constexpr std::size_t batch_width = 4;

    explicit BlockCallAes(const Keys& keys) : keys_(keys) {}

    DALLOWGATE_INLINE static Block load(const std::uint8_t* p) {
        Block b;
        std::memcpy(&b, p, sizeof b);
        return b;
    }
    DALLOWGATE_INLINE static void store(std::uint8_t* p, Block b) { std::memcpy(p, &b, sizeof b); }
    DALLOWGATE_INLINE static Block xor_blocks(Block a, Block b) {
        return {a.low ^ b.low, a.high ^ b.high};
    }

    DALLOWGATE_INLINE Block encrypt(Block x) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(&x),
                      reinterpret_cast<std::uint8_t*>(&x), 1);
        return x;
    }
    DALLOWGATE_INLINE Block decrypt(Block x) const {
        keys_.decrypt(reinterpret_cast<const std::uint8_t*>(&x),
                      reinterpret_cast<std::uint8_t*>(&x), 1);
        return x;
    }
    DALLOWGATE_INLINE Block encrypt_between(Block in, Block before, Block after) const {
        return xor_blocks(encrypt(xor_blocks(in, before)), after);
    }
    DALLOWGATE_INLINE Block decrypt_between(Block in, Block before, Block after) const {
        return xor_blocks(decrypt(xor_blocks(in, before)), after);
    }
    DALLOWGATE_INLINE void encrypt_four(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), 4);
    }
    DALLOWGATE_INLINE void encrypt_batch(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), batch_width);
    }

protected:
    const Keys& keys_;
};

}  // namespace dallowgate
