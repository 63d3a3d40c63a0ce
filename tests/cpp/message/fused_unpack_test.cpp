// The one-pass IGE decryption and hash against the two passes (IGE decryption, then libcrypto's
// SHA-256 of prefix || plaintext), on every backend: where the pair does not run here, it must
// say so and write nothing.
#include <gtest/gtest.h>

#include <openssl/sha.h>

#include <numeric>

#include "backends.hpp"
#include "common/cpu_features.hpp"
#include "hex.hpp"
#include "message/fused_unpack.hpp"

namespace dallowgate {
namespace {

using namespace testing;

class FusedUnpack : public OnEachBackend {};

// Every data length from a header to 5 SHA blocks and a bit, the header written apart.
TEST_P(FusedUnpack, EqualsTwoPassesOrDeclines) {
    Bytes key(32), iv(32), prefix(32);
    std::iota(key.begin(), key.end(), 1);
    std::iota(iv.begin(), iv.end(), 50);
    std::iota(prefix.begin(), prefix.end(), 200);
    Aes256Cipher c = cipher(key, AesUse::decrypt);
    const CpuFeatures& cpu = cpu_features();
    const bool pairs = (DALLOWGATE_X86 && cpu.sha_ni &&
                        (GetParam() == AesBackend::aesni || GetParam() == AesBackend::aesni_vaes ||
                         GetParam() == AesBackend::aesni_vaes512)) ||
                       (DALLOWGATE_AARCH64 && cpu.arm_sha2 && GetParam() == AesBackend::armv8);
    for (std::size_t size = 32; size <= 64 * 5 + 17; ++size) {
        Bytes data(size);
        std::iota(data.begin(), data.end(), static_cast<std::uint8_t>(size));
        Bytes header(32, 0xA5), rest(size - 32, 0xA5);
        Sha256Digest digest{};
        ASSERT_EQ(ige_decrypt_and_hash(c, data, {header.data(), rest.data()}, key_of(iv),
                                       prefix.data(), digest),
                  pairs);
        if (!pairs) {
            ASSERT_EQ(header, Bytes(32, 0xA5));
            ASSERT_EQ(rest, Bytes(size - 32, 0xA5));
            continue;
        }
        Bytes two_passes = data;
        ige_decrypt_in_place(c, two_passes, key_of(iv));
        Bytes hashed = prefix;
        hashed.insert(hashed.end(), two_passes.begin(), two_passes.end());
        Bytes expected(32);
        SHA256(hashed.data(), hashed.size(), expected.data());
        header.insert(header.end(), rest.begin(), rest.end());
        EXPECT_EQ(to_hex(header), to_hex(two_passes)) << size;
        EXPECT_EQ(to_hex(digest), to_hex(expected)) << size;
    }
}

INSTANTIATE_ON_EACH_BACKEND(FusedUnpack);

}  // namespace
}  // namespace dallowgate
