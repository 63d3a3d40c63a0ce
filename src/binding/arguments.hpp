// Argument matching: fills one slot per parameter from a METH_FASTCALL | METH_KEYWORDS call,
// reporting count, keyword and missing-argument errors with the interpreter's wording.
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <span>

#include "binding/result.hpp"

namespace dallowgate {

struct FunctionDescription {
    const char* name;  // "kdf"; messages call it "kdf()"
    std::span<const char* const> parameters;
    std::size_t required;  // the leading parameters that must be given
};

// Fills `slots` (one per parameter, all null on entry) with borrowed references.
// Parameters not given stay null.
MaybeError match_arguments(const FunctionDescription& description, PyObject* const* args,
                           Py_ssize_t nargs, PyObject* kwnames, PyObject** slots);

}  // namespace dallowgate
