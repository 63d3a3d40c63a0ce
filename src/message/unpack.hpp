// Unpacking one message: decrypt, verify msg_key in constant time, then check session_id and
// the body length.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/byte_buffer.hpp"
#include "common/wipe.hpp"
#include "message/key_derivation.hpp"
#include "message/msg_key.hpp"

namespace dallowgate {

// What crosses the release of the interpreter lock.
struct UnpackJob {
    ByteBuffer buffer;  // the ciphertext (packed[24:]), decrypted in place
    bool session_id_is_8_bytes;
    std::array<std::uint8_t, 8> session_id;
    SecretBytes<AUTH_KEY_SIZE> auth_key;
    MsgKey msg_key;                // packed[8:24]
    std::size_t direction_offset;  // 8 for incoming messages, 0 otherwise
};

struct UnpackedFields {
    std::int64_t msg_id;
    std::int32_t seq_no;
    std::int32_t body_length;
};

// Either the fields (and the buffer, holding the plaintext) or the rejection message.
struct UnpackOutcome {
    ByteBuffer buffer;
    UnpackedFields fields;
    const char* rejection;  // null on success
};

UnpackOutcome unpack_message_job(UnpackJob job);

}  // namespace dallowgate
