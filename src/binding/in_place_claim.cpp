#include "binding/in_place_claim.hpp"

#ifdef Py_GIL_DISABLED

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace dallowgate {
namespace {

// The objects claimed now, each in the slot its address falls in: a claim is one
// compare-and-swap of an empty slot, its end one store. Two objects of one slot are transformed
// one after the other, as one object's calls are. The slot is a hash of the whole address (the
// threads' allocators hand out objects at the same offsets of aligned segments, so low bits
// alone would put the objects of two threads in one slot), and each slot has a cache line of
// its own.
constexpr int SLOT_BITS = 6;
struct alignas(64) Slot {
    std::atomic<PyObject*> holder{nullptr};
};
Slot claims[1 << SLOT_BITS];

std::atomic<PyObject*>& slot_of(PyObject* object) {
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
    return claims[(address * 0x9e3779b97f4a7c15u) >> (64 - SLOT_BITS)].holder;
}

bool try_claim(std::atomic<PyObject*>& slot, PyObject* object, PyObject*& holder) {
    holder = nullptr;
    return slot.compare_exchange_strong(holder, object, std::memory_order_acquire,
                                        std::memory_order_relaxed);
}

void claim_waiting(std::atomic<PyObject*>& slot, PyObject* object) {
    PyObject* holder = nullptr;
    while (!try_claim(slot, object, holder)) slot.wait(holder, std::memory_order_relaxed);
}

}  // namespace

InPlaceClaim::InPlaceClaim(PyObject* object, bool attached) : object_(object) {
    std::atomic<PyObject*>& slot = slot_of(object);
    PyObject* holder = nullptr;
    if (try_claim(slot, object, holder)) return;
    if (attached) {
        PyThreadState* state = PyEval_SaveThread();
        claim_waiting(slot, object);
        PyEval_RestoreThread(state);
    } else {
        claim_waiting(slot, object);
    }
}

InPlaceClaim::~InPlaceClaim() {
    std::atomic<PyObject*>& slot = slot_of(object_);
    slot.store(nullptr, std::memory_order_release);
    slot.notify_all();
}

}  // namespace dallowgate

#endif
