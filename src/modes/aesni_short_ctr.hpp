// The shortest CTR calls on AES-NI: a keystream that lies within four counter blocks (at most
// 64 bytes from the start of the current block). The key is expanded while the four blocks are
// encrypted, each round key applied as soon as it exists; no schedule is ever stored, so
// there is none to erase.
#pragma once

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

namespace dallowgate {

// The most keystream bytes (position included) that the short call covers.
inline constexpr std::size_t SHORT_CTR_REACH = 64;

// out = in XOR the keystream from byte `position` of the counter block high:low, for `size`
// bytes with position + size <= SHORT_CTR_REACH; advances high:low and position as the stream
// goes. Only where the CPU has AES-NI.
void aesni_short_ctr(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t size, std::uint64_t& high, std::uint64_t& low,
                     std::size_t& position);

}  // namespace dallowgate

#endif
