// Keystream batches over the block contract, built from its required parts (and its optional
// parts where a backend has them): for the CTR mode, and for backends' own CTR kernels where a
// batch's counter values carry into the high half.
//
// Generic code: included by the files that run it on a backend, inside that backend's target
// region (common/platform.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// The big-endian counter block of the 128-bit value high:low in the backend's working form.
template <AesBlocks Aes>
DALLOWGATE_INLINE typename Aes::Block counter_block(std::uint64_t high, std::uint64_t low) {
    if constexpr (AesCounterBlocks<Aes>) {
        return Aes::counter_block(high, low);
    } else {
        std::uint8_t bytes[16];
        store_counter_block(high, low, bytes);
        return Aes::load(bytes);
    }
}

// The counter blocks of high:low + 0 .. N - 1, formed one by one (any carry included).
template <AesBlocks Aes, std::size_t N>
DALLOWGATE_INLINE void counter_blocks(std::uint64_t high, std::uint64_t low,
                                      typename Aes::Block* blocks) {
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) {
        std::uint64_t block_high = high, block_low = low;
        advance_counter(block_high, block_low, i);
        blocks[i] = counter_block<Aes>(block_high, block_low);
    }
}

// The counter blocks of high:low + 0 .. 3.
template <AesBlocks Aes>
DALLOWGATE_INLINE void four_counter_blocks(std::uint64_t high, std::uint64_t low,
                                           typename Aes::Block* blocks) {
    if constexpr (AesCounterBlocks<Aes>) {
        if (!low_half_wraps(low, 4)) [[likely]]
            return Aes::four_counter_blocks(high, low, blocks);
    }
    counter_blocks<Aes, 4>(high, low, blocks);
}

// out = in XOR the keystream of counter values high:low + 0 .. Aes::batch_width - 1, over
// 16 * Aes::batch_width bytes (in and out may be the same).
template <AesBlocks Aes>
DALLOWGATE_INLINE void xor_counter_keystream(const Aes& aes, std::uint64_t high, std::uint64_t low,
                                             const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Block blocks[Aes::batch_width];
    counter_blocks<Aes, Aes::batch_width>(high, low, blocks);
    aes.encrypt_batch(blocks);
#pragma GCC unroll 16
    for (std::size_t i = 0; i < Aes::batch_width; ++i)
        Aes::store(out + 16 * i, Aes::xor_blocks(Aes::load(in + 16 * i), blocks[i]));
}

// `batches` keystream batches one after another (the backend's own batch where it has one and
// the low half does not wrap within it), advancing high:low past them.
template <AesBlocks Aes>
DALLOWGATE_INLINE void xor_keystream_batches(const Aes& aes, std::uint64_t& high,
                                             std::uint64_t& low, const std::uint8_t* in,
                                             std::uint8_t* out, std::size_t batches) {
    for (; batches != 0; --batches, in += 16 * Aes::batch_width, out += 16 * Aes::batch_width) {
        if constexpr (AesKeystreamBatch<Aes>) {
            if (!low_half_wraps(low, Aes::batch_width))
                aes.xor_keystream_batch(high, low, in, out);
            else
                xor_counter_keystream(aes, high, low, in, out);
        } else {
            xor_counter_keystream(aes, high, low, in, out);
        }
        advance_counter(high, low, Aes::batch_width);
    }
}

// `batches` keystream batches through a kernel that runs only where the low half of the counter
// does not wrap: `without_carry(high, low, in, out, run)` over runs of batches whose counters
// all stay below the wrap, and the batch that wraps through the generic form. Advances high:low
// past them.
template <AesBlocks Aes, class WithoutCarry>
DALLOWGATE_INLINE void xor_keystream_runs(const Aes& aes, std::uint64_t& high, std::uint64_t& low,
                                          const std::uint8_t* in, std::uint8_t* out,
                                          std::size_t batches, WithoutCarry without_carry) {
    constexpr std::size_t W = Aes::batch_width;
    constexpr std::uint64_t MAX = ~std::uint64_t{0};
    while (batches != 0) {
        std::size_t run = 1;
        if (low_half_wraps(low, W)) {
            xor_counter_keystream(aes, high, low, in, out);
        } else {
            const std::uint64_t below_wrap = (MAX - low - (W - 1)) / W + 1;
            run = below_wrap < batches ? below_wrap : batches;
            without_carry(high, low, in, out, run);
        }
        advance_counter(high, low, run * W);
        in += 16 * W * run;
        out += 16 * W * run;
        batches -= run;
    }
}

// The end of a short CTR call: out = in XOR `size` bytes of the keystream of four encrypted
// counter blocks from the point's byte (position + size <= 64), the keystream wiped; advances
// the point past the bytes used.
template <AesBlocks Aes>
DALLOWGATE_INLINE void xor_four_block_keystream(const typename Aes::Block* blocks,
                                                const std::uint8_t* in, std::uint8_t* out,
                                                std::size_t size, KeystreamPoint& point) {
    std::uint8_t keystream[64];
    for (int i = 0; i < 4; ++i) Aes::store(keystream + 16 * i, blocks[i]);
    const std::uint8_t* from = keystream + point.position;
    std::size_t j = 0;
    for (; j + 16 <= size; j += 16)
        Aes::store(out + j, Aes::xor_blocks(Aes::load(in + j), Aes::load(from + j)));
    for (; j < size; ++j) out[j] = in[j] ^ from[j];
    wipe(keystream, sizeof keystream);
    const std::size_t end = point.position + size;
    advance_counter(point.high, point.low, end / 16);
    point.position = end % 16;
}

}  // namespace dallowgate
