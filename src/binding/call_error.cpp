#include "binding/call_error.hpp"

namespace dallowgate {

CallError CallError::with_message(PyObject* type, Ref message) {
    if (!message) return fetch_pending();
    CallError error;
    error.type_ = Ref::borrow(type);
    error.message_ = std::move(message);
    return error;
}

CallError CallError::with_message(PyObject* type, const char* message) {
    return with_message(type, Ref::steal(PyUnicode_FromString(message)));
}

CallError CallError::fetch_pending() {
    CallError error;
#if PY_VERSION_HEX >= 0x030C0000
    PyObject* raised = PyErr_GetRaisedException();
    if (raised) {
        error.type_ = Ref::borrow(reinterpret_cast<PyObject*>(Py_TYPE(raised)));
        error.traceback_ = Ref::steal(PyException_GetTraceback(raised));
        error.value_ = Ref::steal(raised);
        return error;
    }
#else
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    if (type) {
        PyErr_NormalizeException(&type, &value, &traceback);
        error.type_ = Ref::steal(type);
        error.value_ = Ref::steal(value);
        error.traceback_ = Ref::steal(traceback);
        return error;
    }
#endif
    return with_message(PyExc_SystemError, "attempted to fetch exception but none was set");
}

PyObject* CallError::instance() {
    if (!value_ && message_) {
        value_ = Ref::steal(PyObject_CallOneArg(type_.get(), message_.get()));
        if (!value_) {
            PyErr_Clear();
            return nullptr;
        }
        message_ = Ref();
    }
    return value_.get();
}

void CallError::raise() && {
    if (message_) {
        PyErr_SetObject(type_.get(), message_.get());
        return;
    }
    PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

}  // namespace dallowgate
