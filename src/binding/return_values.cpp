#include "binding/return_values.hpp"

namespace dallowgate {
namespace {

Result<Ref> created(PyObject* object) {
    if (!object) return CallError::fetch_pending();
    return Ref::steal(object);
}

}  // namespace

Result<Ref> new_bytes(std::span<const std::uint8_t> content) {
    return created(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(content.data()),
                                             static_cast<Py_ssize_t>(content.size())));
}

Result<Ref> shorten_filled_bytes(Ref bytes, std::size_t size) {
    if (static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get())) == size) return bytes;
    PyObject* object = bytes.release();
    // On failure the object is released and the pointer set to null.
    if (_PyBytes_Resize(&object, static_cast<Py_ssize_t>(size)) != 0)
        return CallError::fetch_pending();
    return Ref::steal(object);
}

Result<Ref> new_bytes_pair_to_fill(std::size_t size, std::uint8_t*& first, std::uint8_t*& second) {
    Ref tuple = Ref::steal(PyTuple_New(2));
    if (!tuple) return CallError::fetch_pending();
    for (Py_ssize_t i = 0; i < 2; ++i) {
        PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
        if (!bytes) return CallError::fetch_pending();
        PyTuple_SET_ITEM(tuple.get(), i, bytes);
    }
    first = reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(PyTuple_GET_ITEM(tuple.get(), 0)));
    second = reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(PyTuple_GET_ITEM(tuple.get(), 1)));
    return tuple;
}

Result<Ref> new_int64(std::int64_t value) {
    return created(PyLong_FromLongLong(value));
}

Result<Ref> new_int32(std::int32_t value) {
    return created(PyLong_FromLong(value));
}

Result<Ref> new_ssize(Py_ssize_t value) {
    return created(PyLong_FromSsize_t(value));
}

Result<Ref> new_none() {
    return Ref::borrow(Py_None);
}

}  // namespace dallowgate
