// Interned attribute names, created once per process on first use and kept (published
// atomically: every thread sees one complete value).
#pragma once

#include "binding/python.hpp"

namespace dallowgate {

enum class Name { dunder_name, dunder_all, dunder_module, dunder_qualname, add_note, count };

// The interned str (borrowed), or null with an exception set if it cannot be created.
// Needs the interpreter lock.
PyObject* interned(Name name) noexcept;

}  // namespace dallowgate
