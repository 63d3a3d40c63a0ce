// The block contract over a backend whose keys encrypt and decrypt whole blocks in memory
// (libcrypto's contexts, the bitsliced AES): one call per block or batch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

    // No instructions beyond the baseline: the loop runs as it is (Blocks may be a derived
    // type that adds optional parts).
    template <class Blocks, class Loop>
    static decltype(auto) run_loop(Loop& loop, const typename Blocks::Keys& keys) {
        const Blocks blocks(keys);
        return loop(blocks);
    }

    static Block load(const std::uint8_t* p) {
        Block b;
        std::memcpy(&b, p, sizeof b);
        return b;
    }
    static void store(std::uint8_t* p, Block b) { std::memcpy(p, &b, sizeof b); }
    static Block xor_blocks(Block a, Block b) { return {a.low ^ b.low, a.high ^ b.high}; }

    Block encrypt(Block x) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(&x),
                      reinterpret_cast<std::uint8_t*>(&x), 1);
        return x;
    }
    Block decrypt(Block x) const {
        keys_.decrypt(reinterpret_cast<const std::uint8_t*>(&x),
                      reinterpret_cast<std::uint8_t*>(&x), 1);
        return x;
    }
    Block encrypt_between(Block in, Block before, Block after) const {
        return xor_blocks(encrypt(xor_blocks(in, before)), after);
    }
    Block decrypt_between(Block in, Block before, Block after) const {
        return xor_blocks(decrypt(xor_blocks(in, before)), after);
    }
    void encrypt_four(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), 4);
    }
    void encrypt_batch(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), batch_width);
    }

protected:
    const Keys& keys_;
};

}  // namespace dallowgate
