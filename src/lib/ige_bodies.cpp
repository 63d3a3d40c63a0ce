#include <cstring>

#include "binding/lock_release.hpp"
#include "binding/results.hpp"
#include "binding/scratch_buffer.hpp"
#include "lib/bodies.hpp"
#include "lib/declarations.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

template <ByteBuffer (*run_job)(IgeJob)>
Result<Ref> ige_body(const IgeDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data, key, iv] = *bound;
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    if (iv.size() != 32) return value_error("IV must be 32 bytes");

    IgeJob job{take_scratch(), {}, {}};
    if (!job.buffer.resize_uninitialized(data.size())) return memory_error();
    if (!data.empty()) std::memcpy(job.buffer.data(), data.data(), data.size());
    std::memcpy(job.key.data(), key.data(), 32);
    std::memcpy(job.iv.data(), iv.data(), 32);

    ByteBuffer out =
        run_released_from_threshold(data.size(), [&job] { return run_job(std::move(job)); });
    Result<Ref> result = new_bytes(out.bytes());
    if (result) give_back_scratch(std::move(out));
    return result;
}

}  // namespace

Result<Ref> ige256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body<ige_encrypt_job>(IGE256_ENCRYPT, args, nargs, kwnames);
}

Result<Ref> ige256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ige_body<ige_decrypt_job>(IGE256_DECRYPT, args, nargs, kwnames);
}

}  // namespace dallowgate
