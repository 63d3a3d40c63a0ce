// SHA256_Init and friends are deprecated in OpenSSL 3 in favour of EVP, which allocates and
// fetches: this file alone uses them, on purpose (see sha256.hpp).
#define OPENSSL_SUPPRESS_DEPRECATED

#include "sha256/sha256.hpp"

#include "common/cpu_features.hpp"
#include "common/wipe.hpp"
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

Sha256Digest sha256_of(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
#if DALLOWGATE_X86
    if (cpu_features().sha_ni && first.size() <= 64)
        return sha256_shani(first.data(), first.size(), second.data(), second.size());
#endif
    return Sha256().update(first).update(second).finish();
}

void sha256_of_both(std::span<const std::uint8_t> a1, std::span<const std::uint8_t> a2,
                    std::span<const std::uint8_t> b1, std::span<const std::uint8_t> b2,
                    Sha256Digest& a, Sha256Digest& b) {
#if DALLOWGATE_X86
    if (cpu_features().sha_ni && a1.size() <= 64 && b1.size() <= 64) {
        a = sha256_shani(a1.data(), a1.size(), a2.data(), a2.size());
        b = sha256_shani(b1.data(), b1.size(), b2.data(), b2.size());
        return;
    }
#endif
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
