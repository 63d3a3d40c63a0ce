// The AES-256 block service with each backend forced: published answers, batch against single
// blocks, decryption against encryption, and every backend against libcrypto; the backend
// choice and the erasure of our own key schedules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "backends.hpp"
#include "common/cpu_features.hpp"
#include "hex.hpp"
#include "modes/loops.hpp"

namespace dallowgate {
namespace {

using namespace testing;

struct BlockVector {
    const char* source;
    const char* key;
    const char* plaintext;
    const char* ciphertext;
};

const BlockVector BLOCK_VECTORS[] = {
    {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

class AesBackends : public OnEachBackend {};

TEST_P(AesBackends, PublishedVectors) {
    for (const BlockVector& vector : BLOCK_VECTORS) {
        SCOPED_TRACE(vector.source);
        auto plaintext = from_hex(vector.plaintext);
        Aes256Cipher c = cipher(from_hex(vector.key));
        ASSERT_EQ(c.backend(), GetParam());
        std::array<std::uint8_t, 16> out{}, back{};
        encrypt_block(c, plaintext.data(), out.data());
        EXPECT_EQ(to_hex(out), vector.ciphertext);
        decrypt_block(c, out.data(), back.data());
        EXPECT_EQ(to_hex(back), vector.plaintext);
    }
}

TEST_P(AesBackends, BatchEqualsSingleBlocksAndDecryptInverts) {
    std::mt19937_64 rng(1);
    for (int trial = 0; trial < 50; ++trial) {
        Aes256Cipher c = cipher(random_bytes(rng, 32));
        std::size_t width = c.batch_width();
        EXPECT_EQ(width, GetParam() == AesBackend::aesni_vaes512                              ? 32u
                         : GetParam() == AesBackend::aesni_vaes                               ? 16u
                         : GetParam() == AesBackend::aesni || GetParam() == AesBackend::armv8 ? 8u
                                                                                              : 4u);
        auto blocks = random_bytes(rng, 16 * width);
        Bytes batch(blocks.size()), single(blocks.size()), back(16);
        encrypt_batch(c, blocks.data(), batch.data());
        for (std::size_t i = 0; i < width; ++i) {
            encrypt_block(c, blocks.data() + 16 * i, single.data() + 16 * i);
            decrypt_block(c, single.data() + 16 * i, back.data());
            EXPECT_EQ(0, std::memcmp(back.data(), blocks.data() + 16 * i, 16));
        }
        EXPECT_EQ(batch, single);
    }
}

TEST_P(AesBackends, AgreeWithLibcryptoOnBlocks) {
    std::mt19937_64 rng(3);
    for (int trial = 0; trial < 200; ++trial) {
        auto key = random_bytes(rng, 32), blocks = random_bytes(rng, 32);
        Aes256Cipher ours = cipher(key), libcrypto(key_of(key), AesBackend::libcrypto);
        std::array<std::uint8_t, 16> a{}, b{};
        encrypt_block(ours, blocks.data(), a.data());
        encrypt_block(libcrypto, blocks.data(), b.data());
        EXPECT_EQ(a, b);
        decrypt_block(ours, blocks.data() + 16, a.data());
        decrypt_block(libcrypto, blocks.data() + 16, b.data());
        EXPECT_EQ(a, b);
    }
}

// The cipher holds the schedule of its backend in place and erases it when it goes away: what
// is left of it is its backend and the schedule's flags (libcrypto's contexts are released to
// libcrypto, which cleanses them: libcrypto_erasure_test).
TEST_P(AesBackends, CipherErasesItsScheduleWhenReleased) {
    alignas(Aes256Cipher) unsigned char storage[sizeof(Aes256Cipher)];
    std::memset(storage, 0x5a, sizeof storage);
    const Bytes key(32, 0xa7);
    auto written = [&] {
        return std::count_if(std::begin(storage), std::end(storage),
                             [](unsigned char byte) { return byte != 0 && byte != 0x5a; });
    };
    const bool in_place = GetParam() != AesBackend::libcrypto;
    auto* made = new (storage) Aes256Cipher(key_of(key), AesUse::both, GetParam());
    if (in_place) {
        ASSERT_GT(written(), 100);  // the schedule was there
    }
    made->~Aes256Cipher();
    if (in_place) {
        EXPECT_LE(written(), 2);
    }
    EXPECT_EQ(std::search(std::begin(storage), std::end(storage), key.begin(), key.begin() + 16),
              std::end(storage));
}

INSTANTIATE_ON_EACH_BACKEND(AesBackends);

TEST(AesBackendChoice, FollowsTheCpuAndStays) {
    AesBackend first = aes_backend();
    std::printf("AES backend chosen for this CPU: %s\n", aes_backend_name(first));
    const CpuFeatures& cpu = cpu_features();
    EXPECT_EQ(first, DALLOWGATE_X86 && cpu.aesni         ? widest_aesni(cpu)
                     : DALLOWGATE_AARCH64 && cpu.arm_aes ? AesBackend::armv8
                     : libcrypto_aes_is_constant_time()  ? AesBackend::libcrypto
                                                         : AesBackend::bitsliced);
    EXPECT_EQ(aes_backend(), first);
    EXPECT_EQ(Aes256Cipher(key_of(Bytes(32, 9))).backend(), first);
}

// 512-bit VAES where the CPU has AVX-512 and keeps its clock; 256-bit VAES on the Intel models
// that lower it, and where there is VAES without AVX-512; AES-NI alone otherwise.
TEST(AesBackendChoice, PrefersTheWidestVectorsThatKeepTheClock) {
    struct Case {
        bool vaes, vaes512, zmm_downclocks;
        AesBackend chosen;
    };
    for (const Case& c : {Case{true, true, false, AesBackend::aesni_vaes512},
                          Case{true, true, true, AesBackend::aesni_vaes},
                          Case{true, false, false, AesBackend::aesni_vaes},
                          Case{false, false, false, AesBackend::aesni}}) {
        CpuFeatures cpu;
        cpu.aesni = cpu.ssse3 = cpu.avx = true;
        cpu.vaes = c.vaes;
        cpu.vaes512 = c.vaes512;
        cpu.zmm_downclocks = c.zmm_downclocks;
        EXPECT_EQ(widest_aesni(cpu), c.chosen) << aes_backend_name(c.chosen);
    }
}

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
    auto key = Bytes(32, 0xa7);
    auto* keys = new (storage) BitslicedAesKeys(key.data());
    bool nonzero = false;
    for (std::size_t i = 0; i < BitslicedAesKeys::schedule_words; ++i)
        nonzero |= keys->schedule()[i] != 0;
    ASSERT_TRUE(nonzero);  // the schedule really was there
    keys->~BitslicedAesKeys();
    for (unsigned char byte : storage) ASSERT_EQ(byte, 0);
}

#if DALLOWGATE_X86
// Every round key written is zero after release: both halves, or the encryption half of a
// schedule made for encryption only (whose inverse half is never written).
TEST(AesNiKeySchedule, IsAllZeroAfterRelease) {
    if (!cpu_features().aesni) GTEST_SKIP() << "this CPU has no AES instructions";
    for (AesUse use : {AesUse::both, AesUse::decrypt, AesUse::encrypt}) {
        alignas(AesNiKeys) unsigned char storage[sizeof(AesNiKeys)];
        std::memset(storage, 0x5a, sizeof storage);
        auto key = Bytes(32, 0xa7);
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
