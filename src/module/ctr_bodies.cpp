#include "binding/python.hpp"

#include <cstring>
#include <vector>

#include "binding/buffer_pin.hpp"
#include "binding/bytearray_access.hpp"
#include "binding/errors.hpp"
#include "binding/in_place_claim.hpp"
#include "binding/lock_release.hpp"
#include "binding/object_lock.hpp"
#include "binding/return_values.hpp"
#include "binding/scratch_buffer.hpp"
#include "common/byte_order.hpp"
#include "common/platform.hpp"
#include "modes/ctr.hpp"
#include "module/bodies.hpp"
#include "module/declarations.hpp"

namespace dallowgate {
namespace {

// The stream state the caller's iv and state stand for.
CtrState stream_state(PyObject* iv, PyObject* state) {
    CtrState stream{{}, keystream_position(bytearray_bytes(state)[0])};
    std::memcpy(stream.counter.data(), bytearray_bytes(iv).data(), 16);
    return stream;
}

// The lengths of iv and state that the single-stream functions accept (checked where neither
// can change meanwhile).
MaybeError check_iv_and_state(PyObject* iv, PyObject* state) {
    if (PyByteArray_GET_SIZE(iv) != 16) return value_error("IV must be 16 bytes");
    if (PyByteArray_GET_SIZE(state) == 0) return value_error("state must not be empty");
    return std::nullopt;
}

// The checks on key, iv and state shared by the single-stream functions, and the stream state
// and state length they stand for, read at once (in the two objects' critical sections on
// free-threaded builds, so that no other call's write-back is seen in part).
MaybeError read_stream_arguments(ByteView key, PyObject* iv, PyObject* state, CtrState& stream,
                                 Py_ssize_t& state_size) {
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    const PairLock lock(iv, state);
    if (MaybeError error = check_iv_and_state(iv, state)) return error;
    state_size = PyByteArray_GET_SIZE(state);
    stream = stream_state(iv, state);
    return std::nullopt;
}

// Runs the stream from `input` to `output`, with the lock released from the threshold on.
DALLOWGATE_INLINE CtrState run_stream(std::span<const std::uint8_t> input, std::uint8_t* output,
                                      ByteView key, const CtrState& stream) {
    CtrJob job{input, output, key.first<32>(), stream};
    return run_released_from_threshold(input.size(), [&job] { return run_ctr_job(job); });
}

// Where every call pins (free-threaded 3.13): iv's and state's storage is used only while it is
// as the call first found it (see StorageCheck).
MaybeError check_storage(const StorageCheck& iv, const StorageCheck& state) {
    if (!iv.usable()) return resized_during_call("iv");
    if (!state.usable()) return resized_during_call("state");
    return std::nullopt;
}

void write_stream_state(PyObject* iv, PyObject* state, const CtrState& stream) {
    std::memcpy(bytearray_bytes(iv).data(), stream.counter.data(), 16);
    bytearray_bytes(state)[0] = static_cast<std::uint8_t>(stream.position);
}

// After the work: iv and state must have kept their lengths (any change of length, growing
// included, means another thread changed them meanwhile), and are then written together.
MaybeError write_back_stream(PyObject* iv, PyObject* state, Py_ssize_t state_size,
                             const CtrState& stream, const StorageCheck& iv_storage,
                             const StorageCheck& state_storage) {
    const PairLock lock(iv, state);
    if (PyByteArray_GET_SIZE(iv) != 16) return resized_during_call("iv");
    if (PyByteArray_GET_SIZE(state) != state_size) return resized_during_call("state");
    if (MaybeError error = check_storage(iv_storage, state_storage)) return error;
    write_stream_state(iv, state, stream);
    return std::nullopt;
}

#ifdef Py_GIL_DISABLED
// A call below the lock-release threshold on a free-threaded build: the result is made first,
// and then the stream is read, run and written back in one critical section of iv and state
// (nothing in it detaches the thread), so that such a call takes the two objects' locks once
// and sees no other call's write-back between its read and its own. On 3.13, where that
// section does not stop another thread's resize, the two are pinned inside it too.
Result<Ref> short_ctr_free_threaded(ByteView src, ByteView key, PyObject* iv, PyObject* state) {
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    std::uint8_t* output = nullptr;
    Ref result = new_bytes_to_fill(src.size(), output);
    if (!result) return CallError::fetch_pending();
    const PairLock lock(iv, state);
    const SectionPins pins(iv, state);
    if (MaybeError error = check_iv_and_state(iv, state)) return std::move(*error);
    const StorageCheck iv_storage(iv), state_storage(state);
    if (MaybeError error = check_storage(iv_storage, state_storage)) return std::move(*error);
    const CtrJob job{src, output, key.first<32>(), stream_state(iv, state)};
    const CtrState advanced = run_ctr_job(job);
    if (MaybeError error = check_storage(iv_storage, state_storage)) return std::move(*error);
    write_stream_state(iv, state, advanced);
    return result;
}
#endif

// The keystream runs from `src` straight into the result object, which no other thread can
// reach before it is returned.
Result<Ref> ctr_body(const CtrDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [src, key, iv, state] = *bound;
#ifdef Py_GIL_DISABLED
    if (src.size() < LOCK_RELEASE_THRESHOLD) return short_ctr_free_threaded(src, key, iv, state);
#endif
    const CallPin iv_pin(iv), state_pin(state);
    if (!iv_pin.pinned() || !state_pin.pinned()) return CallError::fetch_pending();
    const StorageCheck iv_storage(iv), state_storage(state);
    CtrState stream;
    Py_ssize_t state_size = 0;
    if (MaybeError error = read_stream_arguments(key, iv, state, stream, state_size))
        return std::move(*error);

    std::uint8_t* output = nullptr;
    Ref result = new_bytes_to_fill(src.size(), output);
    if (!result) return CallError::fetch_pending();
    const CtrState advanced = run_stream(src, output, key, stream);
    if (MaybeError error =
            write_back_stream(iv, state, state_size, advanced, iv_storage, state_storage))
        return std::move(*error);
    return result;
}

#ifdef PYPY_VERSION
// PyPy cannot pin a bytearray for C code: PyPy 7.3 lets a resize go through a buffer export,
// and PyPy 8.0's exports honour a subclass's Python-level __buffer__. So with the lock
// released, data is transformed in the thread's scratch buffer and written back, and a change
// of length meanwhile fails the call with nothing written, as in the returning form.
Result<Ref> inplace_through_copy(PyObject* data, ByteView key, PyObject* iv, PyObject* state,
                                 const CtrState& stream, Py_ssize_t state_size) {
    const std::span<const std::uint8_t> bytes = bytearray_bytes(data);
    ByteBuffer copy = take_scratch();
    if (!copy.resize_uninitialized(bytes.size())) return memory_error();
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    const CtrState advanced = run_stream(copy.bytes(), copy.data(), key, stream);
    if (bytearray_bytes(data).size() != copy.size()) return resized_during_call("data");
    if (PyByteArray_GET_SIZE(iv) != 16) return resized_during_call("iv");
    if (PyByteArray_GET_SIZE(state) != state_size) return resized_during_call("state");
    std::memcpy(bytearray_bytes(data).data(), copy.data(), copy.size());
    write_stream_state(iv, state, advanced);
    give_back_scratch(std::move(copy));
    return new_none();
}
#endif

#ifdef Py_GIL_DISABLED
// With no interpreter lock, another thread may resize or write data, iv and state at any
// moment. data is pinned for every call and claimed while it is transformed, so that two
// in-place calls on it run one after the other. Below the lock-release threshold the stream is
// then read, run and written back in one critical section of iv and state (nothing in it
// detaches the thread); from it on, iv and state are pinned too, and the stream is read and
// written back in their critical sections around the released work.
Result<Ref> inplace_free_threaded(PyObject* data, ByteView key, PyObject* iv, PyObject* state) {
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    const BufferPin data_pin(data);
    if (!data_pin.pinned()) return CallError::fetch_pending();
    const StorageCheck data_storage(data);
    const std::span<std::uint8_t> bytes = bytearray_bytes(data);
    if (bytes.size() < LOCK_RELEASE_THRESHOLD) {
        const InPlaceClaim claim(data, true);
        const PairLock lock(iv, state);
        const SectionPins pins(iv, state);
        if (MaybeError error = check_iv_and_state(iv, state)) return std::move(*error);
        const StorageCheck iv_storage(iv), state_storage(state);
        if (!data_storage.usable()) return resized_during_call("data");
        if (MaybeError error = check_storage(iv_storage, state_storage)) return std::move(*error);
        const CtrJob job{bytes, bytes.data(), key.first<32>(), stream_state(iv, state)};
        const CtrState advanced = run_ctr_job(job);
        if (MaybeError error = check_storage(iv_storage, state_storage)) return std::move(*error);
        write_stream_state(iv, state, advanced);
        return new_none();
    }
    const BufferPin iv_pin(iv), state_pin(state);
    if (!iv_pin.pinned() || !state_pin.pinned()) return CallError::fetch_pending();
    const StorageCheck iv_storage(iv), state_storage(state);
    CtrState stream;
    Py_ssize_t state_size = 0;
    if (MaybeError error = read_stream_arguments(key, iv, state, stream, state_size))
        return std::move(*error);
    if (!data_storage.usable()) return resized_during_call("data");
    const CtrJob job{bytes, bytes.data(), key.first<32>(), stream};
    const CtrState advanced = release_interpreter_lock([&job, data] {
        const InPlaceClaim claim(data, false);
        return run_ctr_job(job);
    });
    const PairLock lock(iv, state);  // pinned: their lengths are as they were
    if (MaybeError error = check_storage(iv_storage, state_storage)) return std::move(*error);
    write_stream_state(iv, state, advanced);
    return new_none();
}
#endif

// `data` is transformed where it is. Below the lock-release threshold the lock is held
// throughout; from it on, data, iv and state are pinned for the call (their resizing fails in
// the other thread), so their lengths cannot change while the lock is released. On PyPy,
// through a copy from the threshold on; on free-threaded builds, pinned for every call.
Result<Ref> inplace_body(const InplaceDeclaration& declaration, PyObject* const* args,
                         Py_ssize_t nargs, PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data, key, iv, state] = *bound;
#ifdef Py_GIL_DISABLED
    return inplace_free_threaded(data, key, iv, state);
#else
    CtrState stream;
    Py_ssize_t state_size = 0;
    if (MaybeError error = read_stream_arguments(key, iv, state, stream, state_size))
        return std::move(*error);

    const std::span<std::uint8_t> bytes = bytearray_bytes(data);
    if (bytes.size() < LOCK_RELEASE_THRESHOLD) {
        write_stream_state(iv, state, run_stream(bytes, bytes.data(), key, stream));
        return new_none();
    }
#ifdef PYPY_VERSION
    return inplace_through_copy(data, key, iv, state, stream, state_size);
#else
    const BufferPin data_pin(data), iv_pin(iv), state_pin(state);
    if (!data_pin.pinned() || !iv_pin.pinned() || !state_pin.pinned())
        return CallError::fetch_pending();
    write_stream_state(iv, state, run_stream(bytes, bytes.data(), key, stream));
    return new_none();
#endif
#endif
}

// The batch's streams: n from the length of states, each from its slot of ivs and states, read
// at once (in the two objects' critical sections on free-threaded builds). Empty where n is 0.
MaybeError read_streams(PyObject* ivs, PyObject* states, std::vector<CtrState>& streams) {
    const PairLock lock(ivs, states);
    const std::size_t n = bytearray_bytes(states).size();
    if (n == 0) return std::nullopt;
    if (bytearray_bytes(ivs).size() != 16 * n) return value_error("ivs must be 16*n bytes");
    streams.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::memcpy(streams[k].counter.data(), bytearray_bytes(ivs).data() + 16 * k, 16);
        streams[k].position = keystream_position(bytearray_bytes(states)[k]);
    }
    return std::nullopt;
}

// Where each of the n items starts in data_flat (and where the last ends), from sizes.
MaybeError read_offsets(PyObject* sizes, std::size_t n, std::vector<std::uint64_t>& offsets) {
    const ObjectLock lock(sizes);
    if (bytearray_bytes(sizes).size() != 4 * n) return value_error("sizes must be 4*n bytes");
    offsets.assign(n + 1, 0);
    const std::uint8_t* entries = bytearray_bytes(sizes).data();
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint64_t size = load_le<std::uint32_t>(entries + 4 * k);
        if (__builtin_add_overflow(offsets[k], size, &offsets[k + 1]))
            return value_error("total data size overflow");
    }
    return std::nullopt;
}

// After the work: ivs and states must have kept their lengths, and are then written together.
MaybeError write_back_streams(PyObject* ivs, PyObject* states, const std::vector<CtrState>& streams,
                              const StorageCheck& ivs_storage, const StorageCheck& states_storage) {
    const std::size_t n = streams.size();
    const PairLock lock(ivs, states);
    if (bytearray_bytes(ivs).size() != 16 * n || !ivs_storage.usable())
        return resized_during_call("ivs");
    if (bytearray_bytes(states).size() != n || !states_storage.usable())
        return resized_during_call("states");
    for (std::size_t k = 0; k < n; ++k) {
        std::memcpy(bytearray_bytes(ivs).data() + 16 * k, streams[k].counter.data(), 16);
        bytearray_bytes(states)[k] = static_cast<std::uint8_t>(streams[k].position);
    }
    return std::nullopt;
}

Result<Ref> batch_body(const BatchDeclaration& declaration, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    auto bound = declaration.signature.bind(args, nargs, kwnames);
    if (!bound) return bound.take_error();
    auto [data_flat, sizes, key, ivs, states] = *bound;
    if (key.size() != 32) return value_error("Key must be 32 bytes");
    const CallPin ivs_pin(ivs), states_pin(states), sizes_pin(sizes);
    if (!ivs_pin.pinned() || !states_pin.pinned() || !sizes_pin.pinned())
        return CallError::fetch_pending();
    const StorageCheck ivs_storage(ivs), states_storage(states), sizes_storage(sizes);
    std::vector<CtrState> streams;
    if (MaybeError error = read_streams(ivs, states, streams)) return std::move(*error);
    const std::size_t n = streams.size();
    if (n == 0) return new_bytes({});
    std::vector<std::uint64_t> offsets;
    if (MaybeError error = read_offsets(sizes, n, offsets)) return std::move(*error);
    if (!ivs_storage.usable()) return resized_during_call("ivs");
    if (!states_storage.usable()) return resized_during_call("states");
    if (!sizes_storage.usable()) return resized_during_call("sizes");
    if (offsets[n] > data_flat.size()) return value_error("data_flat too short for given sizes");

    // Each item runs from data_flat straight into the result; the bytes after the last item
    // are copied as they are.
    std::uint8_t* out = nullptr;
    Ref result = new_bytes_to_fill(data_flat.size(), out);
    if (!result) return CallError::fetch_pending();
    release_interpreter_lock([&] {
        Aes256Cipher cipher(key.first<32>(), AesUse::keystream);
        for (std::size_t k = 0; k < n; ++k)
            apply_ctr_keystream(cipher, data_flat.subspan(offsets[k], offsets[k + 1] - offsets[k]),
                                out + offsets[k], streams[k]);
        if (offsets[n] != data_flat.size())
            std::memcpy(out + offsets[n], data_flat.data() + offsets[n],
                        data_flat.size() - offsets[n]);
    });
    if (MaybeError error = write_back_streams(ivs, states, streams, ivs_storage, states_storage))
        return std::move(*error);
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
