// Ref: an owned (strong) reference to a Python object, released when it goes away.
#pragma once

#include "binding/python.hpp"

#include <utility>

namespace dallowgate {

class Ref {
public:
    Ref() = default;
    // Takes over a new reference (which may be null).
    static Ref steal(PyObject* object) { return Ref(object); }
    // Makes a new reference to a borrowed object.
    static Ref borrow(PyObject* object) {
        Py_XINCREF(object);
        return Ref(object);
    }

    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref old(std::move(*this));
        object_ = std::exchange(other.object_, nullptr);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference to the caller.
    PyObject* release() { return std::exchange(object_, nullptr); }

private:
    explicit Ref(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace dallowgate
