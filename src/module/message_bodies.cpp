#include "binding/python.hpp"

#include <cstring>

#include "binding/errors.hpp"
#include "binding/lock_release.hpp"
#include "binding/return_values.hpp"
#include "binding/scratch_buffer.hpp"
#include "common/wipe.hpp"
#include "message/key_derivation.hpp"
#include "message/pack.hpp"
#include "message/unpack.hpp"
#include "module/bodies.hpp"
#include "module/declarations.hpp"

namespace dallowgate {
namespace {

constexpr std::size_t MAX_BODY_SIZE = std::size_t{1} << 31;  // exclusive

}  // namespace

Result<Ref> kdf_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = KDF.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [auth_key, msg_key, outgoing] = *bound;
    if (auth_key.size() != AUTH_KEY_SIZE) return value_error("auth_key must be 256 bytes");
    // Derived straight into the result's two bytes objects, which nobody else has seen yet.
    std::uint8_t *key = nullptr, *iv = nullptr;
    Result<Ref> result = new_bytes_pair_to_fill(32, key, iv);
    if (result)
        derive_aes_key_iv(auth_key.first<AUTH_KEY_SIZE>(), msg_key,
                          outgoing ? CLIENT_TO_SERVER : SERVER_TO_CLIENT, key, iv);
    return result;
}

Result<Ref> pack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = PACK_MESSAGE.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [msg_id, seq_no, body, salt, session_id, auth_key, auth_key_id] = *bound;
    if (auth_key.size() != AUTH_KEY_SIZE) return value_error("auth_key must be 256 bytes");
    if (auth_key_id.size() != 8) return value_error("auth_key_id must be 8 bytes");
    if (session_id.size() != 8) return value_error("session_id must be 8 bytes");
    if (body.size() >= MAX_BODY_SIZE) return value_error("body must be shorter than 2**31 bytes");

    const std::size_t packed_size = PACKED_HEADER_SIZE + padded_length(body.size());
    PackJob job{take_scratch(), {}, {}};
    if (!job.buffer.resize_uninitialized(packed_size)) return memory_error();
    lay_out_plaintext(job.buffer.bytes(), {msg_id, seq_no, body, salt, session_id.first<8>()});
    if (int error = fill_padding(job.buffer.bytes(), body.size())) return os_error(error);
    std::memcpy(job.auth_key.data(), auth_key.data(), AUTH_KEY_SIZE);
    std::memcpy(job.auth_key_id.data(), auth_key_id.data(), 8);

    ByteBuffer packed = run_released_from_threshold(
        packed_size, [&job] { return pack_message_job(std::move(job)); });
    Result<Ref> result = new_bytes(packed.bytes());
    if (result) give_back_scratch(std::move(packed));
    return result;
}

Result<Ref> unpack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = UNPACK_MESSAGE.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [packed, session_id, auth_key, auth_key_id, incoming] = *bound;
    if (auth_key.size() != AUTH_KEY_SIZE) return value_error("auth_key must be 256 bytes");
    if (auth_key_id.size() != 8) return value_error("auth_key_id must be 8 bytes");
    if (packed.size() < PACKED_HEADER_SIZE) return value_error("packed data too short");
    if (std::memcmp(packed.data(), auth_key_id.data(), 8) != 0)
        return value_error("auth_key_id mismatch");

    std::span<const std::uint8_t> ciphertext = packed.subspan(PACKED_HEADER_SIZE);
    if (ciphertext.size() < PLAINTEXT_HEADER_SIZE) return value_error("msg_key mismatch");
    // The plaintext after the header is decrypted straight into the body returned, which is
    // cut to the body's length once that is known.
    const std::size_t rest_size = ciphertext.size() - PLAINTEXT_HEADER_SIZE;
    std::uint8_t* rest = nullptr;
    Ref body = new_bytes_to_fill(rest_size, rest);
    if (!body) return CallError::fetch_pending();
    UnpackJob job{ciphertext,
                  rest,
                  session_id.size() == 8,
                  {},
                  {},
                  {},
                  incoming ? SERVER_TO_CLIENT : CLIENT_TO_SERVER};
    if (job.session_id_is_8_bytes) std::memcpy(job.session_id.data(), session_id.data(), 8);
    std::memcpy(job.auth_key.data(), auth_key.data(), AUTH_KEY_SIZE);
    std::memcpy(job.msg_key.data(), packed.data() + 8, 16);

    const UnpackOutcome outcome =
        run_released_from_threshold(ciphertext.size(), [&job] { return unpack_message_job(job); });
    if (outcome.rejection) {
        wipe(rest, rest_size);  // what was decrypted leaves with no object
        return value_error(outcome.rejection);
    }

    const UnpackedFields& fields = outcome.fields;
    const auto body_length = static_cast<std::size_t>(fields.body_length);
    wipe(rest + body_length, rest_size - body_length);  // the padding, before it is let go
    return new_tuple({
        new_int64(fields.msg_id),
        new_int32(fields.seq_no),
        new_int32(fields.body_length),
        shorten_filled_bytes(std::move(body), body_length),
        new_ssize(static_cast<Py_ssize_t>(ciphertext.size()) - 16),
    });
}

}  // namespace dallowgate
