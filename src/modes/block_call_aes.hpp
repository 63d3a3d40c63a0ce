// Block operations for the mode loops over a backend whose keys encrypt and decrypt whole
// blocks in memory (libcrypto's contexts, the bitsliced AES): one call per block or batch.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "modes/counter_arithmetic.hpp"

namespace dallowgate {

template <class Keys>
class BlockCallAes {
public:
    struct Block {
        std::uint64_t low, high;
    };
    static constexpr std::size_t batch_width = 4;

    explicit BlockCallAes(const Keys& keys) : keys_(keys) {}

    static Block load(const std::uint8_t* p) {
        Block b;
        std::memcpy(&b, p, sizeof b);
        return b;
    }
    static void store(std::uint8_t* p, Block b) { std::memcpy(p, &b, sizeof b); }
    static Block xor_blocks(Block a, Block b) { return {a.low ^ b.low, a.high ^ b.high}; }
    // The 16-byte big-endian counter block of the 128-bit value high:low.
    static Block counter_block(std::uint64_t high, std::uint64_t low) {
        std::uint8_t bytes[16];
        store_counter_block(high, low, bytes);
        return load(bytes);
    }

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
    // The counter blocks of high:low + 0 .. 3.
    static void four_counter_blocks(std::uint64_t high, std::uint64_t low, Block* blocks) {
        counter_blocks<BlockCallAes, 4>(high, low, blocks);
    }
    void encrypt_four(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), 4);
    }
    void encrypt_batch(Block* blocks) const {
        keys_.encrypt(reinterpret_cast<const std::uint8_t*>(blocks),
                      reinterpret_cast<std::uint8_t*>(blocks), batch_width);
    }

    // out = in XOR the keystream of counter values high:low + 0 .. batch_width - 1, over
    // 16 * batch_width bytes (in and out may be the same).
    void xor_keystream_batch(std::uint64_t high, std::uint64_t low, const std::uint8_t* in,
                             std::uint8_t* out) const {
        xor_counter_keystream(*this, high, low, in, out);
    }

    // out = in XOR the keystream of `batches` * batch_width counter blocks from high:low,
    // advancing high:low past them.
    void xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t batches) const {
        if constexpr (requires { Keys::MAX_BLOCKS_PER_CALL; }) {
            if (keys_.runs_counter_mode()) {
                // The keys run CTR themselves, in runs of at most MAX_BLOCKS_PER_CALL blocks.
                for (std::size_t blocks = batches * batch_width; blocks != 0;) {
                    const std::size_t run = std::min(blocks, Keys::MAX_BLOCKS_PER_CALL);
                    std::uint8_t counter[16];
                    store_counter_block(high, low, counter);
                    keys_.xor_counter_keystream(counter, in, out, run);
                    advance_counter(high, low, run);
                    in += 16 * run;
                    out += 16 * run;
                    blocks -= run;
                }
                return;
            }
        }
        xor_keystream_batches(*this, high, low, in, out, batches);
    }

private:
    const Keys& keys_;
};

}  // namespace dallowgate
