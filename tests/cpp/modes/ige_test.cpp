// IGE with each backend forced: decryption inverts encryption and leaves a trailing partial
// block alone, and every backend gives libcrypto's blocks chained by the IGE rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "backends.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

using namespace testing;

class IgeOnBackends : public OnEachBackend {};

TEST_P(IgeOnBackends, DecryptInvertsEncryptAndLeavesTheTail) {
    std::mt19937_64 rng(2);
    for (std::size_t size : {0, 15, 16, 17, 31, 32, 33, 496, 511, 512, 528, 1000, 4099}) {
        auto key = random_bytes(rng, 32), iv = random_bytes(rng, 32),
             data = random_bytes(rng, size);
        auto work = data;
        Aes256Cipher c = cipher(key);
        ige_encrypt_in_place(c, work, key_of(iv));
        if (size >= 16) {
            EXPECT_NE(work, data);
        }
        EXPECT_TRUE(std::equal(work.end() - size % 16, work.end(), data.end() - size % 16));
        ige_decrypt_in_place(c, work, key_of(iv));
        EXPECT_EQ(work, data) << size;
    }
}

TEST_P(IgeOnBackends, AgreesWithLibcryptoBlocks) {
    std::mt19937_64 rng(4);
    for (int trial = 0; trial < 40; ++trial) {
        auto key = random_bytes(rng, 32), iv = random_bytes(rng, 32);
        auto data = random_bytes(rng, rng() % 3000);
        Aes256Cipher ours = cipher(key), libcrypto(key_of(key), AesBackend::libcrypto);
        auto via_ours = data, via_libcrypto = data;
        ige_encrypt_in_place(ours, via_ours, key_of(iv));
        ige_encrypt_in_place(libcrypto, via_libcrypto, key_of(iv));
        EXPECT_EQ(via_ours, via_libcrypto);
        ige_decrypt_in_place(ours, via_ours, key_of(iv));
        EXPECT_EQ(via_ours, data);
    }
}

INSTANTIATE_ON_EACH_BACKEND(IgeOnBackends);

}  // namespace
}  // namespace dallowgate
