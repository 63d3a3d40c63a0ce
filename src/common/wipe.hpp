// Erasure of secrets that the compiler cannot remove as a dead store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dallowgate {

// Zeroes `size` bytes. The stores stay: the empty asm statement tells the compiler that the
// memory is read afterwards. Inline, so a fixed size becomes a few vector stores.
inline void wipe(void* memory, std::size_t size) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    std::memset(memory, 0, size);
    __asm__ __volatile__("" : : "r"(memory) : "memory");
#else
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(memory);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
#endif
}

// A fixed-size secret (a key or IV copy) that is wiped when it goes away.
template <std::size_t N>
struct SecretBytes : std::array<std::uint8_t, N> {
    SecretBytes() : std::array<std::uint8_t, N>{} {}
    SecretBytes(const SecretBytes&) = default;
    SecretBytes& operator=(const SecretBytes&) = default;
    ~SecretBytes() { wipe(this->data(), N); }
};

}  // namespace dallowgate
