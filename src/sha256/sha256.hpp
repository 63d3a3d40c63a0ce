// SHA-256 (FIPS 180-4): incremental over libcrypto's hash core, whose state lives on the
// caller's stack (hashing allocates nothing and fetches no algorithm), and the one-shot hashes
// of the message code, on the SHA extensions of our own where the CPU has them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include <openssl/sha.h>

namespace dallowgate {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();  // the state is cleansed: it may have absorbed secrets
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    Sha256& update(std::span<const std::uint8_t> piece);
    Sha256Digest finish();

private:
    SHA256_CTX state_;  // the low-level interface: no allocation, no fetch
};

// SHA-256 of `first` followed by `second`: with our own compression where the CPU has the SHA
// extensions or the ARMv8 SHA2 instructions (and `first` is at most 64 bytes), through the class
// above otherwise.
Sha256Digest sha256_of(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second);

// Two such hashes at once (in one libcrypto state, wiped once): a = SHA-256(a1 || a2) and
// b = SHA-256(b1 || b2).
void sha256_of_both(std::span<const std::uint8_t> a1, std::span<const std::uint8_t> a2,
                    std::span<const std::uint8_t> b1, std::span<const std::uint8_t> b2,
                    Sha256Digest& a, Sha256Digest& b);

}  // namespace dallowgate
