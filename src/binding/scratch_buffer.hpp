// The per-thread scratch buffer: one reusable working buffer per thread, so that calls
// allocate no working memory once the thread's buffer is large enough.
#pragma once

#include <cstddef>

#include "common/byte_buffer.hpp"

namespace dallowgate {

// The largest capacity kept for reuse (2 MiB); larger buffers are freed when given back.
inline constexpr std::size_t SCRATCH_KEEP_LIMIT = 2 * 1024 * 1024;

// Moves the calling thread's buffer out (length 0, capacity kept); the slot is left empty
// until the buffer is given back. A call that fails after the take lets the buffer go
// (its destructor frees it) instead of giving it back.
ByteBuffer take_scratch();
// Stores the buffer back in the calling thread's slot, or frees it if it is too large.
void give_back_scratch(ByteBuffer buffer);

}  // namespace dallowgate
