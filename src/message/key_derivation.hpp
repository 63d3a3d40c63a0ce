// The per-message AES key and IGE IV derived from the authorisation key and a message key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/wipe.hpp"

namespace dallowgate {

inline constexpr std::size_t AUTH_KEY_SIZE = 256;

// The direction offset: it shifts every slice of auth_key that the message scheme reads.
inline constexpr std::size_t CLIENT_TO_SERVER = 0;  // what we send (and pack_message packs)
inline constexpr std::size_t SERVER_TO_CLIENT = 8;  // what we receive

// Wiped when it goes away.
struct AesKeyIv {
    SecretBytes<32> key;
    SecretBytes<32> iv;  // previous-ciphertext half, then previous-plaintext half
};

// direction_offset is 0 (client to server) or 8 (server to client); it shifts every slice
// of auth_key that is read. msg_key may have any length and is hashed whole.
AesKeyIv derive_aes_key_iv(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                           std::span<const std::uint8_t> msg_key, std::size_t direction_offset);
// The same, written to 32 bytes at `key` and 32 bytes at `iv`.
void derive_aes_key_iv(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> msg_key, std::size_t direction_offset,
                       std::uint8_t* key, std::uint8_t* iv);

}  // namespace dallowgate
