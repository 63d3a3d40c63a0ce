// The CTR kernel with each backend forced (AES-NI with and without VAES, libcrypto, bitsliced),
// against
// a stream computed byte by byte from single AES-256-ECB blocks of libcrypto's EVP.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "modes/ctr.hpp"

namespace dallowgate {
namespace {

using Bytes = std::vector<std::uint8_t>;

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

class CtrPaths : public ::testing::TestWithParam<AesBackend> {
protected:
    void SetUp() override {
        if (!aes_backend_runs_here(GetParam())) GTEST_SKIP() << "this CPU cannot run it";
    }
    Aes256Cipher cipher(const Bytes& key) const {
        return Aes256Cipher(std::span<const std::uint8_t, 32>(key.data(), 32), GetParam());
    }
};

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
    for (std::size_t size : {0,   1,   15,  16,  17,  63,  64,   65,   127,  128, 129,
                             255, 256, 257, 511, 512, 513, 2047, 2048, 2049, 5000}) {
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
    Bytes input(1000, 0x17);
    CounterBlock low_wraps{};
    for (int i = 8; i < 16; ++i) low_wraps[i] = 0xff;
    low_wraps[15] = 0xf5;  // the low 64 bits wrap in the middle of a batch
    low_wraps[7] = 0x31;
    CounterBlock all_wrap;
    all_wrap.fill(0xff);
    all_wrap[15] = 0xfa;
    for (const CounterBlock& counter : {low_wraps, all_wrap})
        for (std::size_t p : {0, 3}) check(c, key, input, counter, p, "wrap");

    CtrState state{all_wrap, 0};
    state.counter[15] = 0xff;
    Bytes one(16);
    apply_ctr_keystream(c, one, one.data(), state);
    EXPECT_EQ(state.counter, CounterBlock{}) << "sixteen 0xff bytes become sixteen zero bytes";
}

INSTANTIATE_TEST_SUITE_P(Forced, CtrPaths, ::testing::ValuesIn(ALL_AES_BACKENDS),
                         [](const auto& info) { return aes_backend_name(info.param); });

TEST(CtrKeystreamPosition, StateBytesFrom16AreZero) {
    EXPECT_EQ(keystream_position(0), 0u);
    EXPECT_EQ(keystream_position(15), 15u);
    EXPECT_EQ(keystream_position(16), 0u);
    EXPECT_EQ(keystream_position(255), 0u);
}

}  // namespace
}  // namespace dallowgate
