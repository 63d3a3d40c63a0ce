// Incremental SHA-256 (FIPS 180-4) over libcrypto's hash core: the state lives on the
// caller's stack, so hashing allocates nothing and fetches no algorithm.
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

}  // namespace dallowgate
