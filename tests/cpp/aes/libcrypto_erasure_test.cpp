// The libcrypto backend's key schedule is cleansed before its memory is freed. libcrypto's
// allocator is replaced (before libcrypto allocates anything) by one that inspects every
// block as it is freed and records any that still holds a round key.
#include <gtest/gtest.h>

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "aes/cipher.hpp"
#include "modes/ctr.hpp"
#include "modes/loops.hpp"

#if defined(_WIN32)
#include <malloc.h>
#define usable_size _msize
#elif defined(__APPLE__)
#include <malloc/malloc.h>
#define usable_size malloc_size
#else
#include <malloc.h>
#define usable_size malloc_usable_size
#endif

namespace dallowgate {
namespace {

// Round keys 2 and 3 of the FIPS-197 expansion of the key 00 01 02 ... 1f (round keys 0 and 1
// are the key itself, which may legitimately sit in caller memory).
constexpr std::array<std::uint8_t, 16> ROUND_KEY_2 = {
    0xa5, 0x73, 0xc2, 0x9f, 0xa1, 0x76, 0xc4, 0x98, 0xa9, 0x7f, 0xce, 0x93, 0xa5, 0x72, 0xc0, 0x9c};
constexpr std::array<std::uint8_t, 16> ROUND_KEY_3 = {
    0x16, 0x51, 0xa8, 0xcd, 0x02, 0x44, 0xbe, 0xda, 0x1a, 0x5d, 0xa4, 0xc1, 0x06, 0x40, 0xba, 0xde};

int freed_blocks = 0;
int freed_with_round_keys = 0;

bool holds(const unsigned char* block, std::size_t size, const std::array<std::uint8_t, 16>& key) {
    return std::search(block, block + size, key.begin(), key.end()) != block + size;
}

void* counting_malloc(std::size_t size, const char*, int) {
    return std::malloc(size);
}
void* counting_realloc(void* p, std::size_t size, const char*, int) {
    return std::realloc(p, size);
}
void inspecting_free(void* p, const char*, int) {
    if (p) {
        auto* block = static_cast<const unsigned char*>(p);
        std::size_t size = usable_size(p);
        ++freed_blocks;
        if (holds(block, size, ROUND_KEY_2) || holds(block, size, ROUND_KEY_3))
            ++freed_with_round_keys;
    }
    std::free(p);
}

TEST(LibcryptoKeySchedule, TheInspectionSeesAnUncleansedBlock) {
    int before = freed_with_round_keys;
    void* block = OPENSSL_malloc(64);
    std::memcpy(static_cast<unsigned char*>(block) + 16, ROUND_KEY_3.data(), 16);
    OPENSSL_free(block);
    EXPECT_EQ(freed_with_round_keys, before + 1);
    freed_with_round_keys = before;
}

TEST(LibcryptoKeySchedule, IsCleansedBeforeItsMemoryIsFreed) {
    std::array<std::uint8_t, 32> key;
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i);
    int before = freed_blocks;
    {
        Aes256Cipher cipher(key, AesBackend::libcrypto);
        std::array<std::uint8_t, 16> block{};
        encrypt_block(cipher, block.data(), block.data());
        decrypt_block(cipher, block.data(), block.data());
        std::array<std::uint8_t, 256> stream{};  // long enough for the CTR context
        CtrState state{};
        apply_ctr_keystream(cipher, stream, stream.data(), state);
    }
    EXPECT_GT(freed_blocks, before) << "the contexts were freed through libcrypto";
    EXPECT_EQ(freed_with_round_keys, 0);
}

}  // namespace
}  // namespace dallowgate

int main(int argc, char** argv) {
    if (!CRYPTO_set_mem_functions(dallowgate::counting_malloc, dallowgate::counting_realloc,
                                  dallowgate::inspecting_free)) {
        std::fputs("libcrypto allocated before the test could replace its allocator\n", stderr);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
