#include "message/unpack.hpp"

#include <cstring>

#include "message/little_endian.hpp"
#include "message/pack.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

// Compares all 16 bytes whatever they hold: the halves are folded and tested once.
bool same_msg_key(const MsgKey& a, const MsgKey& b) {
    std::uint64_t a_low, a_high, b_low, b_high;
    std::memcpy(&a_low, a.data(), 8);
    std::memcpy(&a_high, a.data() + 8, 8);
    std::memcpy(&b_low, b.data(), 8);
    std::memcpy(&b_high, b.data() + 8, 8);
    return ((a_low ^ b_low) | (a_high ^ b_high)) == 0;
}

UnpackOutcome reject(ByteBuffer buffer, const char* message) {
    return {std::move(buffer), {}, message};
}

}  // namespace

UnpackOutcome unpack_message_job(UnpackJob job) {
    std::span<std::uint8_t> data = job.buffer.bytes();
    {
        AesKeyIv derived = derive_aes_key_iv(job.auth_key, job.msg_key, job.direction_offset);
        Aes256Cipher cipher(derived.key);
        ige_decrypt_in_place(cipher, data, derived.iv);
    }
    const std::size_t n = data.size();
    if (n < PLAINTEXT_HEADER_SIZE) return reject(std::move(job.buffer), "msg_key mismatch");
    if (!same_msg_key(compute_msg_key(job.auth_key, data, job.direction_offset), job.msg_key))
        return reject(std::move(job.buffer), "msg_key mismatch");
    if (!job.session_id_is_8_bytes || std::memcmp(data.data() + 8, job.session_id.data(), 8) != 0)
        return reject(std::move(job.buffer), "session_id mismatch");
    auto body_length = load_le<std::int32_t>(data.data() + 28);
    if (body_length < 0) return reject(std::move(job.buffer), "negative body length");
    if (static_cast<std::size_t>(body_length) + PLAINTEXT_HEADER_SIZE > n)
        return reject(std::move(job.buffer), "body length exceeds decrypted data");
    UnpackedFields fields{load_le<std::int64_t>(data.data() + 16),
                          load_le<std::int32_t>(data.data() + 24), body_length};
    return {std::move(job.buffer), fields, nullptr};
}

}  // namespace dallowgate
