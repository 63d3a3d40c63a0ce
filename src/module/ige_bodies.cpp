#include "binding/python.hpp"

#include "binding/errors.hpp"
#include "binding/lock_release.hpp"
#include "binding/return_values.hpp"
#include "modes/ige.hpp"
#include "module/bodies.hpp"
#include "module/declarations.hpp"

namespace dallowgate {
namespace {

// The blocks run from `data` straight into the result object, which no other thread can
// reach before it is returned.
template <void (*run_job)(const IgeJob&)>
Result<Ref> ige_body(const IgeDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data, key, iv] = *bound;
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    if (iv.size() != 32) return value_error("IV must be 32 bytes");

    std::uint8_t* output = nullptr;
    Ref result = new_bytes_to_fill(data.size(), output);
    if (!result) return CallError::fetch_pending();
    const IgeJob job{data, output, key.first<32>(), iv.first<32>()};
    run_released_from_threshold(data.size(), [&job] { run_job(job); });
    return result;
}

}  // namespace

Result<Ref> ige256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body<run_ige_encrypt_job>(IGE256_ENCRYPT, args, nargs, kwnames);
}

Result<Ref> ige256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body<run_ige_decrypt_job>(IGE256_DECRYPT, args, nargs, kwnames);
}

}  // namespace dallowgate
