// The AES-256 block service with each backend forced: FIPS-197 answers, batch against single
// blocks, decryption against encryption, and the backends against libcrypto and each other.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <random>
#include <vector>

#include "hex.hpp"
#include "modes/aes256_cipher.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

using testing::from_hex;
using testing::to_hex;

std::vector<std::uint8_t> random_bytes(std::mt19937_64& rng, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

std::span<const std::uint8_t, 32> key_of(const std::vector<std::uint8_t>& bytes) {
    return std::span<const std::uint8_t, 32>(bytes.data(), 32);
}

class AesBackends : public ::testing::TestWithParam<AesBackend> {
protected:
    void SetUp() override {
        if (!aes_backend_runs_here(GetParam())) GTEST_SKIP() << "this CPU cannot run it";
    }
};

TEST_P(AesBackends, Fips197AppendixC3) {
    auto key = from_hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    auto plaintext = from_hex("00112233445566778899aabbccddeeff");
    Aes256Cipher cipher(key_of(key), GetParam());
    ASSERT_EQ(cipher.backend(), GetParam());
    std::array<std::uint8_t, 16> out{}, back{};
    cipher.encrypt_block(plaintext.data(), out.data());
    EXPECT_EQ(to_hex(out), "8ea2b7ca516745bfeafc49904b496089");
    cipher.decrypt_block(out.data(), back.data());
    EXPECT_EQ(to_hex(back), "00112233445566778899aabbccddeeff");
}

TEST_P(AesBackends, BatchEqualsSingleBlocksAndDecryptInverts) {
    std::mt19937_64 rng(1);
    for (int trial = 0; trial < 50; ++trial) {
        auto key = random_bytes(rng, 32);
        Aes256Cipher cipher(key_of(key), GetParam());
        std::size_t width = cipher.batch_width();
        EXPECT_EQ(width, GetParam() == AesBackend::aesni        ? 8u
                         : GetParam() == AesBackend::aesni_vaes ? 16u
                                                                : 4u);
        auto blocks = random_bytes(rng, 16 * width);
        std::vector<std::uint8_t> batch(blocks.size()), single(blocks.size()), back(16);
        cipher.encrypt_batch(blocks.data(), batch.data());
        for (std::size_t i = 0; i < width; ++i) {
            cipher.encrypt_block(blocks.data() + 16 * i, single.data() + 16 * i);
            cipher.decrypt_block(single.data() + 16 * i, back.data());
            EXPECT_EQ(0, std::memcmp(back.data(), blocks.data() + 16 * i, 16));
        }
        EXPECT_EQ(batch, single);
    }
}

TEST_P(AesBackends, IgeDecryptInvertsEncryptAndLeavesTheTail) {
    std::mt19937_64 rng(2);
    for (std::size_t size : {0, 15, 16, 17, 31, 32, 33, 1000, 4099}) {
        auto key = random_bytes(rng, 32);
        auto iv = random_bytes(rng, 32);
        auto data = random_bytes(rng, size);
        auto work = data;
        Aes256Cipher cipher(key_of(key), GetParam());
        ige_encrypt_in_place(cipher, work, std::span<const std::uint8_t, 32>(iv.data(), 32));
        if (size >= 16) {
            EXPECT_NE(work, data);
        }
        EXPECT_TRUE(std::equal(work.end() - size % 16, work.end(), data.end() - size % 16));
        ige_decrypt_in_place(cipher, work, std::span<const std::uint8_t, 32>(iv.data(), 32));
        EXPECT_EQ(work, data) << size;
    }
}

TEST_P(AesBackends, AgreeWithLibcryptoOnBlocksAndIge) {
    std::mt19937_64 rng(5);
    for (int trial = 0; trial < 40; ++trial) {
        auto key = random_bytes(rng, 32);
        auto iv = random_bytes(rng, 32);
        auto data = random_bytes(rng, rng() % 600);
        Aes256Cipher cipher(key_of(key), GetParam());
        Aes256Cipher libcrypto(key_of(key), AesBackend::libcrypto);
        std::array<std::uint8_t, 16> a{}, b{};
        cipher.encrypt_block(iv.data(), a.data());
        libcrypto.encrypt_block(iv.data(), b.data());
        EXPECT_EQ(a, b);
        cipher.decrypt_block(iv.data() + 16, a.data());
        libcrypto.decrypt_block(iv.data() + 16, b.data());
        EXPECT_EQ(a, b);
        auto ours = data, theirs = data;
        std::span<const std::uint8_t, 32> iv_span(iv.data(), 32);
        ige_encrypt_in_place(cipher, ours, iv_span);
        ige_encrypt_in_place(libcrypto, theirs, iv_span);
        EXPECT_EQ(ours, theirs);
        ige_decrypt_in_place(cipher, ours, iv_span);
        EXPECT_EQ(ours, data);
    }
}

INSTANTIATE_TEST_SUITE_P(Forced, AesBackends, ::testing::ValuesIn(ALL_AES_BACKENDS),
                         [](const auto& info) { return aes_backend_name(info.param); });

TEST(BitslicedSbox, MatchesTheFieldDefinitionForEveryByte) {
    auto multiply = [](unsigned a, unsigned b) {
        unsigned product = 0;
        for (; b; b >>= 1, a = (a << 1) ^ (a & 0x80 ? 0x11b : 0))
            if (b & 1) product ^= a;
        return product;
    };
    for (unsigned x = 0; x < 256; ++x) {
        unsigned inverse = 0;
        for (unsigned y = 1; y < 256; ++y)
            if (multiply(x, y) == 1) inverse = y;
        unsigned s = inverse;
        for (int i = 1; i <= 4; ++i) s ^= ((inverse << i) | (inverse >> (8 - i))) & 0xFF;
        EXPECT_EQ(bitsliced_sbox(static_cast<std::uint8_t>(x)), s ^ 0x63) << x;
    }
}

TEST(BitslicedKeySchedule, IsAllZeroAfterRelease) {
    alignas(BitslicedAesKeys) unsigned char storage[sizeof(BitslicedAesKeys)];
    std::memset(storage, 0x5a, sizeof storage);
    auto key = std::vector<std::uint8_t>(32, 0xa7);
    auto* keys = new (storage) BitslicedAesKeys(key.data());
    bool nonzero = false;
    for (std::size_t i = 0; i < BitslicedAesKeys::schedule_words; ++i)
        nonzero |= keys->schedule()[i] != 0;
    ASSERT_TRUE(nonzero);  // the schedule really was there
    keys->~BitslicedAesKeys();
    for (unsigned char byte : storage) ASSERT_EQ(byte, 0);
}

class BothBackends : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cpu_has_aesni()) GTEST_SKIP() << "this CPU has no AES instructions";
    }
};

TEST_F(BothBackends, VaesBatchEqualsSingleBlocks) {
    if (!cpu_has_vaes()) GTEST_SKIP() << "no VAES";
    std::mt19937_64 rng(6);
    auto key = random_bytes(rng, 32);
    Aes256Cipher cipher(key_of(key), AesBackend::aesni_vaes);
    ASSERT_EQ(cipher.batch_width(), 16u);
    auto blocks = random_bytes(rng, 16 * 16);
    std::vector<std::uint8_t> batch(blocks.size()), single(blocks.size());
    cipher.encrypt_batch(blocks.data(), batch.data());
    for (std::size_t i = 0; i < 16; ++i)
        cipher.encrypt_block(blocks.data() + 16 * i, single.data() + 16 * i);
    EXPECT_EQ(batch, single);
}

TEST_F(BothBackends, GiveIdenticalBlocks) {
    std::mt19937_64 rng(3);
    for (int trial = 0; trial < 200; ++trial) {
        auto key = random_bytes(rng, 32);
        auto blocks = random_bytes(rng, 32);
        Aes256Cipher aesni(key_of(key), AesBackend::aesni);
        Aes256Cipher libcrypto(key_of(key), AesBackend::libcrypto);
        std::array<std::uint8_t, 16> a{}, b{};
        aesni.encrypt_block(blocks.data(), a.data());
        libcrypto.encrypt_block(blocks.data(), b.data());
        EXPECT_EQ(a, b);
        aesni.decrypt_block(blocks.data() + 16, a.data());
        libcrypto.decrypt_block(blocks.data() + 16, b.data());
        EXPECT_EQ(a, b);
    }
}

TEST_F(BothBackends, GiveIdenticalIge) {
    std::mt19937_64 rng(4);
    for (int trial = 0; trial < 40; ++trial) {
        auto key = random_bytes(rng, 32);
        auto iv = random_bytes(rng, 32);
        auto data = random_bytes(rng, rng() % 3000);
        auto via_aesni = data, via_libcrypto = data;
        std::span<const std::uint8_t, 32> iv_span(iv.data(), 32);
        Aes256Cipher aesni(key_of(key), AesBackend::aesni);
        Aes256Cipher libcrypto(key_of(key), AesBackend::libcrypto);
        ige_encrypt_in_place(aesni, via_aesni, iv_span);
        ige_encrypt_in_place(libcrypto, via_libcrypto, iv_span);
        EXPECT_EQ(via_aesni, via_libcrypto);
        ige_decrypt_in_place(aesni, via_aesni, iv_span);
        ige_decrypt_in_place(libcrypto, via_libcrypto, iv_span);
        EXPECT_EQ(via_aesni, data);
        EXPECT_EQ(via_libcrypto, data);
    }
}

TEST(AesBackendChoice, FollowsTheCpuAndStays) {
    AesBackend first = aes_backend();
    std::printf("AES backend chosen for this CPU: %s\n", aes_backend_name(first));
    EXPECT_EQ(first, cpu_has_aesni() ? (cpu_has_vaes() ? AesBackend::aesni_vaes : AesBackend::aesni)
                     : libcrypto_aes_is_constant_time() ? AesBackend::libcrypto
                                                        : AesBackend::bitsliced);
    EXPECT_EQ(aes_backend(), first);
    auto key = std::vector<std::uint8_t>(32, 9);
    EXPECT_EQ(Aes256Cipher(key_of(key)).backend(), first);
}

#if DALLOWGATE_X86
// Every round key written is zero after release: both halves, or the encryption half of a
// schedule made for encryption only (whose inverse half is never written).
TEST(AesNiKeySchedule, IsAllZeroAfterRelease) {
    if (!cpu_has_aesni()) GTEST_SKIP() << "this CPU has no AES instructions";
    for (AesUse use : {AesUse::both, AesUse::decrypt, AesUse::encrypt}) {
        alignas(AesNiKeys) unsigned char storage[sizeof(AesNiKeys)];
        std::memset(storage, 0x5a, sizeof storage);
        auto key = std::vector<std::uint8_t>(32, 0xa7);
        auto* keys = new (storage) AesNiKeys(key.data(), use);
        ASSERT_EQ(0, std::memcmp(keys->encrypt, key.data(), 16));  // the schedule was there
        keys->~AesNiKeys();
        const std::size_t written = use == AesUse::encrypt
                                        ? sizeof keys->encrypt
                                        : sizeof keys->encrypt + sizeof keys->decrypt;
        for (std::size_t i = 0; i < written; ++i) ASSERT_EQ(storage[i], 0) << i;
        if (use == AesUse::encrypt) {
            EXPECT_EQ(storage[written], 0x5a) << "inverse half written";
        }
    }
}
#endif

}  // namespace
}  // namespace dallowgate
