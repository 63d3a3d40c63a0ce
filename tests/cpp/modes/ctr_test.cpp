// CTR with each backend forced, against a stream computed byte by byte from single AES-256-ECB
// blocks of libcrypto's EVP, and against the published vectors, cut at every offset from 1 to
// 15 and continued in a second call.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <array>
#include <string>

#include "backends.hpp"
#include "hex.hpp"
#include "modes/ctr.hpp"

namespace dallowgate {
namespace {

using namespace testing;

CounterBlock add(CounterBlock c, std::uint64_t n) {
    for (int i = 15; i >= 0 && n; --i) {
        unsigned sum = c[i] + static_cast<unsigned>(n & 0xff);
        c[i] = static_cast<std::uint8_t>(sum);
        n = (n >> 8) + (sum >> 8);
    }
    return c;
}

std::array<std::uint8_t, 16> ecb_block(const Bytes& key, const CounterBlock& block) {
    std::array<std::uint8_t, 16> out{};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int size = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, out.data(), &size, block.data(), 16);
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// The stream rule, one byte at a time.
Bytes expected_stream(const Bytes& key, const Bytes& input, CounterBlock counter, std::size_t p) {
    Bytes out(input.size());
    std::array<std::uint8_t, 16> keystream{};
    std::size_t current = ~std::size_t{0};
    for (std::size_t j = 0; j < input.size(); ++j) {
        std::size_t block = (p + j) / 16;
        if (block != current) keystream = ecb_block(key, add(counter, current = block));
        out[j] = input[j] ^ keystream[(p + j) % 16];
    }
    return out;
}

class CtrPaths : public OnEachBackend {};

void check(const Aes256Cipher& cipher, const Bytes& key, const Bytes& input,
           const CounterBlock& counter, std::size_t p, const std::string& what) {
    CtrState state{counter, p};
    Bytes out(input.size());
    apply_ctr_keystream(cipher, input, out.data(), state);
    ASSERT_EQ(out, expected_stream(key, input, counter, p)) << what;
    EXPECT_EQ(state.counter, add(counter, (p + input.size()) / 16)) << what;
    EXPECT_EQ(state.position, (p + input.size()) % 16) << what;

    Bytes in_place = input;  // the same, with input and output one region
    CtrState again{counter, p};
    apply_ctr_keystream(cipher, in_place, in_place.data(), again);
    EXPECT_EQ(in_place, out) << what;
}

TEST_P(CtrPaths, FollowsTheStreamRuleFromEveryPosition) {
    std::mt19937_64 rng(5);
    Bytes key(32);
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    Aes256Cipher c = cipher(key);
    CounterBlock counter{};
    for (auto& b : counter) b = static_cast<std::uint8_t>(rng());
    // Around every batch width (4, 8, 16 and 32 blocks), and tails of each count of 512-bit
    // registers, whole and in part.
    for (std::size_t size :
         {0,   1,   15,  16,  17,  63,  64,  65,  127,  128,  129,  191,  255,
          256, 257, 300, 383, 449, 511, 512, 513, 1000, 2047, 2048, 2049, 5000}) {
        Bytes input(size);
        for (auto& b : input) b = static_cast<std::uint8_t>(rng());
        for (std::size_t p = 0; p < 16; ++p)
            check(c, key, input, counter, p,
                  "size " + std::to_string(size) + " position " + std::to_string(p));
    }
}

TEST_P(CtrPaths, CarriesAcrossAll128Bits) {
    Bytes key(32, 0x42);
    Aes256Cipher c = cipher(key);
    Bytes input(1000, 0x17), shorter(400, 0x17);  // the wrap in a batch, and in a tail
    CounterBlock low_wraps{};
    for (int i = 8; i < 16; ++i) low_wraps[i] = 0xff;
    low_wraps[15] = 0xf5;  // the low 64 bits wrap in the middle of a batch
    low_wraps[7] = 0x31;
    CounterBlock all_wrap;
    all_wrap.fill(0xff);
    all_wrap[15] = 0xfa;
    for (const CounterBlock& counter : {low_wraps, all_wrap})
        for (std::size_t p : {0, 3}) {
            check(c, key, input, counter, p, "wrap");
            check(c, key, shorter, counter, p, "wrap in a tail");
        }

    CtrState state{all_wrap, 0};
    state.counter[15] = 0xff;
    Bytes one(16);
    apply_ctr_keystream(c, one, one.data(), state);
    EXPECT_EQ(state.counter, CounterBlock{}) << "sixteen 0xff bytes become sixteen zero bytes";
}

struct CtrVector {
    const char* source;
    const char* key;
    const char* counter;
    const char* input;
    const char* output;
};

const CtrVector CTR_VECTORS[] = {
    {"SP 800-38A F.5.5 (CTR-AES256.Encrypt)",
     "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710",
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6"},
    {"SP 800-38A F.5.6 (CTR-AES256.Decrypt)",
     "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
     "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6",
     "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710"},
};

TEST_P(CtrPaths, PublishedVectorsWholeAndCutAtEveryOffset) {
    for (const CtrVector& vector : CTR_VECTORS)
        for (std::size_t cut = 0; cut < 16; ++cut) {  // 0: one call
            SCOPED_TRACE(std::string(vector.source) + ", cut at " + std::to_string(cut));
            auto input = from_hex(vector.input), counter = from_hex(vector.counter);
            Aes256Cipher c = cipher(from_hex(vector.key));
            CtrState state{{}, 0};
            std::copy(counter.begin(), counter.end(), state.counter.begin());
            Bytes output(input.size());
            apply_ctr_keystream(c, {input.data(), cut}, output.data(), state);
            EXPECT_EQ(state.position, cut);
            apply_ctr_keystream(c, {input.data() + cut, input.size() - cut}, output.data() + cut,
                                state);
            EXPECT_EQ(to_hex(output), vector.output);
            EXPECT_EQ(state.position, 0u);
            EXPECT_EQ(to_hex(state.counter), "f0f1f2f3f4f5f6f7f8f9fafbfcfdff03");
        }
}

INSTANTIATE_ON_EACH_BACKEND(CtrPaths);

TEST(CtrKeystreamPosition, StateBytesFrom16AreZero) {
    EXPECT_EQ(keystream_position(0), 0u);
    EXPECT_EQ(keystream_position(15), 15u);
    EXPECT_EQ(keystream_position(16), 0u);
    EXPECT_EQ(keystream_position(255), 0u);
}

}  // namespace
}  // namespace dallowgate
