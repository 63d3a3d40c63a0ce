// Conversion of one argument to the typed value a core works with. Every failure carries
// the note "while processing '<parameter>'" where the interpreter supports notes.
#pragma once

#include "binding/python.hpp"

#include <cstdint>
#include <span>

#include "binding/errors.hpp"
#include "binding/result.hpp"

namespace dallowgate {

using ByteView = std::span<const std::uint8_t>;

// `bytes` and subclasses: a view of the contents, valid for the whole call.
Result<ByteView> extract_bytes(PyObject* object, const char* parameter);
// `bytearray` and subclasses: the object itself (borrowed).
Result<PyObject*> extract_bytearray(PyObject* object, const char* parameter);
// `int` (bool included) and objects with `__index__`, in the signed 64- or 32-bit range.
Result<std::int64_t> extract_int64(PyObject* object, const char* parameter);
Result<std::int32_t> extract_int32(PyObject* object, const char* parameter);
// Exactly True or False, or a numpy boolean scalar.
Result<bool> extract_bool(PyObject* object, const char* parameter);

}  // namespace dallowgate
