// The CTR keystream over the block contract, from any byte of a counter block: the rest of a
// partly used block, whole batches (through the backend's own kernel where it has one), then
// the last blocks four at a time.
//
// Generic code: included by the files that run it on a backend, inside that backend's target
// region (common/platform.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "aes/keystream.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// out[i] = in[i] ^ byte from + i of the keystream block, for `count` bytes.
template <AesBlocks Aes>
DALLOWGATE_INLINE void xor_partial_block(typename Aes::Block keystream_block,
                                         const std::uint8_t* in, std::uint8_t* out,
                                         std::size_t from, std::size_t count) {
    std::uint8_t keystream[16];
    Aes::store(keystream, keystream_block);
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i] ^ keystream[from + i];
    wipe(keystream, sizeof keystream);
}

// The last n bytes (fewer than a batch): in the backend's own way where it has one, else their
// counter blocks encrypted four at a time, so that the rounds of independent blocks overlap; the
// last block may be used in part, and its counter then stays current with `p` bytes of it used.
template <AesBlocks Aes>
DALLOWGATE_INLINE void ctr_tail(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t n, std::uint64_t& high, std::uint64_t& low,
                                std::size_t& p) {
    if constexpr (AesKeystreamTail<Aes>) {  // the backend's own, where the low half holds
        if (n != 0 && !low_half_wraps(low, (n + 15) / 16)) {
            aes.xor_keystream_tail(high, low, in, out, n);
            advance_counter(high, low, n / 16);
            p = n % 16;
            return;
        }
    }
    while (n != 0) {
        typename Aes::Block blocks[4];
        four_counter_blocks<Aes>(high, low, blocks);
        aes.encrypt_four(blocks);
        const std::size_t whole = n / 16 < 4 ? n / 16 : 4;
        for (std::size_t i = 0; i < whole; ++i)
            Aes::store(out + 16 * i, Aes::xor_blocks(Aes::load(in + 16 * i), blocks[i]));
        advance_counter(high, low, whole);
        in += 16 * whole;
        out += 16 * whole;
        n -= 16 * whole;
        if (whole < 4 && n != 0) {
            xor_partial_block<Aes>(blocks[whole], in, out, 0, n);
            p = n;
            return;
        }
    }
}

template <AesBlocks Aes>
DALLOWGATE_INLINE void ctr_keystream(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                                     std::size_t n, std::uint64_t& high, std::uint64_t& low,
                                     std::size_t& p) {
    constexpr std::size_t W = Aes::batch_width;
    if (n == 0) return;

    // Head: the rest of a partly used keystream block.
    if (p != 0) {
        const std::size_t m = n < 16 - p ? n : 16 - p;
        xor_partial_block<Aes>(aes.encrypt(counter_block<Aes>(high, low)), in, out, p, m);
        p += m;
        if (p == 16) {
            p = 0;
            advance_counter(high, low, 1);
        }
        if (p != 0 || m == n) return;
        in += m;
        out += m;
        n -= m;
    }

    // Bulk: W counter blocks at a time, encrypted together (by the backend's own CTR kernel
    // where it has one).
    if (const std::size_t batches = n / (16 * W)) {
        if constexpr (AesCtrKernel<Aes>)
            aes.xor_keystream(high, low, in, out, batches);
        else
            xor_keystream_batches(aes, high, low, in, out, batches);
        in += 16 * W * batches;
        out += 16 * W * batches;
        n -= 16 * W * batches;
    }

    // The rest (fewer than W blocks): four counter blocks at a time.
    ctr_tail(aes, in, out, n, high, low, p);
}

}  // namespace dallowgate
