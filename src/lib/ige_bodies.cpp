#include "binding/signature.hpp"
#include "lib/bodies.hpp"
#include "lib/not_built_yet.hpp"

namespace dallowgate {
namespace {

constexpr const char* IGE_PARAMETERS[] = {"data", "key", "iv"};
constexpr Signature<Bytes, Bytes, Bytes> IGE256_ENCRYPT{
    {"ige256_encrypt", "ige256_encrypt()", IGE_PARAMETERS, 3}};
constexpr Signature<Bytes, Bytes, Bytes> IGE256_DECRYPT{
    {"ige256_decrypt", "ige256_decrypt()", IGE_PARAMETERS, 3}};

Result<Ref> ige_body(const Signature<Bytes, Bytes, Bytes>& signature, PyObject* const* args,
                     Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    return not_built_yet(signature.description.name);
}

}  // namespace

Result<Ref> ige256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body(IGE256_ENCRYPT, args, nargs, kwnames);
}

Result<Ref> ige256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body(IGE256_DECRYPT, args, nargs, kwnames);
}

}  // namespace dallowgate
