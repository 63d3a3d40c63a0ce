#include "binding/scratch_buffer.hpp"

#include "common/internal_fault.hpp"

namespace dallowgate {
namespace {

// Set when the thread's slot has been destroyed at thread exit; trivially destructible, so it
// can still be read from other thread-exit destructors.
thread_local bool slot_destroyed = false;

struct Slot {
    ByteBuffer buffer;
    ~Slot() { slot_destroyed = true; }
};

Slot& thread_slot() {
    if (slot_destroyed)
        internal_fault("scratch buffer used while the thread's storage is destroyed");
    thread_local Slot slot;
    return slot;
}

}  // namespace

ByteBuffer take_scratch() {
    ByteBuffer buffer = std::move(thread_slot().buffer);
    (void)buffer.resize_uninitialized(0);
    return buffer;
}

void give_back_scratch(ByteBuffer buffer) {
    Slot& slot = thread_slot();
    if (buffer.capacity() > SCRATCH_KEEP_LIMIT) return;  // freed here
    slot.buffer = std::move(buffer);
}

}  // namespace dallowgate
