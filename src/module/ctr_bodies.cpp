#include "binding/python.hpp"

#include <cstring>
#include <vector>

#include "binding/buffer_pin.hpp"
#include "binding/bytearray_access.hpp"
#include "binding/errors.hpp"
#include "binding/lock_release.hpp"
#include "binding/return_values.hpp"
#include "binding/scratch_buffer.hpp"
#include "common/byte_order.hpp"
#include "common/platform.hpp"
#include "modes/ctr.hpp"
#include "module/bodies.hpp"
#include "module/declarations.hpp"

namespace dallowgate {
namespace {

// The checks on key, iv and state shared by the single-stream functions.
MaybeError check_stream_arguments(ByteView key, PyObject* iv, PyObject* state) {
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    if (PyByteArray_GET_SIZE(iv) != 16) return value_error("IV must be 16 bytes");
    if (PyByteArray_GET_SIZE(state) == 0) return value_error("state must not be empty");
    return std::nullopt;
}

// The stream state the caller's iv and state stand for.
CtrState stream_state(PyObject* iv, PyObject* state) {
    CtrState stream{{}, keystream_position(bytearray_bytes(state)[0])};
    std::memcpy(stream.counter.data(), bytearray_bytes(iv).data(), 16);
    return stream;
}

// Runs the stream from `input` to `output`, with the lock released from the threshold on.
DALLOWGATE_INLINE CtrState run_stream(std::span<const std::uint8_t> input, std::uint8_t* output,
                                      ByteView key, PyObject* iv, PyObject* state) {
    CtrJob job{input, output, key.first<32>(), stream_state(iv, state)};
    return run_released_from_threshold(input.size(), [&job] { return run_ctr_job(job); });
}

// After the work, before anything is written: iv and state must have kept their lengths (any
// change of length, growing included, means another thread changed them meanwhile).
MaybeError check_stream_state(PyObject* iv, PyObject* state, Py_ssize_t state_size) {
    if (PyByteArray_GET_SIZE(iv) != 16) return resized_during_call("iv");
    if (PyByteArray_GET_SIZE(state) != state_size) return resized_during_call("state");
    return std::nullopt;
}

void write_stream_state(PyObject* iv, PyObject* state, const CtrState& stream) {
    std::memcpy(bytearray_bytes(iv).data(), stream.counter.data(), 16);
    bytearray_bytes(state)[0] = static_cast<std::uint8_t>(stream.position);
}

// The keystream runs from `src` straight into the result object, which no other thread can
// reach before it is returned.
Result<Ref> ctr_body(const CtrDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [src, key, iv, state] = *bound;
    if (MaybeError error = check_stream_arguments(key, iv, state)) return std::move(*error);

    const Py_ssize_t state_size = PyByteArray_GET_SIZE(state);
    std::uint8_t* output = nullptr;
    Ref result = new_bytes_to_fill(src.size(), output);
    if (!result) return CallError::fetch_pending();
    CtrState advanced = run_stream(src, output, key, iv, state);
    if (MaybeError error = check_stream_state(iv, state, state_size)) return std::move(*error);
    write_stream_state(iv, state, advanced);
    return result;
}

#ifdef PYPY_VERSION
// PyPy cannot pin a bytearray for C code: PyPy 7.3 lets a resize go through a buffer export,
// and PyPy 8.0's exports honour a subclass's Python-level __buffer__. So with the lock
// released, data is transformed in the thread's scratch buffer and written back, and a change
// of length meanwhile fails the call with nothing written, as in the returning form.
Result<Ref> inplace_through_copy(PyObject* data, ByteView key, PyObject* iv, PyObject* state) {
    const Py_ssize_t state_size = PyByteArray_GET_SIZE(state);
    const std::span<const std::uint8_t> bytes = bytearray_bytes(data);
    ByteBuffer copy = take_scratch();
    if (!copy.resize_uninitialized(bytes.size())) return memory_error();
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    CtrState advanced = run_stream(copy.bytes(), copy.data(), key, iv, state);
    if (bytearray_bytes(data).size() != copy.size()) return resized_during_call("data");
    if (MaybeError error = check_stream_state(iv, state, state_size)) return std::move(*error);
    std::memcpy(bytearray_bytes(data).data(), copy.data(), copy.size());
    write_stream_state(iv, state, advanced);
    give_back_scratch(std::move(copy));
    return new_none();
}
#endif

// `data` is transformed where it is. Below the lock-release threshold the lock is held
// throughout; from it on, data, iv and state are pinned for the call (their resizing fails in
// the other thread), so their lengths cannot change while the lock is released. On PyPy,
// through a copy from the threshold on.
Result<Ref> inplace_body(const InplaceDeclaration& declaration, PyObject* const* args,
                         Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data, key, iv, state] = *bound;
    if (MaybeError error = check_stream_arguments(key, iv, state)) return std::move(*error);

    const std::span<std::uint8_t> bytes = bytearray_bytes(data);
    if (bytes.size() < LOCK_RELEASE_THRESHOLD) {
        write_stream_state(iv, state, run_stream(bytes, bytes.data(), key, iv, state));
        return new_none();
    }
#ifdef PYPY_VERSION
    return inplace_through_copy(data, key, iv, state);
#else
    const BufferPin data_pin(data), iv_pin(iv), state_pin(state);
    if (!data_pin.pinned() || !iv_pin.pinned() || !state_pin.pinned())
        return CallError::fetch_pending();
    write_stream_state(iv, state, run_stream(bytes, bytes.data(), key, iv, state));
    return new_none();
#endif
}

Result<Ref> batch_body(const BatchDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data_flat, sizes, key, ivs, states] = *bound;
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    const std::size_t n = bytearray_bytes(states).size();
    if (n == 0) return new_bytes({});
    if (bytearray_bytes(ivs).size() != 16 * n) return value_error("ivs must be 16*n bytes");
    if (bytearray_bytes(sizes).size() != 4 * n) return value_error("sizes must be 4*n bytes");

    std::vector<std::uint64_t> offsets(n + 1, 0);
    const std::uint8_t* entries = bytearray_bytes(sizes).data();
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint64_t size = load_le<std::uint32_t>(entries + 4 * k);
        if (__builtin_add_overflow(offsets[k], size, &offsets[k + 1]))
            return value_error("total data size overflow");
    }
    if (offsets[n] > data_flat.size()) return value_error("data_flat too short for given sizes");

    // The result starts as a copy of data_flat and is transformed item by item in place.
    std::uint8_t* out = nullptr;
    Ref result = new_bytes_to_fill(data_flat.size(), out);
    if (!result) return CallError::fetch_pending();
    if (!data_flat.empty()) std::memcpy(out, data_flat.data(), data_flat.size());
    std::vector<CtrState> streams(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::memcpy(streams[k].counter.data(), bytearray_bytes(ivs).data() + 16 * k, 16);
        streams[k].position = keystream_position(bytearray_bytes(states)[k]);
    }
    release_interpreter_lock([&] {
        Aes256Cipher cipher(key.first<32>(), AesUse::keystream);
        for (std::size_t k = 0; k < n; ++k) {
            std::uint8_t* item = out + offsets[k];
            apply_ctr_keystream(cipher, {item, offsets[k + 1] - offsets[k]}, item, streams[k]);
        }
    });

    if (bytearray_bytes(ivs).size() != 16 * n) return resized_during_call("ivs");
    if (bytearray_bytes(states).size() != n) return resized_during_call("states");
    for (std::size_t k = 0; k < n; ++k) {
        std::memcpy(bytearray_bytes(ivs).data() + 16 * k, streams[k].counter.data(), 16);
        bytearray_bytes(states)[k] = static_cast<std::uint8_t>(streams[k].position);
    }
    return result;
}

}  // namespace

Result<Ref> ctr256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ctr_body(CTR256_ENCRYPT, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return ctr_body(CTR256_DECRYPT, args, nargs, kwnames);
}
Result<Ref> ctr256_encrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
    return inplace_body(CTR256_ENCRYPT_INPLACE, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs,
                                        PyObject* kwnames) {
    return inplace_body(CTR256_DECRYPT_INPLACE, args, nargs, kwnames);
}
Result<Ref> ctr256_encrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return batch_body(CTR256_ENCRYPT_BATCH, args, nargs, kwnames);
}
Result<Ref> ctr256_decrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return batch_body(CTR256_DECRYPT_BATCH, args, nargs, kwnames);
}

}  // namespace dallowgate
