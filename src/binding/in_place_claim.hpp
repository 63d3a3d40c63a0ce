// On free-threaded builds, one in-place transform at a time on a caller's bytearray: a call
// whose object another call is transforming (or whose object shares that one's claim slot, see
// in_place_claim.cpp) waits until that one is done, with its thread detached from the
// interpreter (so that no stop-the-world phase waits on it). Two in-place calls on one object
// then run one after the other, as they would under the interpreter lock below the
// lock-release threshold, rather than writing the same bytes at once. Claims are held only
// while the bytes are transformed, and nothing else is waited for while one is held, so they
// cannot deadlock.
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
