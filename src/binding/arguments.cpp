#include "binding/arguments.hpp"

#include <cstring>
#include <vector>

#include "binding/errors.hpp"

namespace dallowgate {
namespace {

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

CallError missing(const FunctionDescription& d, PyObject* const* slots) {
    std::vector<const char*> names;
    for (std::size_t i = 0; i < d.required; ++i)
        if (!slots[i]) names.push_back(d.parameters[i]);
    return missing_arguments(d.name, names);
}

}  // namespace

MaybeError match_arguments(const FunctionDescription& d, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames, PyObject** slots) {
    if (static_cast<std::size_t>(nargs) > d.parameters.size())
        return too_many_positional(d.name, static_cast<Py_ssize_t>(d.required),
                                   static_cast<Py_ssize_t>(d.parameters.size()), nargs);
    for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

    Py_ssize_t keyword_count = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
        std::size_t index = parameter_index(d, keyword);
        if (index == d.parameters.size()) return unexpected_keyword(d.name, keyword);
        if (slots[index]) return multiple_values(d.name, d.parameters[index]);
        slots[index] = args[nargs + k];
    }

    if (static_cast<std::size_t>(nargs) < d.required) {
        for (std::size_t i = static_cast<std::size_t>(nargs); i < d.required; ++i)
            if (!slots[i]) return missing(d, slots);
    }
    return std::nullopt;
}

}  // namespace dallowgate
