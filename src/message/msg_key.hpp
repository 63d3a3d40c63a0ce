// The message key: the middle 16 bytes of SHA-256 over a slice of the authorisation key and
// the whole message plaintext (padding included).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "message/key_derivation.hpp"

namespace dallowgate {

using MsgKey = std::array<std::uint8_t, 16>;

// The slice of auth_key hashed before the plaintext starts here (plus the direction offset)
// and is 32 bytes long.
inline constexpr std::size_t MSG_KEY_SLICE = 88;

// msg_key from the SHA-256 digest: its bytes 8 to 24.
inline MsgKey msg_key_of_digest(const std::array<std::uint8_t, 32>& digest) {
    MsgKey msg_key;
    std::copy(digest.begin() + 8, digest.begin() + 24, msg_key.begin());
    return msg_key;
}

MsgKey compute_msg_key(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> plaintext, std::size_t direction_offset);

}  // namespace dallowgate
