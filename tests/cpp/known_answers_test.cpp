// Published known-answer vectors, each table run through every AES backend this CPU can run.
// The CTR vectors are also cut at every offset from 1 to 15 and continued in a second call.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "hex.hpp"
#include "modes/aes256_cipher.hpp"
#include "modes/ctr.hpp"

namespace dallowgate {
namespace {

using testing::from_hex;
using testing::to_hex;

struct BlockVector {
    const char* source;
    const char* key;
    const char* plaintext;
    const char* ciphertext;
};

// FIPS-197, appendix C.3 (AES-256).
const BlockVector BLOCK_VECTORS[] = {
    {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

struct CtrVector {
    const char* source;
    const char* key;
    const char* counter;
    const char* input;
    const char* output;
};

// NIST SP 800-38A, F.5.5 (CTR-AES256.Encrypt) and F.5.6 (CTR-AES256.Decrypt).
const CtrVector CTR_VECTORS[] = {
    {"SP 800-38A F.5.5", "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710",
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6"},
    {"SP 800-38A F.5.6", "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710"},
};

// Every backend this CPU can run.
std::vector<AesBackend> runnable_backends() {
    std::vector<AesBackend> backends;
    for (AesBackend backend : ALL_AES_BACKENDS)
        if (aes_backend_runs_here(backend)) backends.push_back(backend);
    return backends;
}

std::span<const std::uint8_t, 32> key_of(const std::vector<std::uint8_t>& bytes) {
    return std::span<const std::uint8_t, 32>(bytes.data(), 32);
}

TEST(KnownAnswers, BlockVectorsOnEveryBackend) {
    for (AesBackend backend : runnable_backends())
        for (const BlockVector& vector : BLOCK_VECTORS) {
            SCOPED_TRACE(std::string(vector.source) + " on " + aes_backend_name(backend));
            auto key = from_hex(vector.key), plaintext = from_hex(vector.plaintext);
            Aes256Cipher cipher(key_of(key), backend);
            std::array<std::uint8_t, 16> out{}, back{};
            cipher.encrypt_block(plaintext.data(), out.data());
            EXPECT_EQ(to_hex(out), vector.ciphertext);
            cipher.decrypt_block(out.data(), back.data());
            EXPECT_EQ(to_hex(back), vector.plaintext);
        }
}

TEST(KnownAnswers, CtrVectorsWholeAndCutAtEveryOffset) {
    for (AesBackend backend : runnable_backends())
        for (const CtrVector& vector : CTR_VECTORS)
            for (std::size_t cut = 0; cut < 16; ++cut) {  // 0: one call
                SCOPED_TRACE(std::string(vector.source) + " on " + aes_backend_name(backend) +
                             ", cut at " + std::to_string(cut));
                auto key = from_hex(vector.key), input = from_hex(vector.input);
                Aes256Cipher cipher(key_of(key), backend);
                CtrState state{{}, 0};
                auto counter = from_hex(vector.counter);
                std::copy(counter.begin(), counter.end(), state.counter.begin());
                std::vector<std::uint8_t> output(input.size());
                apply_ctr_keystream(cipher, {input.data(), cut}, output.data(), state);
                EXPECT_EQ(state.position, cut);
                apply_ctr_keystream(cipher, {input.data() + cut, input.size() - cut},
                                    output.data() + cut, state);
                EXPECT_EQ(to_hex(output), vector.output);
                EXPECT_EQ(state.position, 0u);
                EXPECT_EQ(to_hex(state.counter), "f0f1f2f3f4f5f6f7f8f9fafbfcfdff03");
            }
}

}  // namespace
}  // namespace dallowgate
