// The definitions of ModeLoops<Aes> (modes/loops.hpp) over the generic loops:
// DALLOWGATE_DEFINE_MODE_LOOPS(Aes) defines each one as an explicit specialization, which takes
// the target of the region it stands in (a member defined from the class template would keep
// the declaration's, which has none).
//
// Generic code: included by a backend's loops_<backend>.cpp, inside the backend's target region
// (common/platform.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/platform.hpp"
#include "modes/ctr_blocks.hpp"
#include "modes/ige_blocks.hpp"
#include "modes/loops.hpp"

namespace dallowgate::loop_bodies {

template <AesBlocks Aes>
DALLOWGATE_INLINE void encrypt_batch(const Aes& aes, const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Block blocks[Aes::batch_width];
    for (std::size_t i = 0; i < Aes::batch_width; ++i) blocks[i] = Aes::load(in + 16 * i);
    aes.encrypt_batch(blocks);
    for (std::size_t i = 0; i < Aes::batch_width; ++i) Aes::store(out + 16 * i, blocks[i]);
}

}  // namespace dallowgate::loop_bodies

#define DALLOWGATE_DEFINE_MODE_LOOPS(Aes)                                                         \
    template <>                                                                                   \
    void ModeLoops<Aes>::ige_encrypt(const Keys& keys, const std::uint8_t* in, std::uint8_t* out, \
                                     std::size_t blocks, const std::uint8_t* iv) {                \
        ige_encrypt_blocks<Aes>(keys, in, out, blocks, iv);                                       \
    }                                                                                             \
    template <>                                                                                   \
    void ModeLoops<Aes>::ige_decrypt(const Keys& keys, const std::uint8_t* in, std::uint8_t* out, \
                                     std::size_t blocks, const std::uint8_t* iv) {                \
        ige_decrypt_blocks<Aes>(keys, in, out, blocks, iv);                                       \
    }                                                                                             \
    template <>                                                                                   \
    void ModeLoops<Aes>::ctr(const Keys& keys, const std::uint8_t* in, std::uint8_t* out,         \
                             std::size_t size, std::uint64_t& high, std::uint64_t& low,           \
                             std::size_t& position) {                                             \
        const Aes aes(keys);                                                                      \
        ctr_keystream(aes, in, out, size, high, low, position);                                   \
    }                                                                                             \
    template <>                                                                                   \
    void ModeLoops<Aes>::encrypt_block(const Keys& keys, const std::uint8_t* in,                  \
                                       std::uint8_t* out) {                                       \
        const Aes aes(keys);                                                                      \
        Aes::store(out, aes.encrypt(Aes::load(in)));                                              \
    }                                                                                             \
    template <>                                                                                   \
    void ModeLoops<Aes>::decrypt_block(const Keys& keys, const std::uint8_t* in,                  \
                                       std::uint8_t* out) {                                       \
        const Aes aes(keys);                                                                      \
        Aes::store(out, aes.decrypt(Aes::load(in)));                                              \
    }                                                                                             \
    template <>                                                                                   \
    void ModeLoops<Aes>::encrypt_batch(const Keys& keys, const std::uint8_t* in,                  \
                                       std::uint8_t* out) {                                       \
        const Aes aes(keys);                                                                      \
        loop_bodies::encrypt_batch(aes, in, out);                                                 \
    }
