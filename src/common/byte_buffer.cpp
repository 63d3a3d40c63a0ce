#include "common/byte_buffer.hpp"

#include <cstdlib>

namespace dallowgate {

ByteBuffer::~ByteBuffer() {
    std::free(data_);
}

bool ByteBuffer::resize_uninitialized(std::size_t size) {
    if (size > capacity_) {
        // The old contents need not survive, so free first rather than copy with realloc.
        auto* grown = static_cast<std::uint8_t*>(std::malloc(size));
        if (!grown) return false;
        std::free(data_);
        data_ = grown;
        capacity_ = size;
    }
    size_ = size;
    return true;
}

}  // namespace dallowgate
