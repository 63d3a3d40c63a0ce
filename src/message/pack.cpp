#include "message/pack.hpp"

#include <algorithm>
#include <cstring>

#include "common/byte_order.hpp"
#include "message/msg_key.hpp"
#include "message/random_source.hpp"
#include "modes/ige.hpp"

namespace dallowgate {

void lay_out_plaintext(std::span<std::uint8_t> buffer, const PackFields& f) {
    std::uint8_t* plaintext = buffer.data() + PACKED_HEADER_SIZE;
    store_le(plaintext, f.salt);
    std::memcpy(plaintext + 8, f.session_id.data(), 8);
    store_le(plaintext + 16, f.msg_id);
    store_le(plaintext + 24, f.seq_no);
    store_le(plaintext + 28, static_cast<std::uint32_t>(f.body.size()));
    if (!f.body.empty())
        std::memcpy(plaintext + PLAINTEXT_HEADER_SIZE, f.body.data(), f.body.size());
}

int fill_padding(std::span<std::uint8_t> buffer, std::size_t body_size) {
    return fill_random(buffer.subspan(PACKED_HEADER_SIZE + PLAINTEXT_HEADER_SIZE + body_size));
}

ByteBuffer pack_message_job(PackJob job) {
    std::span<std::uint8_t> packed = job.buffer.bytes();
    std::span<std::uint8_t> plaintext = packed.subspan(PACKED_HEADER_SIZE);
    MsgKey msg_key = compute_msg_key(job.auth_key, plaintext, CLIENT_TO_SERVER);
    AesKeyIv derived = derive_aes_key_iv(job.auth_key, msg_key, CLIENT_TO_SERVER);
    Aes256Cipher cipher(derived.key, AesUse::encrypt);
    ige_encrypt_in_place(cipher, plaintext, derived.iv);
    std::copy(job.auth_key_id.begin(), job.auth_key_id.end(), packed.begin());
    std::copy(msg_key.begin(), msg_key.end(), packed.begin() + 8);
    return std::move(job.buffer);
}

}  // namespace dallowgate
