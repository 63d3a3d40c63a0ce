#include "message/unpack.hpp"

#include <cstring>

#include "common/byte_order.hpp"
#include "message/declassify.hpp"
#include "message/fused_unpack.hpp"
#include "message/pack.hpp"
#include "modes/ige.hpp"
#include "sha256/sha256.hpp"

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
[[gnu::noinline]] const char* check_authenticated_fields(const std::uint8_t* header,
                                                         std::size_t plaintext_size,
                                                         const UnpackJob& job,
                                                         UnpackedFields& fields) {
    if (!job.session_id_is_8_bytes ||
        load_le<std::uint64_t>(header + 8) != load_le<std::uint64_t>(job.session_id.data()))
        return "session_id mismatch";
    auto body_length = load_le<std::int32_t>(header + 28);
    if (body_length < 0) return "negative body length";
    if (static_cast<std::size_t>(body_length) + PLAINTEXT_HEADER_SIZE > plaintext_size)
        return "body length exceeds decrypted data";
    fields = {load_le<std::int64_t>(header + 16), load_le<std::int32_t>(header + 24), body_length};
    return nullptr;
}

// Two passes: IGE decryption of the header, then of the rest from where the chain left off; then
// SHA-256 of the prefix, the header and the rest.
Sha256Digest decrypt_then_hash(const Aes256Cipher& cipher, const UnpackJob& job,
                               const SplitPlaintext& out, IgeIv iv, const std::uint8_t* prefix) {
    ige_decrypt(cipher, job.ciphertext.first(PLAINTEXT_HEADER_SIZE), out.header, iv);
    std::uint8_t chain[32];  // the header's last ciphertext and plaintext blocks
    std::memcpy(chain, job.ciphertext.data() + 16, 16);
    std::memcpy(chain + 16, out.header + 16, 16);
    const std::span<const std::uint8_t> rest = job.ciphertext.subspan(PLAINTEXT_HEADER_SIZE);
    ige_decrypt(cipher, rest, out.rest, chain);
    std::uint8_t first[64];
    std::memcpy(first, prefix, 32);
    std::memcpy(first + 32, out.header, 32);
    Sha256Digest digest = sha256_of(first, {out.rest, rest.size()});
    wipe(chain, sizeof chain);
    wipe(first, sizeof first);
    return digest;
}

// Decrypts the job's ciphertext (at least a header) to `header` and job.rest and computes its
// msg_key: in one pass where the AES backend and the CPU's SHA-256 instructions pair up, as two
// passes otherwise.
MsgKey decrypt_and_compute_msg_key(const UnpackJob& job, std::uint8_t* header) {
    AesKeyIv derived = derive_aes_key_iv(job.auth_key, job.msg_key, job.direction_offset);
    Aes256Cipher cipher(derived.key, AesUse::decrypt);
    const std::uint8_t* prefix = job.auth_key.data() + MSG_KEY_SLICE + job.direction_offset;
    const SplitPlaintext out{header, job.rest};
    Sha256Digest digest;
    if (!ige_decrypt_and_hash(cipher, job.ciphertext, out, derived.iv, prefix, digest))
        digest = decrypt_then_hash(cipher, job, out, derived.iv, prefix);
    MsgKey msg_key = msg_key_of_digest(digest);
    wipe(digest.data(), digest.size());
    return msg_key;
}

}  // namespace

UnpackOutcome unpack_message_job(const UnpackJob& job) {
    if (job.ciphertext.size() < PLAINTEXT_HEADER_SIZE) return {{}, "msg_key mismatch"};
    std::uint8_t header[PLAINTEXT_HEADER_SIZE];
    const MsgKey computed = decrypt_and_compute_msg_key(job, header);
    UnpackOutcome outcome{{}, "msg_key mismatch"};
    if (message_is_authentic(computed, job.msg_key))
        outcome.rejection =
            check_authenticated_fields(header, job.ciphertext.size(), job, outcome.fields);
    wipe(header, sizeof header);
    return outcome;
}

}  // namespace dallowgate
