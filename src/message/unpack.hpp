// Unpacking one message: decrypt, verify msg_key in constant time, then check session_id and
// the body length.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/wipe.hpp"
#include "message/key_derivation.hpp"
#include "message/msg_key.hpp"

namespace dallowgate {

// What crosses the release of the interpreter lock.
struct UnpackJob {
    std::span<const std::uint8_t> ciphertext;  // packed[24:], unchanged while the job runs
    // Where the plaintext after its 32-byte header goes (the body first, then the padding):
    // ciphertext.size() - 32 bytes, or none when the ciphertext is shorter than a header.
    std::uint8_t* rest;
    bool session_id_is_8_bytes;
    std::array<std::uint8_t, 8> session_id;
    SecretBytes<AUTH_KEY_SIZE> auth_key;
    MsgKey msg_key;                // packed[8:24]
    std::size_t direction_offset;  // 8 for incoming messages, 0 otherwise
};

struct UnpackedFields {
    std::int64_t msg_id;
    std::int32_t seq_no;
    std::int32_t body_length;  // the body is rest[0:body_length]
};

// Either the fields or the rejection message.
struct UnpackOutcome {
    UnpackedFields fields;
    const char* rejection;  // null on success
};

// A ciphertext shorter than a header is rejected without being decrypted.
UnpackOutcome unpack_message_job(const UnpackJob& job);

}  // namespace dallowgate
