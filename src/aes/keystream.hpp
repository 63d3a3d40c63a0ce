// Keystream batches over the block contract, built from its required parts (and its counter
// blocks where a backend has them): for the CTR mode, and for backends' own CTR kernels when a
// batch's counter values carry into the high half.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// The big-endian counter block of the 128-bit value high:low in the backend's working form.
template <AesBlocks Aes>
typename Aes::Block counter_block(std::uint64_t high, std::uint64_t low) {
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
void counter_blocks(std::uint64_t high, std::uint64_t low, typename Aes::Block* blocks) {
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) {
        std::uint64_t block_high = high, block_low = low;
        advance_counter(block_high, block_low, i);
        blocks[i] = counter_block<Aes>(block_high, block_low);
    }
}

// The counter blocks of high:low + 0 .. 3.
template <AesBlocks Aes>
void four_counter_blocks(std::uint64_t high, std::uint64_t low, typename Aes::Block* blocks) {
    if constexpr (AesCounterBlocks<Aes>)
        Aes::four_counter_blocks(high, low, blocks);
    else
        counter_blocks<Aes, 4>(high, low, blocks);
}

// out = in XOR the keystream of counter values high:low + 0 .. Aes::batch_width - 1, over
// 16 * Aes::batch_width bytes (in and out may be the same).
template <AesBlocks Aes>
void xor_counter_keystream(const Aes& aes, std::uint64_t high, std::uint64_t low,
                           const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Block blocks[Aes::batch_width];
    counter_blocks<Aes, Aes::batch_width>(high, low, blocks);
    aes.encrypt_batch(blocks);
#pragma GCC unroll 16
    for (std::size_t i = 0; i < Aes::batch_width; ++i)
        Aes::store(out + 16 * i, Aes::xor_blocks(Aes::load(in + 16 * i), blocks[i]));
}

// `batches` keystream batches one after another (the backend's own batch where it has one),
// advancing high:low past them.
template <AesBlocks Aes>
void xor_keystream_batches(const Aes& aes, std::uint64_t& high, std::uint64_t& low,
                           const std::uint8_t* in, std::uint8_t* out, std::size_t batches) {
    for (; batches != 0; --batches, in += 16 * Aes::batch_width, out += 16 * Aes::batch_width) {
        if constexpr (AesKeystreamBatch<Aes>)
            aes.xor_keystream_batch(high, low, in, out);
        else
            xor_counter_keystream(aes, high, low, in, out);
        advance_counter(high, low, Aes::batch_width);
    }
}

// The end of a short CTR call: out = in XOR `size` bytes of the keystream of four encrypted
// counter blocks from byte `position` (position + size <= 64), the keystream wiped; advances
// high:low and position past the bytes used.
template <AesBlocks Aes>
void xor_four_block_keystream(const typename Aes::Block* blocks, const std::uint8_t* in,
                              std::uint8_t* out, std::size_t size, std::uint64_t& high,
                              std::uint64_t& low, std::size_t& position) {
    std::uint8_t keystream[64];
    for (int i = 0; i < 4; ++i) Aes::store(keystream + 16 * i, blocks[i]);
    const std::uint8_t* from = keystream + position;
    std::size_t j = 0;
    for (; j + 16 <= size; j += 16)
        Aes::store(out + j, Aes::xor_blocks(Aes::load(in + j), Aes::load(from + j)));
    for (; j < size; ++j) out[j] = in[j] ^ from[j];
    wipe(keystream, sizeof keystream);
    const std::size_t end = position + size;
    advance_counter(high, low, end / 16);
    position = end % 16;
}

}  // namespace dallowgate
