// On free-threaded builds, one in-place transform at a time on a caller's bytearray: a call
// whose object another call is transforming (or whose object shares that one's claim slot, see
// in_place_claim.cpp) waits until that one is done, with its thread detached from the
// interpreter (so that no stop-the-world phase waits on it). Two in-place calls on one object
// then run one after the other, as they would under the interpreter lock below the
// lock-release threshold, rather than writing the same bytes at once. Claims are held only
// while the bytes are transformed.
//
// Why claims cannot deadlock, though a short call takes the critical sections of iv and state
// while it holds its claim: every blocking wait detaches the waiting thread (a claim's wait
// does so itself; a critical section that must wait suspends the sections its thread holds
// and detaches), and no claim is taken while a critical section is held (a call takes its
// claim first, or with no section held at all). So a thread waiting for a claim holds no
// section another thread could be waiting for, and a section's wait never blocks on a claim.
#pragma once

#include "binding/python.hpp"

#ifdef Py_GIL_DISABLED

namespace dallowgate {

class InPlaceClaim {
public:
    // Claims `object` for the calling thread, which is `attached` to the interpreter (and then
    // detaches only to wait) or detached.
    InPlaceClaim(PyObject* object, bool attached);
    ~InPlaceClaim();
    InPlaceClaim(const InPlaceClaim&) = delete;
    InPlaceClaim& operator=(const InPlaceClaim&) = delete;

private:
    PyObject* object_;
};

}  // namespace dallowgate

#endif
