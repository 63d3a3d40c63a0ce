#include "binding/arguments.hpp"

#include <cstring>
#include <string>

namespace dallowgate {
namespace {

CallError type_error(Ref message) {
    return CallError::with_message(PyExc_TypeError, std::move(message));
}

const char* was_or_were(Py_ssize_t count) {
    return count == 1 ? "was" : "were";
}

CallError too_many_positional(const FunctionDescription& d, Py_ssize_t nargs) {
    auto count = static_cast<Py_ssize_t>(d.parameters.size());
    auto required = static_cast<Py_ssize_t>(d.required);
    if (required < count)
        return type_error(Ref::steal(
            PyUnicode_FromFormat("%s() takes from %zd to %zd positional arguments but %zd %s given",
                                 d.name, required, count, nargs, was_or_were(nargs))));
    return type_error(
        Ref::steal(PyUnicode_FromFormat("%s() takes %zd positional arguments but %zd %s given",
                                        d.name, count, nargs, was_or_were(nargs))));
}

// The index of the parameter that `keyword` names, or the parameter count if none.
std::size_t parameter_index(const FunctionDescription& d, PyObject* keyword) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(keyword, &size);
    if (!text) {
        PyErr_Clear();
        return d.parameters.size();
    }
    for (std::size_t i = 0; i < d.parameters.size(); ++i) {
        const char* name = d.parameters[i];
        if (std::strlen(name) == static_cast<std::size_t>(size) &&
            std::memcmp(name, text, static_cast<std::size_t>(size)) == 0)
            return i;
    }
    return d.parameters.size();
}

CallError missing_arguments(const FunctionDescription& d, PyObject* const* slots) {
    std::size_t missing = 0;
    for (std::size_t i = 0; i < d.required; ++i) missing += slots[i] == nullptr;
    std::string list;
    std::size_t written = 0;
    for (std::size_t i = 0; i < d.required; ++i) {
        if (slots[i]) continue;
        if (written > 0) {
            if (missing > 2) list += ',';
            list += written + 1 == missing ? " and " : " ";
        }
        list += '\'';
        list += d.parameters[i];
        list += '\'';
        ++written;
    }
    return type_error(Ref::steal(
        PyUnicode_FromFormat("%s() missing %zu required positional %s: %s", d.name, missing,
                             missing == 1 ? "argument" : "arguments", list.c_str())));
}

}  // namespace

MaybeError match_arguments(const FunctionDescription& d, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames, PyObject** slots) {
    if (static_cast<std::size_t>(nargs) > d.parameters.size()) return too_many_positional(d, nargs);
    for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

    Py_ssize_t keyword_count = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
        std::size_t index = parameter_index(d, keyword);
        if (index == d.parameters.size())
            return type_error(Ref::steal(PyUnicode_FromFormat(
                "%s() got an unexpected keyword argument '%S'", d.name, keyword)));
        if (slots[index])
            return type_error(Ref::steal(PyUnicode_FromFormat(
                "%s() got multiple values for argument '%s'", d.name, d.parameters[index])));
        slots[index] = args[nargs + k];
    }

    if (static_cast<std::size_t>(nargs) < d.required) {
        for (std::size_t i = static_cast<std::size_t>(nargs); i < d.required; ++i)
            if (!slots[i]) return missing_arguments(d, slots);
    }
    return std::nullopt;
}

}  // namespace dallowgate
