// SHA256_Init and friends are deprecated in OpenSSL 3 in favour of EVP, which allocates and
// fetches: this file alone uses them, on purpose (see sha256.hpp).
#define OPENSSL_SUPPRESS_DEPRECATED

#include "sha256/sha256.hpp"

#include "common/cpu_features.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"
#include "sha256/sha256_armv8.hpp"
#include "sha256/sha256_shani.hpp"

namespace dallowgate {

Sha256::Sha256() {
    SHA256_Init(&state_);
}

Sha256::~Sha256() {
    wipe(&state_, sizeof state_);
}

Sha256& Sha256::update(std::span<const std::uint8_t> piece) {
    SHA256_Update(&state_, piece.data(), piece.size());
    return *this;
}

Sha256Digest Sha256::finish() {
    Sha256Digest digest;
    SHA256_Final(digest.data(), &state_);
    return digest;
}

namespace {

// Whether our own SHA-256 runs on this CPU: on the SHA extensions or the ARMv8 SHA2 instructions.
bool own_sha256_here() {
#if DALLOWGATE_X86
    return cpu_features().sha_ni;
#elif DALLOWGATE_AARCH64
    return cpu_features().arm_sha2;
#else
    return false;
#endif
}

// The SHA-256 of `first` (at most 64 bytes) and `second` on our own code; where
// own_sha256_here() only.
Sha256Digest own_sha256(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
#if DALLOWGATE_X86
    return sha256_shani(first.data(), first.size(), second.data(), second.size());
#elif DALLOWGATE_AARCH64
    return sha256_armv8(first.data(), first.size(), second.data(), second.size());
#else
    (void)first, (void)second;
    return {};
#endif
}

}  // namespace

Sha256Digest sha256_of(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    if (own_sha256_here() && first.size() <= 64) return own_sha256(first, second);
    return Sha256().update(first).update(second).finish();
}

void sha256_of_both(std::span<const std::uint8_t> a1, std::span<const std::uint8_t> a2,
                    std::span<const std::uint8_t> b1, std::span<const std::uint8_t> b2,
                    Sha256Digest& a, Sha256Digest& b) {
    if (own_sha256_here() && a1.size() <= 64 && b1.size() <= 64) {
        a = own_sha256(a1, a2);
        b = own_sha256(b1, b2);
        return;
    }
    SHA256_CTX state;
    SHA256_Init(&state);
    SHA256_Update(&state, a1.data(), a1.size());
    SHA256_Update(&state, a2.data(), a2.size());
    SHA256_Final(a.data(), &state);
    SHA256_Init(&state);
    SHA256_Update(&state, b1.data(), b1.size());
    SHA256_Update(&state, b2.data(), b2.size());
    SHA256_Final(b.data(), &state);
    wipe(&state, sizeof state);
}

}  // namespace dallowgate
