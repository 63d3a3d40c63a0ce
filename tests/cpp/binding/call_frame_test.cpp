// The call frame seen from Python: results, raised errors and internal faults.
#include "binding/python.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "binding/call_frame.hpp"
#include "binding/errors.hpp"
#include "embedded_python.hpp"

namespace dallowgate {
namespace {

Result<Ref> faulting_body(PyObject* const*, Py_ssize_t, PyObject*) {
    internal_fault("index 9 outside a buffer of 8 bytes");
}
Result<Ref> rejecting_body(PyObject* const*, Py_ssize_t, PyObject*) {
    return value_error("Key must be 32 bytes");
}
Result<Ref> pending_error_body(PyObject* const*, Py_ssize_t, PyObject*) {
    PyErr_SetString(PyExc_KeyError, "kept as it was");
    return CallError::fetch_pending();
}
Result<Ref> nothing_pending_body(PyObject* const*, Py_ssize_t, PyObject*) {
    return CallError::fetch_pending();
}
Result<Ref> exhausted_body(PyObject* const*, Py_ssize_t, PyObject*) {
    throw std::bad_alloc();
}
Result<Ref> answering_body(PyObject* const*, Py_ssize_t nargs, PyObject*) {
    return Ref::steal(PyLong_FromSsize_t(nargs));
}
Result<Ref> foreign_exception_body(PyObject* const*, Py_ssize_t, PyObject*) {
    throw 42;
}

// Calls `body` through a function object as Python would, returning the raised
// exception instance (or null if the call succeeded).
template <Body body>
Ref call_and_catch(Ref* result = nullptr) {
    static PyMethodDef record = {
        "probe", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&entry<body>)),
        METH_FASTCALL | METH_KEYWORDS, nullptr};
    Ref function = Ref::steal(PyCFunction_New(&record, nullptr));
    Ref arg = Ref::steal(PyLong_FromLong(7));
    Ref outcome = Ref::steal(PyObject_CallOneArg(function.get(), arg.get()));
    if (outcome) {
        if (result) *result = std::move(outcome);
        return Ref();
    }
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return Ref::steal(value);
}

std::string str_of(PyObject* object) {
    Ref text = Ref::steal(PyObject_Str(object));
    return text ? PyUnicode_AsUTF8(text.get()) : "<str failed>";
}

std::string type_attribute(PyObject* instance, const char* attribute) {
    Ref value = Ref::steal(PyObject_GetAttrString((PyObject*)Py_TYPE(instance), attribute));
    return value ? str_of(value.get()) : "<missing>";
}

TEST(CallFrame, ReturnsTheBodysResult) {
    Ref result;
    EXPECT_FALSE(call_and_catch<answering_body>(&result));
    EXPECT_EQ(PyLong_AsLong(result.get()), 1);
}

TEST(CallFrame, RaisesRejectionWithTheMessageAsOnlyArgument) {
    Ref error = call_and_catch<rejecting_body>();
    ASSERT_TRUE(error);
    EXPECT_TRUE(PyObject_TypeCheck(error.get(), (PyTypeObject*)PyExc_ValueError));
    Ref args = Ref::steal(PyObject_GetAttrString(error.get(), "args"));
    ASSERT_EQ(PyTuple_Size(args.get()), 1);
    EXPECT_EQ(str_of(PyTuple_GET_ITEM(args.get(), 0)), "Key must be 32 bytes");
}

TEST(CallFrame, RestoresAFetchedExceptionUnchanged) {
    Ref error = call_and_catch<pending_error_body>();
    ASSERT_TRUE(error);
    EXPECT_EQ(Py_TYPE(error.get()), (PyTypeObject*)PyExc_KeyError);
    EXPECT_EQ(str_of(error.get()), "'kept as it was'");
}

TEST(CallFrame, FetchingWithNothingPendingIsASystemError) {
    Ref error = call_and_catch<nothing_pending_body>();
    ASSERT_TRUE(error);
    EXPECT_EQ(Py_TYPE(error.get()), (PyTypeObject*)PyExc_SystemError);
    EXPECT_EQ(str_of(error.get()), "attempted to fetch exception but none was set");
}

TEST(CallFrame, ExhaustedMemoryIsMemoryError) {
    Ref error = call_and_catch<exhausted_body>();
    ASSERT_TRUE(error);
    EXPECT_EQ(Py_TYPE(error.get()), (PyTypeObject*)PyExc_MemoryError);
}

TEST(CallFrame, InternalFaultIsPanicException) {
    // The deliberate faults' reports are captured here, so that they are checked rather
    // than printed among the results as if something had crashed.
    ::testing::internal::CaptureStderr();
    Ref first = call_and_catch<faulting_body>();
    Ref second = call_and_catch<faulting_body>();
    const std::string reports = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(reports.find("panicked at"), std::string::npos) << reports;
    EXPECT_NE(reports.find("call_frame_test.cpp:"), std::string::npos) << reports;
    EXPECT_NE(reports.find("index 9 outside a buffer of 8 bytes\n"), std::string::npos) << reports;
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    PyTypeObject* type = Py_TYPE(first.get());
    EXPECT_EQ(type, Py_TYPE(second.get())) << "one type object per process";
    EXPECT_EQ(type_attribute(first.get(), "__name__"), "PanicException");
    EXPECT_EQ(type_attribute(first.get(), "__module__"), "tavrel_runtime");
    EXPECT_TRUE(PyType_IsSubtype(type, (PyTypeObject*)PyExc_BaseException));
    EXPECT_FALSE(PyType_IsSubtype(type, (PyTypeObject*)PyExc_Exception));
    EXPECT_NE(type_attribute(first.get(), "__doc__").find("BaseException"), std::string::npos);
    EXPECT_EQ(str_of(first.get()), "index 9 outside a buffer of 8 bytes");
}

TEST(CallFrameDeathTest, AnUnknownExceptionAbortsWithTheTrapReport) {
    EXPECT_DEATH(call_and_catch<foreign_exception_body>(), "uncaught panic at ffi boundary");
}

}  // namespace
}  // namespace dallowgate
