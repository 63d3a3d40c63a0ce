// Packing one message: auth_key_id, msg_key, then the IGE-encrypted plaintext
// (salt, session_id, msg_id, seq_no, body length, body, 12 to 27 bytes of random padding).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/byte_buffer.hpp"
#include "common/wipe.hpp"
#include "message/key_derivation.hpp"

namespace dallowgate {

inline constexpr std::size_t PACKED_HEADER_SIZE = 24;     // auth_key_id and msg_key
inline constexpr std::size_t PLAINTEXT_HEADER_SIZE = 32;  // salt .. body length

// The plaintext length for a body of `body_size` bytes: the smallest multiple of 16 that
// holds the header, the body and at least 12 bytes of padding.
constexpr std::size_t padded_length(std::size_t body_size) {
    return (body_size + 59) & ~std::size_t{15};
}

struct PackFields {
    std::int64_t msg_id;
    std::int32_t seq_no;
    std::span<const std::uint8_t> body;
    std::int64_t salt;
    std::span<const std::uint8_t, 8> session_id;
};

// Lays out the plaintext in `buffer` (already sized to 24 + padded length): the fields and the
// body after a 24-byte gap. The padding after them is left for fill_padding.
void lay_out_plaintext(std::span<std::uint8_t> buffer, const PackFields& fields);
// Fills the padding after a body of `body_size` bytes from the random source. Returns 0 or
// the errno of a random-source failure.
int fill_padding(std::span<std::uint8_t> buffer, std::size_t body_size);

// What crosses the release of the interpreter lock.
struct PackJob {
    ByteBuffer buffer;  // 24-byte gap, then the plaintext
    SecretBytes<AUTH_KEY_SIZE> auth_key;
    std::array<std::uint8_t, 8> auth_key_id;
};

// Computes msg_key, encrypts the plaintext in place and writes the 24-byte header.
// Touches no Python object.
ByteBuffer pack_message_job(PackJob job);

}  // namespace dallowgate
