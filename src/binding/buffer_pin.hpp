// BufferPin: a buffer export held on a caller's bytearray for one call. While it lasts the
// object cannot be resized (another thread's resize fails with BufferError), so its storage
// stays where it is and may be read and written with the interpreter lock released. On
// free-threaded builds the export is made and released inside the object's critical section,
// so that calls pinning one object at once keep its count of exports right.
#pragma once

#include "binding/python.hpp"

#include "binding/object_lock.hpp"
#include "binding/result.hpp"

namespace dallowgate {

class BufferPin {
public:
    // Pins `bytearray` (or an object of a subclass) through bytearray's own buffer slots, so
    // that a subclass's Python-level buffer methods can neither run nor hand out another
    // object's memory; pinned() tells whether the export was granted (an exception is pending
    // when it was not). Create and destroy with the lock held.
    explicit BufferPin(PyObject* bytearray) : object_(bytearray) {
        const ObjectLock lock(bytearray);
        pinned_ =
            PyByteArray_Type.tp_as_buffer->bf_getbuffer(bytearray, &view_, PyBUF_WRITABLE) == 0;
    }
    ~BufferPin() {
        if (!pinned_) return;
        {
            const ObjectLock lock(object_);
            PyByteArray_Type.tp_as_buffer->bf_releasebuffer(object_, &view_);
        }
        Py_XDECREF(view_.obj);
    }
    BufferPin(const BufferPin&) = delete;
    BufferPin& operator=(const BufferPin&) = delete;

    bool pinned() const { return pinned_; }

private:
    PyObject* object_;
    Py_buffer view_{};
    bool pinned_ = false;
};

}  // namespace dallowgate
