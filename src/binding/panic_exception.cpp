#include "binding/panic_exception.hpp"

namespace dallowgate {
namespace {

constexpr const char PANIC_DOC[] =
    "\nThe exception raised when the module's native code called from Python faults.\n\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

PyObject* panic_type = nullptr;  // written once, under the interpreter lock

}  // namespace

PyObject* panic_exception_type() noexcept {
    if (!panic_type) {
        panic_type = PyErr_NewExceptionWithDoc("tavrel_runtime.PanicException", PANIC_DOC,
                                               PyExc_BaseException, nullptr);
        if (!panic_type) PyErr_Clear();
    }
    return panic_type;
}

}  // namespace dallowgate
