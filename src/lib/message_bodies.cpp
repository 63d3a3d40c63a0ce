#include "binding/results.hpp"
#include "binding/signature.hpp"
#include "lib/bodies.hpp"
#include "lib/not_built_yet.hpp"
#include "message/key_derivation.hpp"

namespace dallowgate {
namespace {

constexpr const char* KDF_PARAMETERS[] = {"auth_key", "msg_key", "outgoing"};
constexpr const char* PACK_PARAMETERS[] = {"msg_id",     "seq_no",   "body",       "salt",
                                           "session_id", "auth_key", "auth_key_id"};
constexpr const char* UNPACK_PARAMETERS[] = {"packed", "session_id", "auth_key", "auth_key_id",
                                             "incoming"};

constexpr Signature<Bytes, Bytes, Flag> KDF{{"kdf", "kdf()", KDF_PARAMETERS, 3}};
constexpr Signature<Int64, Int32, Bytes, Int64, Bytes, Bytes, Bytes> PACK_MESSAGE{
    {"pack_message", "pack_message()", PACK_PARAMETERS, 7}};
constexpr Signature<Bytes, Bytes, Bytes, Bytes, FlagDefaultTrue> UNPACK_MESSAGE{
    {"unpack_message", "unpack_message()", UNPACK_PARAMETERS, 4}};

}  // namespace

Result<Ref> kdf_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = KDF.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [auth_key, msg_key, outgoing] = *bound;
    if (auth_key.size() != AUTH_KEY_SIZE) return value_error("auth_key must be 256 bytes");
    AesKeyIv derived =
        derive_aes_key_iv(auth_key.first<AUTH_KEY_SIZE>(), msg_key, outgoing ? 0 : 8);
    return new_tuple({new_bytes(derived.key), new_bytes(derived.iv)});
}

Result<Ref> pack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = PACK_MESSAGE.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    return not_built_yet(PACK_MESSAGE.description.name);
}

Result<Ref> unpack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = UNPACK_MESSAGE.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    return not_built_yet(UNPACK_MESSAGE.description.name);
}

}  // namespace dallowgate
