#include "binding/call_frame.hpp"

#include <cstdio>
#include <cstdlib>

#include "binding/panic_exception.hpp"

#if defined(__linux__) || defined(__APPLE__)
#include <pthread.h>
#endif

namespace dallowgate {
namespace {

void write_fault_report(const InternalFault& fault) {
    char thread_name[64] = "<unnamed>";
    // glibc has named threads since 2.12 and macOS since 10.6; musl only from 1.2.3, older
    // than which the module must still load, so there the thread stays unnamed.
#if defined(__GLIBC__) || defined(__APPLE__)
    if (pthread_getname_np(pthread_self(), thread_name, sizeof thread_name) != 0)
        std::snprintf(thread_name, sizeof thread_name, "<unnamed>");
#endif
    std::fprintf(stderr, "thread '%s' panicked at %s:%u:%u:\n%s\n", thread_name,
                 fault.where().file_name(), static_cast<unsigned>(fault.where().line()),
                 static_cast<unsigned>(fault.where().column()), fault.message().c_str());
    std::fflush(stderr);
}

}  // namespace

[[noreturn]] void fault_trap() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::fflush(stderr);
    std::abort();
}

void raise_internal_fault(const InternalFault& fault) noexcept {
    try {
        write_fault_report(fault);
        PyObject* type = panic_exception_type();
        if (!type) {
            std::fputs("Failed to initialize new exception type.\n", stderr);
            fault_trap();
        }
        Ref message = Ref::steal(PyUnicode_DecodeUTF8(
            fault.message().data(), static_cast<Py_ssize_t>(fault.message().size()), "replace"));
        if (!message) fault_trap();
        PyErr_SetObject(type, message.get());
    } catch (...) {
        fault_trap();
    }
}

}  // namespace dallowgate
