#include "binding/extract.hpp"

#include <climits>
#include <cstring>

#include "binding/names.hpp"

namespace dallowgate {
namespace {

// True when the object's type says it is numpy's boolean scalar.
bool is_numpy_bool(PyObject* object) {
    auto* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
    PyObject* module_attribute = interned(Name::dunder_module);
    PyObject* name_attribute = interned(Name::dunder_name);
    if (!module_attribute || !name_attribute) {
        PyErr_Clear();
        return false;
    }
    Ref module = Ref::steal(PyObject_GetAttr(type, module_attribute));
    Ref name = module ? Ref::steal(PyObject_GetAttr(type, name_attribute)) : Ref();
    if (!name) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_Check(module.get()) &&
           PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0 &&
           PyUnicode_Check(name.get()) &&
           (PyUnicode_CompareWithASCIIString(name.get(), "bool_") == 0 ||
            PyUnicode_CompareWithASCIIString(name.get(), "bool") == 0);
}

template <class Convert>
auto integer(PyObject* object, const char* parameter, Convert convert)
    -> Result<decltype(convert(object))> {
    using Value = decltype(convert(object));
    Ref index;
    if (!PyLong_Check(object)) {
        index = Ref::steal(PyNumber_Index(object));
        if (!index) return argument_note(CallError::fetch_pending(), parameter);
        if (!PyLong_Check(index.get()))
            return argument_note(cast_error(index.get(), "int"), parameter);
        object = index.get();
    }
    Value value = convert(object);
    if (value == -1 && PyErr_Occurred())
        return argument_note(CallError::fetch_pending(), parameter);
    return value;
}

// Whether the object's type defines __bool__, and the truth it gives (0 or 1, or -1 with an
// exception pending). PyPy's emulated type objects carry no nb_bool for classes defined in
// Python, so there the method is looked up by name and called as CPython's slot would call it.
bool defines_bool(PyObject* object) {
#ifdef PYPY_VERSION
    return PyObject_HasAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__bool__");
#else
    return Py_TYPE(object)->tp_as_number && Py_TYPE(object)->tp_as_number->nb_bool;
#endif
}

int truth_by_type(PyObject* object) {
#ifdef PYPY_VERSION
    return PyObject_IsTrue(object);
#else
    return Py_TYPE(object)->tp_as_number->nb_bool(object);
#endif
}

}  // namespace

Result<ByteView> extract_bytes(PyObject* object, const char* parameter) {
    if (!PyBytes_Check(object)) return argument_note(cast_error(object, "bytes"), parameter);
    return ByteView(reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(object)),
                    static_cast<std::size_t>(PyBytes_GET_SIZE(object)));
}

Result<PyObject*> extract_bytearray(PyObject* object, const char* parameter) {
    if (!PyByteArray_Check(object))
        return argument_note(cast_error(object, "bytearray"), parameter);
    return object;
}

Result<std::int64_t> extract_int64(PyObject* object, const char* parameter) {
    return integer(object, parameter,
                   [](PyObject* o) { return static_cast<std::int64_t>(PyLong_AsLongLong(o)); });
}

Result<std::int32_t> extract_int32(PyObject* object, const char* parameter) {
    return integer(object, parameter, [](PyObject* o) -> std::int32_t {
        long value = PyLong_AsLong(o);
        if (value == -1 && PyErr_Occurred()) return -1;
#if LONG_MAX > INT32_MAX
        if (value < INT32_MIN || value > INT32_MAX) {
            PyErr_SetString(PyExc_OverflowError, "Python int too large to convert to C int");
            return -1;
        }
#endif
        return static_cast<std::int32_t>(value);
    });
}

Result<bool> extract_bool(PyObject* object, const char* parameter) {
    if (PyBool_Check(object)) return object == Py_True;
    if (is_numpy_bool(object)) {
        if (!defines_bool(object))
            return argument_note(
                CallError::with_message(
                    PyExc_TypeError,
                    Ref::steal(PyUnicode_FromFormat(
                        "object of type '%S' does not define a '__bool__' conversion",
                        reinterpret_cast<PyObject*>(Py_TYPE(object))))),
                parameter);
        const int truth = truth_by_type(object);
        if (truth == 0 || truth == 1) return truth == 1;
        return argument_note(CallError::fetch_pending(), parameter);
    }
    return argument_note(cast_error(object, "bool"), parameter);
}

}  // namespace dallowgate
