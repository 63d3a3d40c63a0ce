// Erasure of secrets that the compiler cannot remove as a dead store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dallowgate {

// Zeroes `size` bytes. The stores stay: the empty asm statement tells the compiler that the
// memory is read afterwards. Inline and written as word stores of a zero the compiler cannot
// see (it would turn a loop of constant zeros into a memset call), so that a fixed size
// becomes a few stores in place.
inline void wipe(void* memory, std::size_t size) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    std::uint64_t zero = 0;
    __asm__("" : "+r"(zero));
    auto* bytes = static_cast<unsigned char*>(memory);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) std::memcpy(bytes + i, &zero, 8);
    for (; i < size; ++i) bytes[i] = static_cast<unsigned char>(zero);
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
