// PanicException: the BaseException subclass that internal faults are raised as.
// Created on the first fault in the process (once, whichever thread gets there first); never a
// module attribute.
#pragma once

#include "binding/python.hpp"

namespace dallowgate {

// The type (borrowed, lives as long as the process), or null if it cannot be created.
// Needs the interpreter lock.
PyObject* panic_exception_type() noexcept;

}  // namespace dallowgate
