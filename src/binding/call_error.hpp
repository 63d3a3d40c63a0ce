// CallError: a Python exception on its way to the call frame, not raised yet.
#pragma once

#include "binding/python.hpp"

#include "binding/ref.hpp"

namespace dallowgate {

class CallError {
public:
    // An exception of `type` whose only argument is the str `message`.
    static CallError with_message(PyObject* type, const char* message);
    static CallError with_message(PyObject* type, Ref message);
    // The interpreter exception pending now; SystemError when none is pending.
    static CallError fetch_pending();

    CallError(CallError&&) noexcept = default;
    CallError& operator=(CallError&&) noexcept = default;

    // The exception's type (borrowed).
    PyObject* type() const { return type_.get(); }
    // The exception instance, created now if the error is still a type and a message.
    // Null (with nothing pending) if the instance cannot be created.
    PyObject* instance();
    // Sets the exception as the interpreter's pending one.
    void raise() &&;

private:
    CallError() = default;
    Ref type_;
    Ref message_;  // set while the instance is not created yet
    Ref value_;    // the exception instance, once there is one
    Ref traceback_;
};

}  // namespace dallowgate
