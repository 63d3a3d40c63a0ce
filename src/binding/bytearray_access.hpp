// Reading and writing caller-owned bytearray objects. Only with the interpreter lock held;
// storage and length are fetched afresh on every use, since another thread may resize the
// object whenever the lock was released.
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

#include "binding/result.hpp"

namespace dallowgate {

inline std::span<std::uint8_t> bytearray_bytes(PyObject* bytearray) {
    return {reinterpret_cast<std::uint8_t*>(PyByteArray_AS_STRING(bytearray)),
            static_cast<std::size_t>(PyByteArray_GET_SIZE(bytearray))};
}

// RuntimeError "<name> was resized during the call".
inline CallError resized_during_call(const char* name) {
    return CallError::with_message(
        PyExc_RuntimeError,
        Ref::steal(PyUnicode_FromFormat("%s was resized during the call", name)));
}

}  // namespace dallowgate
