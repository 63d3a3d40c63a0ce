// ByteBuffer: a growable, heap-allocated byte buffer owned by one call or one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace dallowgate {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(ByteBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    ByteBuffer& operator=(ByteBuffer&& other) noexcept {
        ByteBuffer old(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        return *this;
    }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ~ByteBuffer();

    // Sets the length to `size`, growing the storage if it is short. The contents are
    // unspecified after growing. False (and nothing changed) when memory cannot be obtained.
    [[nodiscard]] bool resize_uninitialized(std::size_t size);

    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::span<std::uint8_t> bytes() { return {data_, size_}; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace dallowgate
