#include "message/unpack.hpp"

#include <cstring>

#include "common/byte_order.hpp"
#include "message/declassify.hpp"
#include "message/fused_unpack.hpp"
#include "message/pack.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

// Compares all 16 bytes whatever they hold: the halves are folded, and the result is one
// bit with no branch taken on the keys.
[[gnu::noinline]] bool same_msg_key(const MsgKey& a, const MsgKey& b) {
    std::uint64_t a_low, a_high, b_low, b_high;
    std::memcpy(&a_low, a.data(), 8);
    std::memcpy(&a_high, a.data() + 8, 8);
    std::memcpy(&b_low, b.data(), 8);
    std::memcpy(&b_high, b.data() + 8, 8);
    return ((a_low ^ b_low) | (a_high ^ b_high)) == 0;
}

// The verdict on the msg_key comparison, the one secret-derived value that decides a branch
// before authentication: whether the message is authentic is the call's public outcome.
bool message_is_authentic(const MsgKey& computed, const MsgKey& received) {
    const bool authentic = same_msg_key(computed, received);
    declassify(authentic);
    return authentic;
}

// The fields of an authenticated plaintext: the checks branch on it, which is allowed once
// msg_key matched (the plaintext came from the holder of auth_key).
[[gnu::noinline]] const char* check_authenticated_fields(std::span<const std::uint8_t> data,
                                                         const UnpackJob& job,
                                                         UnpackedFields& fields) {
    if (!job.session_id_is_8_bytes ||
        load_le<std::uint64_t>(data.data() + 8) != load_le<std::uint64_t>(job.session_id.data()))
        return "session_id mismatch";
    auto body_length = load_le<std::int32_t>(data.data() + 28);
    if (body_length < 0) return "negative body length";
    if (static_cast<std::size_t>(body_length) + PLAINTEXT_HEADER_SIZE > data.size())
        return "body length exceeds decrypted data";
    fields = {load_le<std::int64_t>(data.data() + 16), load_le<std::int32_t>(data.data() + 24),
              body_length};
    return nullptr;
}

// Decrypts `data` in place and computes its msg_key: in one pass where the AES backend and the
// CPU's SHA-256 instructions pair up, as two passes otherwise.
MsgKey decrypt_and_compute_msg_key(const UnpackJob& job, std::span<std::uint8_t> data) {
    AesKeyIv derived = derive_aes_key_iv(job.auth_key, job.msg_key, job.direction_offset);
    Aes256Cipher cipher(derived.key, AesUse::decrypt);
    const std::uint8_t* prefix = job.auth_key.data() + MSG_KEY_SLICE + job.direction_offset;
    if (Sha256Digest digest; ige_decrypt_and_hash(cipher, data, derived.iv, prefix, digest)) {
        MsgKey msg_key = msg_key_of_digest(digest);
        wipe(digest.data(), digest.size());
        return msg_key;
    }
    ige_decrypt_in_place(cipher, data, derived.iv);
    return compute_msg_key(job.auth_key, data, job.direction_offset);
}

}  // namespace

UnpackOutcome unpack_message_job(UnpackJob job) {
    std::span<std::uint8_t> data = job.buffer.bytes();
    const MsgKey computed = decrypt_and_compute_msg_key(job, data);
    if (data.size() < PLAINTEXT_HEADER_SIZE) return {std::move(job.buffer), {}, "msg_key mismatch"};
    if (!message_is_authentic(computed, job.msg_key))
        return {std::move(job.buffer), {}, "msg_key mismatch"};
    UnpackedFields fields{};
    const char* rejection = check_authenticated_fields(data, job, fields);
    return {std::move(job.buffer), fields, rejection};
}

}  // namespace dallowgate
