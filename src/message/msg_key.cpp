#include "message/msg_key.hpp"

#include <algorithm>

#include "common/wipe.hpp"
#include "sha256/sha256.hpp"

namespace dallowgate {

MsgKey compute_msg_key(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> plaintext, std::size_t direction_offset) {
    Sha256Digest digest =
        sha256_of(auth_key.subspan(MSG_KEY_SLICE + direction_offset, 32), plaintext);
    MsgKey msg_key = msg_key_of_digest(digest);
    wipe(digest.data(), digest.size());
    return msg_key;
}

}  // namespace dallowgate
