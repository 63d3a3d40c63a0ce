// Erasure of secrets that the compiler cannot remove as a dead store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <openssl/crypto.h>

namespace dallowgate {

inline void wipe(void* memory, std::size_t size) noexcept {
    OPENSSL_cleanse(memory, size);
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
