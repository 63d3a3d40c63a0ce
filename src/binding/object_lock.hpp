// The critical sections of caller objects on free-threaded builds: held around the short reads
// and write-backs of a caller's bytearray, so that no other thread resizes or writes it
// meanwhile (CPython's bytearray methods hold the same sections from 3.14 on). A section is
// suspended whenever its thread detaches from the interpreter, so it never covers the work done
// with the lock released: buffer pins do. On builds with the interpreter lock these are empty,
// the lock serving instead.
#pragma once

#include "binding/python.hpp"

namespace dallowgate {

class ObjectLock {
public:
#ifdef Py_GIL_DISABLED
    explicit ObjectLock(PyObject* object) { PyCriticalSection_Begin(&section_, object); }
    ~ObjectLock() { PyCriticalSection_End(&section_); }
#else
    explicit ObjectLock(PyObject*) {}
#endif
    ObjectLock(const ObjectLock&) = delete;
    ObjectLock& operator=(const ObjectLock&) = delete;

private:
#ifdef Py_GIL_DISABLED
    PyCriticalSection section_;
#endif
};

// Two objects' sections at once (one, if they are the same object).
class PairLock {
public:
#ifdef Py_GIL_DISABLED
    PairLock(PyObject* a, PyObject* b) { PyCriticalSection2_Begin(&section_, a, b); }
    ~PairLock() { PyCriticalSection2_End(&section_); }
#else
    PairLock(PyObject*, PyObject*) {}
#endif
    PairLock(const PairLock&) = delete;
    PairLock& operator=(const PairLock&) = delete;

private:
#ifdef Py_GIL_DISABLED
    PyCriticalSection2 section_;
#endif
};

}  // namespace dallowgate
