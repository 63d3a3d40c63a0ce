#include "message/key_derivation.hpp"

#include <algorithm>

#include "common/wipe.hpp"

#include "message/sha256.hpp"

namespace dallowgate {

AesKeyIv derive_aes_key_iv(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                           std::span<const std::uint8_t> msg_key, std::size_t direction_offset) {
    const std::size_t d = direction_offset;
    Sha256Digest a = Sha256().update(msg_key).update(auth_key.subspan(d, 36)).finish();
    Sha256Digest b = Sha256().update(auth_key.subspan(d + 40, 36)).update(msg_key).finish();

    AesKeyIv out;
    auto put = [](auto destination, const Sha256Digest& source, std::size_t from, std::size_t to) {
        return std::copy(source.begin() + from, source.begin() + to, destination);
    };
    put(put(put(out.key.begin(), a, 0, 8), b, 8, 24), a, 24, 32);
    put(put(put(out.iv.begin(), b, 0, 8), a, 8, 24), b, 24, 32);
    wipe(a.data(), a.size());
    wipe(b.data(), b.size());
    return out;
}

}  // namespace dallowgate
