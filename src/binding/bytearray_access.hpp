// Reading and writing caller-owned bytearray objects. Only with the interpreter lock held;
// storage and length are fetched afresh on every use, since another thread may resize the
// object whenever the lock was released.
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace dallowgate {

inline std::span<std::uint8_t> bytearray_bytes(PyObject* bytearray) {
    return {reinterpret_cast<std::uint8_t*>(PyByteArray_AS_STRING(bytearray)),
            static_cast<std::size_t>(PyByteArray_GET_SIZE(bytearray))};
}

}  // namespace dallowgate
