#include "message/key_derivation.hpp"

#include <cstring>

#include "common/wipe.hpp"

#include "sha256/sha256.hpp"

namespace dallowgate {

void derive_aes_key_iv(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                       std::span<const std::uint8_t> msg_key, std::size_t direction_offset,
                       std::uint8_t* key, std::uint8_t* iv) {
    const std::size_t d = direction_offset;
    Sha256Digest a, b;
    sha256_of_both(msg_key, auth_key.subspan(d, 36), auth_key.subspan(d + 40, 36), msg_key, a, b);
    // key = a[0:8] b[8:24] a[24:32], iv = b[0:8] a[8:24] b[24:32]
    std::memcpy(key, a.data(), 8);
    std::memcpy(key + 8, b.data() + 8, 16);
    std::memcpy(key + 24, a.data() + 24, 8);
    std::memcpy(iv, b.data(), 8);
    std::memcpy(iv + 8, a.data() + 8, 16);
    std::memcpy(iv + 24, b.data() + 24, 8);
    wipe(a.data(), a.size());
    wipe(b.data(), b.size());
}

AesKeyIv derive_aes_key_iv(std::span<const std::uint8_t, AUTH_KEY_SIZE> auth_key,
                           std::span<const std::uint8_t> msg_key, std::size_t direction_offset) {
    AesKeyIv out;
    derive_aes_key_iv(auth_key, msg_key, direction_offset, out.key.data(), out.iv.data());
    return out;
}

}  // namespace dallowgate
