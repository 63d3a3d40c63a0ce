// The message key: the middle 16 bytes of SHA-256 over a slice of the authorisation key and
// the whole message plaintext (padding included).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "message/key_derivation.hpp"

namespace dallowgate {

using MsgKey = std::array<std::uint8_t, 16>;

MsgKey compute_msg_key(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> plaintext, std::size_t direction_offset);

}  // namespace dallowgate
