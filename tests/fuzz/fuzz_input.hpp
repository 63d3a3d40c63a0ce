// Reads a fuzzer's input as a sequence of fields, padding with zeros where it runs out.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "aes/backend.hpp"
#include "aes/cipher.hpp"

namespace dallowgate::fuzzing {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    void take(std::uint8_t* out, std::size_t n) {
        const std::size_t available = std::min(n, size_);
        if (available) std::memcpy(out, data_, available);
        std::memset(out + available, 0, n - available);
        data_ += available;
        size_ -= available;
    }
    std::uint8_t byte() {
        std::uint8_t b;
        take(&b, 1);
        return b;
    }
    std::size_t number(std::size_t limit) {  // 0 .. limit
        std::uint8_t b[2];
        take(b, 2);
        return (b[0] | b[1] << 8) % (limit + 1);
    }
    std::vector<std::uint8_t> rest() {
        std::vector<std::uint8_t> out(data_, data_ + size_);
        size_ = 0;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// A backend this CPU can run, chosen by `selector` (libcrypto where the chosen one cannot run).
inline Aes256Cipher cipher_for(std::uint8_t selector, std::span<const std::uint8_t, 32> key) {
    const AesBackend backend = ALL_AES_BACKENDS[selector % std::size(ALL_AES_BACKENDS)];
    return Aes256Cipher(key, aes_backend_runs_here(backend) ? backend : AesBackend::libcrypto);
}

}  // namespace dallowgate::fuzzing
