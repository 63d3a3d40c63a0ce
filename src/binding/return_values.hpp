// Result builders: the Python objects a body returns. A creation that fails hands back
// the interpreter's pending exception (MemoryError when memory ran out).
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

#include "binding/result.hpp"

namespace dallowgate {

// A new bytes object holding a copy of `content`.
Result<Ref> new_bytes(std::span<const std::uint8_t> content);
// A new bytes object of `size` bytes that nobody else has seen yet: the caller may write
// its contents (through `storage`, also with the lock released) until it returns it. Null
// where it could not be made, with the interpreter's exception pending (CallError::
// fetch_pending). A reference rather than a Result, so that returning it is a plain move.
// Created without contents, so that even a 1-byte object is a new one, not a shared one.
inline Ref new_bytes_to_fill(std::size_t size, std::uint8_t*& storage) {
    Ref bytes = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
    if (bytes) [[likely]]
        storage = reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes.get()));
    return bytes;
}
// The bytes object of new_bytes_to_fill, not yet returned, cut to its first `size` bytes (at
// most its size). Its memory is shrunk where it lies (or copied, as on PyPy).
Result<Ref> shorten_filled_bytes(Ref bytes, std::size_t size);
// A new tuple of two new bytes objects of `size` bytes each, that nobody else has seen yet: the
// caller may write their contents through `first` and `second` until it returns the tuple.
Result<Ref> new_bytes_pair_to_fill(std::size_t size, std::uint8_t*& first, std::uint8_t*& second);
Result<Ref> new_int64(std::int64_t value);
Result<Ref> new_int32(std::int32_t value);
Result<Ref> new_ssize(Py_ssize_t value);
Result<Ref> new_none();

// A new tuple that takes over the items, built beforehand in order. If one failed, the
// first failure is the outcome.
template <std::size_t N>
Result<Ref> new_tuple(Result<Ref> (&&items)[N]) {
    for (auto& item : items)
        if (!item) return item.take_error();
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(N)));
    if (!tuple) return CallError::fetch_pending();
    for (std::size_t i = 0; i < N; ++i)
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), items[i]->release());
    return tuple;
}

}  // namespace dallowgate
