#include "binding/signature.hpp"
#include "lib/bodies.hpp"
#include "lib/not_built_yet.hpp"

namespace dallowgate {
namespace {

constexpr const char* CTR_PARAMETERS[] = {"src", "key", "iv", "state"};
constexpr const char* INPLACE_PARAMETERS[] = {"data", "key", "iv", "state"};
constexpr const char* BATCH_PARAMETERS[] = {"data_flat", "sizes", "key", "ivs", "states"};

using CtrSignature = Signature<Bytes, Bytes, ByteArray, ByteArray>;
using InplaceSignature = Signature<ByteArray, Bytes, ByteArray, ByteArray>;
using BatchSignature = Signature<Bytes, ByteArray, Bytes, ByteArray, ByteArray>;

constexpr CtrSignature CTR256_ENCRYPT{{"ctr256_encrypt", "ctr256_encrypt()", CTR_PARAMETERS, 4}};
constexpr CtrSignature CTR256_DECRYPT{{"ctr256_decrypt", "ctr256_decrypt()", CTR_PARAMETERS, 4}};
constexpr InplaceSignature CTR256_ENCRYPT_INPLACE{
    {"ctr256_encrypt_inplace", "ctr256_encrypt_inplace()", INPLACE_PARAMETERS, 4}};
constexpr InplaceSignature CTR256_DECRYPT_INPLACE{
    {"ctr256_decrypt_inplace", "ctr256_decrypt_inplace()", INPLACE_PARAMETERS, 4}};
constexpr BatchSignature CTR256_ENCRYPT_BATCH{
    {"ctr256_encrypt_batch", "ctr256_encrypt_batch()", BATCH_PARAMETERS, 5}};
constexpr BatchSignature CTR256_DECRYPT_BATCH{
    {"ctr256_decrypt_batch", "ctr256_decrypt_batch()", BATCH_PARAMETERS, 5}};

template <class Bound>
Result<Ref> placeholder(const Bound& signature, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
    auto bound = signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    return not_built_yet(signature.description.name);
}

}  // namespace

Result<Ref> ctr256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return placeholder(CTR256_ENCRYPT, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return placeholder(CTR256_DECRYPT, args, nargs, kwnames);
}
Result<Ref> ctr256_encrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
    return placeholder(CTR256_ENCRYPT_INPLACE, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
    return placeholder(CTR256_DECRYPT_INPLACE, args, nargs, kwnames);
}
Result<Ref> ctr256_encrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return placeholder(CTR256_ENCRYPT_BATCH, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return placeholder(CTR256_DECRYPT_BATCH, args, nargs, kwnames);
}

}  // namespace dallowgate
