#include "binding/errors.hpp"

#include <cerrno>
#include <string>

#include "binding/names.hpp"

namespace dallowgate {
namespace {

CallError type_error(Ref message) {
    return CallError::with_message(PyExc_TypeError, std::move(message));
}

const char* was_or_were(Py_ssize_t count) {
    return count == 1 ? "was" : "were";
}

// The type's __qualname__ as the str object itself (so a lone surrogate in it survives), or
// a placeholder.
Ref type_name(PyTypeObject* type) {
    PyObject* attribute = interned(Name::dunder_qualname);
    Ref name = attribute
                   ? Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(type), attribute))
                   : Ref();
    if (!name || !PyUnicode_Check(name.get())) {
        PyErr_Clear();
        return Ref::steal(PyUnicode_FromString("<failed to extract type name>"));
    }
    return name;
}

}  // namespace

CallError too_many_positional(const char* function, Py_ssize_t required, Py_ssize_t count,
                              Py_ssize_t given) {
    if (required < count)
        return type_error(Ref::steal(
            PyUnicode_FromFormat("%s() takes from %zd to %zd positional arguments but %zd %s given",
                                 function, required, count, given, was_or_were(given))));
    return type_error(
        Ref::steal(PyUnicode_FromFormat("%s() takes %zd positional arguments but %zd %s given",
                                        function, count, given, was_or_were(given))));
}

CallError unexpected_keyword(const char* function, PyObject* keyword) {
    return type_error(Ref::steal(
        PyUnicode_FromFormat("%s() got an unexpected keyword argument '%S'", function, keyword)));
}

CallError multiple_values(const char* function, const char* parameter) {
    return type_error(Ref::steal(
        PyUnicode_FromFormat("%s() got multiple values for argument '%s'", function, parameter)));
}

CallError missing_arguments(const char* function, std::span<const char* const> missing) {
    std::string list;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        if (i > 0) {
            if (missing.size() > 2) list += ',';
            list += i + 1 == missing.size() ? " and " : " ";
        }
        list += '\'';
        list += missing[i];
        list += '\'';
    }
    return type_error(Ref::steal(PyUnicode_FromFormat(
        "%s() missing %zu required positional %s: %s", function, missing.size(),
        missing.size() == 1 ? "argument" : "arguments", list.c_str())));
}

CallError cast_error(PyObject* object, const char* target) {
    if (object == Py_None)
        return type_error(
            Ref::steal(PyUnicode_FromFormat("'None' is not an instance of '%s'", target)));
    Ref name = type_name(Py_TYPE(object));
    if (!name) return CallError::fetch_pending();
    return type_error(Ref::steal(
        PyUnicode_FromFormat("'%U' object is not an instance of '%s'", name.get(), target)));
}

CallError argument_note(CallError error, const char* parameter) {
#if PY_VERSION_HEX >= 0x030B0000
    PyObject* method = interned(Name::add_note);
    Ref note =
        method ? Ref::steal(PyUnicode_FromFormat("while processing '%s'", parameter)) : Ref();
    PyObject* instance = note ? error.instance() : nullptr;
    if (instance) {
        PyObject* call[] = {instance, note.get()};
        Ref outcome = Ref::steal(PyObject_VectorcallMethod(method, call, 2, nullptr));
        if (outcome) return error;
    }
    PyErr_Clear();
#else
    (void)parameter;
#endif
    return error;
}

CallError resized_during_call(const char* name) {
    return CallError::with_message(
        PyExc_RuntimeError,
        Ref::steal(PyUnicode_FromFormat("%s was resized during the call", name)));
}

CallError memory_error() {
    PyErr_NoMemory();
    return CallError::fetch_pending();
}

CallError os_error(int error_number) {
    errno = error_number;
    PyErr_SetFromErrno(PyExc_OSError);
    return CallError::fetch_pending();
}

}  // namespace dallowgate
