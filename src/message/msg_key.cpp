#include "message/msg_key.hpp"

#include <algorithm>

#include "common/wipe.hpp"
#include "message/sha256.hpp"

namespace dallowgate {

MsgKey compute_msg_key(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> plaintext, std::size_t direction_offset) {
    Sha256Digest digest =
        Sha256().update(auth_key.subspan(88 + direction_offset, 32)).update(plaintext).finish();
    MsgKey msg_key;
    std::copy(digest.begin() + 8, digest.begin() + 24, msg_key.begin());
    wipe(digest.data(), digest.size());
    return msg_key;
}

}  // namespace dallowgate
