// The exceptions the module's functions raise, built as CallErrors with their exact messages:
// argument matching and conversion, rejected values, objects resized meanwhile, and failures of
// memory or the OS.
#pragma once

#include "binding/python.hpp"

#include <span>

#include "binding/call_error.hpp"

namespace dallowgate {

// --- argument matching (the interpreter's own wording) ---

// TypeError "<function>() takes [from <required> to] <count> positional arguments but <given>
// was/were given".
CallError too_many_positional(const char* function, Py_ssize_t required, Py_ssize_t count,
                              Py_ssize_t given);
// TypeError "<function>() got an unexpected keyword argument '<keyword>'".
CallError unexpected_keyword(const char* function, PyObject* keyword);
// TypeError "<function>() got multiple values for argument '<parameter>'".
CallError multiple_values(const char* function, const char* parameter);
// TypeError "<function>() missing <n> required positional argument(s): 'a', 'b' and 'c'".
CallError missing_arguments(const char* function, std::span<const char* const> missing);

// --- argument conversion ---

// TypeError "'<type>' object is not an instance of '<target>'" for `object`.
CallError cast_error(PyObject* object, const char* target);
// Attaches the note "while processing '<parameter>'" to `error` where the interpreter supports
// notes (and where it can), and returns it.
CallError argument_note(CallError error, const char* parameter);

// --- values and state ---

// A rejection of a value the caller passed: ValueError with a fixed message.
inline CallError value_error(const char* message) {
    return CallError::with_message(PyExc_ValueError, message);
}

// RuntimeError "<name> was resized during the call".
CallError resized_during_call(const char* name);

// Memory for a buffer the module owns could not be obtained: MemoryError.
CallError memory_error();

// OSError for an errno value (the random source's failures).
CallError os_error(int error_number);

}  // namespace dallowgate
