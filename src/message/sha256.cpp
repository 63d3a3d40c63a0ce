// SHA256_Init and friends are deprecated in OpenSSL 3 in favour of EVP, which allocates and
// fetches: this file alone uses them, on purpose (see sha256.hpp).
#define OPENSSL_SUPPRESS_DEPRECATED

#include "message/sha256.hpp"

#include "common/wipe.hpp"

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

}  // namespace dallowgate
