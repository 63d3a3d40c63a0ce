// What an AES backend offers the mode loops: a blocks type, built over one call's key schedule,
// whose block operations the loops inline (DALLOWGATE_INLINE, with the backend's target, where
// the backend has instructions of its own). Required parts first, then the optional parts a
// backend may add for speed; the loops use an optional part where it exists and a generic
// form over the required parts where it does not. Each backend is checked against these
// concepts beside its definition.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>

#include "common/counter128.hpp"

namespace dallowgate {

// The required parts.
// - Block: one 16-byte block in the backend's working form; Keys: the schedule it reads.
// - load, store and xor_blocks of blocks in memory.
// - encrypt and decrypt of one block; encrypt_between(in, before, after) is
//   E(in ^ before) ^ after, and decrypt_between the same with D (IGE's chain step).
// - encrypt_batch: batch_width blocks at once; encrypt_four: four (short CTR tails).
template <class Aes>
concept AesBlocks = requires(const Aes& aes, typename Aes::Block block, typename Aes::Block* blocks,
                             const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Keys;
    requires std::constructible_from<Aes, const typename Aes::Keys&>;
    { Aes::batch_width } -> std::convertible_to<std::size_t>;
    { Aes::load(in) } -> std::same_as<typename Aes::Block>;
    Aes::store(out, block);
    { Aes::xor_blocks(block, block) } -> std::same_as<typename Aes::Block>;
    { aes.encrypt(block) } -> std::same_as<typename Aes::Block>;
    { aes.decrypt(block) } -> std::same_as<typename Aes::Block>;
    { aes.encrypt_between(block, block, block) } -> std::same_as<typename Aes::Block>;
    { aes.decrypt_between(block, block, block) } -> std::same_as<typename Aes::Block>;
    aes.encrypt_batch(blocks);
    aes.encrypt_four(blocks);
};

// Optional: counter blocks formed in the working form, without a trip through memory.
// counter_block(high, low) is the big-endian block of the 128-bit value high:low, and
// four_counter_blocks(high, low, blocks) those of high:low + 0 .. 3 where the low half does
// not wrap among them.
template <class Aes>
concept AesCounterBlocks =
    AesBlocks<Aes> && requires(std::uint64_t half, typename Aes::Block* blocks) {
        { Aes::counter_block(half, half) } -> std::same_as<typename Aes::Block>;
        Aes::four_counter_blocks(half, half, blocks);
    };

// Optional: IGE's chain with nothing but the AES rounds on it. The chain carries the value that
// enters a block's first round (the block's input XOR round key 0 where the first key addition
// is an instruction of its own, the input itself where the round instruction adds the key):
// *_entry turns an input into that value and *_exit turns it back. *_chained(carried, fold) is
// entry(E(exit(carried)) ^ text), with `text` (in IGE, the previous block's text and the next
// block's, both known ahead) folded into the last round's key off the chain: `fold` is text XOR
// *_fold_key(), the part of that key the same for every block, which a loop computes once. The
// caller recovers the block's output from the next carried value, off the chain too.
template <class Aes>
concept AesChainedIge = AesBlocks<Aes> && requires(const Aes& aes, typename Aes::Block block) {
    { aes.encrypt_entry(block) } -> std::same_as<typename Aes::Block>;
    { aes.encrypt_exit(block) } -> std::same_as<typename Aes::Block>;
    { aes.encrypt_fold_key() } -> std::same_as<typename Aes::Block>;
    { aes.encrypt_chained(block, block) } -> std::same_as<typename Aes::Block>;
    { aes.decrypt_entry(block) } -> std::same_as<typename Aes::Block>;
    { aes.decrypt_exit(block) } -> std::same_as<typename Aes::Block>;
    { aes.decrypt_fold_key() } -> std::same_as<typename Aes::Block>;
    { aes.decrypt_chained(block, block) } -> std::same_as<typename Aes::Block>;
};

// Optional: a CTR kernel of the backend's own, out of line (called once per call, not per
// block). xor_keystream(high, low, in, out, batches) sets out = in XOR the keystream of
// batches * batch_width counter blocks from high:low, whatever carries into the high half,
// and advances high:low past them (in and out may be the same).
template <class Aes>
concept AesCtrKernel =
    AesBlocks<Aes> &&
    requires(const Aes& aes, std::uint64_t& half, const std::uint8_t* in, std::uint8_t* out,
             std::size_t batches) { aes.xor_keystream(half, half, in, out, batches); };

// Optional: one batch of keystream XORed in, formed in the backend's own way:
// xor_keystream_batch(high, low, in, out) over 16 * batch_width bytes, where the low half
// does not wrap within the batch.
template <class Aes>
concept AesKeystreamBatch =
    AesBlocks<Aes> && requires(const Aes& aes, std::uint64_t half, const std::uint8_t* in,
                               std::uint8_t* out) { aes.xor_keystream_batch(half, half, in, out); };

// Optional: the keystream of fewer bytes than a batch in the backend's own way (on registers
// wide enough that short calls and a call's last bytes need not go four blocks at a time):
// xor_keystream_tail(high, low, in, out, size) over `size` bytes (0 < size < 16 * batch_width),
// the last block used in part where size is not a multiple of 16, where the low half does not
// wrap within the blocks it uses. The caller advances the counter.
template <class Aes>
concept AesKeystreamTail =
    AesBlocks<Aes> &&
    requires(const Aes& aes, std::uint64_t half, const std::uint8_t* in, std::uint8_t* out,
             std::size_t size) { aes.xor_keystream_tail(half, half, in, out, size); };

// Optional: the shortest CTR calls without a stored key schedule. xor_short_keystream(key, in,
// out, size, point) continues the stream at `point` for `size` bytes, where point.position +
// size <= short_keystream_reach, expanding the key while it encrypts; it advances the point.
template <class Aes>
concept AesShortCtr =
    AesBlocks<Aes> && requires(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out,
                               std::size_t size, KeystreamPoint& point) {
        { Aes::short_keystream_reach } -> std::convertible_to<std::size_t>;
        Aes::xor_short_keystream(key, in, out, size, point);
    };

}  // namespace dallowgate
