// BufferPin: a buffer export held on a caller's bytearray for one call. While it lasts the
// object cannot be resized (another thread's resize fails with BufferError), so its storage
// stays where it is and may be read and written with the interpreter lock released. On
// free-threaded builds the export is made and released inside the object's critical section,
// so that calls pinning one object at once keep its count of exports right.
//
// CallPin and SectionPins pin only where a critical section does not keep other threads from
// resizing an object: on free-threaded CPython 3.13, whose bytearray resizes without taking the
// object's critical section (3.14's takes it). There every caller bytearray a call reads or
// writes is pinned for the whole call, short calls included.
#pragma once

#include "binding/python.hpp"

#include <atomic>

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

#if defined(Py_GIL_DISABLED) && PY_VERSION_HEX < 0x030E0000
#define DALLOWGATE_PIN_EVERY_CALL 1
#else
#define DALLOWGATE_PIN_EVERY_CALL 0
#endif

// A BufferPin where every call pins; nothing elsewhere.
class CallPin {
public:
#if DALLOWGATE_PIN_EVERY_CALL
    explicit CallPin(PyObject* bytearray) : pin_(bytearray) {}
    bool pinned() const { return pin_.pinned(); }

private:
    BufferPin pin_;
#else
    explicit CallPin(PyObject*) {}
    static constexpr bool pinned() { return true; }
#endif
};

// Where every call pins: exports of two objects (one twice, if they are the same) counted and
// uncounted inside critical sections of both that the caller holds for as long as the exports
// last, with nothing in between that detaches the thread (a short call's whole work). They are
// what bytearray's own buffer export counts (ob_exports, which its resizes check), without a
// Py_buffer to fill or a reference to take: the sections keep the objects alive and the count
// right. Nothing elsewhere.
class SectionPins {
public:
#if DALLOWGATE_PIN_EVERY_CALL
    SectionPins(PyObject* a, PyObject* b)
        : a_(reinterpret_cast<PyByteArrayObject*>(a)), b_(reinterpret_cast<PyByteArrayObject*>(b)) {
        ++a_->ob_exports;
        ++b_->ob_exports;
    }
    ~SectionPins() {
        --b_->ob_exports;
        --a_->ob_exports;
    }

private:
    PyByteArrayObject* a_;
    PyByteArrayObject* b_;
#else
    SectionPins(PyObject*, PyObject*) {}
#endif
public:
    SectionPins(const SectionPins&) = delete;
    SectionPins& operator=(const SectionPins&) = delete;
};

// Where every call pins: a caller object's storage fields (bytes, start, allocation, length)
// as the call first read them. On 3.13 a resize that passed its check of the exports before the
// pin was seen still completes, and meanwhile the fields are inconsistent (a shrink from the
// front advances the start before its second check, and puts it back if that one fails) or
// point at storage being moved. So a call checks, before it uses what it read and before it
// writes back, that the fields are consistent and as they were first, and fails otherwise as if
// the object had been resized. Such a resize can still be under way after the last check
// (nothing in 3.13's bytearray orders its stores for other threads): the README says what
// that leaves open. Everywhere else, nothing.
class StorageCheck {
public:
#if DALLOWGATE_PIN_EVERY_CALL
    explicit StorageCheck(PyObject* bytearray) : object_(bytearray), first_(read(bytearray)) {}
    // The fields are consistent and as they were first.
    bool usable() const {
        const Fields now = read(object_);
        return now.bytes == first_.bytes && now.start == first_.start &&
               now.alloc == first_.alloc && now.size == first_.size &&
               (now.size == 0 ||  // an empty bytearray may have no storage at all
                (now.start >= now.bytes && now.start + now.size < now.bytes + now.alloc));
    }

private:
    struct Fields {
        char* bytes;
        char* start;
        Py_ssize_t alloc;
        Py_ssize_t size;
    };
    // Another thread may be writing them: each is loaded once, whole.
    static Fields read(PyObject* bytearray) {
        auto* object = reinterpret_cast<PyByteArrayObject*>(bytearray);
        return {std::atomic_ref(object->ob_bytes).load(std::memory_order_acquire),
                std::atomic_ref(object->ob_start).load(std::memory_order_acquire),
                std::atomic_ref(object->ob_alloc).load(std::memory_order_acquire),
                std::atomic_ref(object->ob_base.ob_size).load(std::memory_order_acquire)};
    }
    PyObject* object_;
    Fields first_;
#else
    explicit StorageCheck(PyObject*) {}
    static constexpr bool usable() { return true; }
#endif
};

}  // namespace dallowgate
