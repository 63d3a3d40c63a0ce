// Our own SHA-256 (on the SHA extensions, or on the ARMv8 SHA2 instructions) against the
// FIPS 180-2 example vectors and libcrypto's SHA-256 at every length around the block
// boundaries.
#include <gtest/gtest.h>

#include <openssl/sha.h>

#include <numeric>
#include <string>
#include <vector>

#include "common/cpu_features.hpp"
#include "hex.hpp"
#include "sha256/sha256_armv8.hpp"
#include "sha256/sha256_shani.hpp"

#if DALLOWGATE_X86 || DALLOWGATE_AARCH64

namespace dallowgate {
namespace {

using testing::to_hex;

class OwnSha256 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!(DALLOWGATE_X86 ? cpu_features().sha_ni : cpu_features().arm_sha2))
            GTEST_SKIP() << "this CPU has no SHA-256 instructions";
    }
};

// This architecture's SHA-256 of prefix || message.
std::array<std::uint8_t, 32> own_sha256(const std::uint8_t* prefix, std::size_t prefix_size,
                                        const std::uint8_t* message, std::size_t size) {
#if DALLOWGATE_X86
    return sha256_shani(prefix, prefix_size, message, size);
#else
    return sha256_armv8(prefix, prefix_size, message, size);
#endif
}

std::string own_hex(const std::string& text, std::size_t prefix_size = 0) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    auto digest = own_sha256(bytes, prefix_size, bytes + prefix_size, text.size() - prefix_size);
    return to_hex(std::vector<std::uint8_t>(digest.begin(), digest.end()));
}

std::vector<std::uint8_t> libcrypto_sha256(const std::vector<std::uint8_t>& message) {
    std::vector<std::uint8_t> digest(32);
    SHA256(message.data(), message.size(), digest.data());
    return digest;
}

// FIPS 180-2, appendix B (and the empty message).
TEST_F(OwnSha256, PublishedVectors) {
    const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(own_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(own_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(own_hex(two_blocks),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(own_hex(std::string(1000000, 'a'), 64),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(OwnSha256, AgreesWithLibcryptoAroundEveryBlockBoundary) {
    std::vector<std::uint8_t> message(64 * 5 + 1);
    std::iota(message.begin(), message.end(), 7);
    for (std::size_t size = 0; size < message.size(); ++size) {
        std::vector<std::uint8_t> piece(message.begin(), message.begin() + size);
        const std::size_t prefix = std::min<std::size_t>(size, 32);
        auto digest = own_sha256(piece.data(), prefix, piece.data() + prefix, size - prefix);
        EXPECT_EQ(to_hex(std::vector<std::uint8_t>(digest.begin(), digest.end())),
                  to_hex(libcrypto_sha256(piece)))
            << size;
    }
}

}  // namespace
}  // namespace dallowgate

#endif
