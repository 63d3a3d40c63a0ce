// Placeholder outcome for functions whose cores are not built yet.
#pragma once

#include "binding/result.hpp"

namespace dallowgate {

inline CallError not_built_yet(const char* name) {
    return CallError::with_message(
        PyExc_NotImplementedError,
        Ref::steal(PyUnicode_FromFormat("%s is not implemented yet", name)));
}

}  // namespace dallowgate
