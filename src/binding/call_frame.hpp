// The call frame that every module function runs in: it turns a body's outcome into a
// return value or a raised exception, and internal faults into PanicException.
#pragma once

#include "binding/python.hpp"

#include <new>

#include "binding/result.hpp"
#include "common/internal_fault.hpp"

namespace dallowgate {

// A function's body: matches and converts the arguments, runs the core, builds the result.
using Body = Result<Ref> (*)(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// Raises the fault as PanicException after a report on standard error; aborts the
// process if that is impossible.
void raise_internal_fault(const InternalFault& fault) noexcept;
// Reports "uncaught panic at ffi boundary" on standard error and aborts.
[[noreturn]] void fault_trap() noexcept;

// Runs `body` (any callable returning Result<Ref>) under the fault guard. Returns a new
// reference, or null with an exception set.
template <class Fn>
PyObject* call_frame(Fn&& body) noexcept {
    try {
        Result<Ref> outcome = body();
        if (outcome) return outcome->release();
        outcome.take_error().raise();
        return nullptr;
    } catch (const InternalFault& fault) {
        raise_internal_fault(fault);
        return nullptr;
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (...) {
        fault_trap();
    }
}

// A METH_FASTCALL | METH_KEYWORDS entry that hands its call to the frame.
template <Body body>
PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return call_frame([&] { return body(args, nargs, kwnames); });
}

}  // namespace dallowgate
