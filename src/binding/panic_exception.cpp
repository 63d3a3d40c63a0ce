#include "binding/panic_exception.hpp"

#include <atomic>

namespace dallowgate {
namespace {

constexpr const char PANIC_DOC[] =
    "\nThe exception raised when the module's native code called from Python faults.\n\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// Published once: threads that race to make it (free-threaded builds) all use the first one.
std::atomic<PyObject*> panic_type{nullptr};

}  // namespace

PyObject* panic_exception_type() noexcept {
    PyObject* type = panic_type.load(std::memory_order_acquire);
    if (type) return type;
    PyObject* made = PyErr_NewExceptionWithDoc("tavrel_runtime.PanicException", PANIC_DOC,
                                               PyExc_BaseException, nullptr);
    if (!made) {
        PyErr_Clear();
        return nullptr;
    }
    if (panic_type.compare_exchange_strong(type, made, std::memory_order_acq_rel,
                                           std::memory_order_acquire))
        return made;
    Py_DECREF(made);  // another thread's was published first
    return type;
}

}  // namespace dallowgate
