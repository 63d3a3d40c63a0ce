#include "aes/libcrypto.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "aes/keystream.hpp"
#include "common/counter128.hpp"
#include "common/cpu_features.hpp"
#include "common/internal_fault.hpp"
#include "common/platform.hpp"

namespace dallowgate {
namespace {

EVP_CIPHER* fetched(const char* name) {
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (!cipher) internal_fault(std::string("libcrypto offers no ") + name);
    return cipher;
}

// Each fetched once per process and kept.
const EVP_CIPHER* aes_256_ecb() {
    static const EVP_CIPHER* const cipher = fetched("AES-256-ECB");
    return cipher;
}
const EVP_CIPHER* aes_256_ctr() {
    static const EVP_CIPHER* const cipher = fetched("AES-256-CTR");
    return cipher;
}

EVP_CIPHER_CTX* keyed_context(const std::uint8_t* key, int encrypting,
                              const EVP_CIPHER* cipher = aes_256_ecb()) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context) throw std::bad_alloc();
    if (EVP_CipherInit_ex2(context, cipher, key, nullptr, encrypting, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context, 0) != 1) {
        EVP_CIPHER_CTX_free(context);
        throw std::bad_alloc();
    }
    return context;
}

void run(EVP_CIPHER_CTX* context, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
    if (!context) internal_fault("AES key schedule used in a direction it was not made for");
    int written = 0;
    if (EVP_CipherUpdate(context, out, &written, in, static_cast<int>(blocks * 16)) != 1 ||
        written != static_cast<int>(blocks * 16))
        internal_fault("libcrypto AES-256-ECB failed on whole blocks");
}

}  // namespace

bool libcrypto_aes_is_constant_time() noexcept {
    return DALLOWGATE_X86 ? cpu_features().ssse3 : DALLOWGATE_AARCH64;
}

bool libcrypto_ctr_is_constant_time() noexcept {
    return DALLOWGATE_AARCH64 && cpu_features().arm_aes;
}

LibcryptoAesKeys::LibcryptoAesKeys(const std::uint8_t* key, AesUse use) {
    if (use != AesUse::decrypt) encrypt_ = keyed_context(key, 1);
    if (libcrypto_ctr_is_constant_time() && (use == AesUse::keystream || use == AesUse::both)) {
        std::memcpy(key_.data(), key, 32);
        keeps_key_ = true;
    }
    if (use == AesUse::encrypt || use == AesUse::keystream) return;
    try {
        decrypt_ = keyed_context(key, 0);
    } catch (...) {
        EVP_CIPHER_CTX_free(encrypt_);
        throw;
    }
}

LibcryptoAesKeys::~LibcryptoAesKeys() {
    EVP_CIPHER_CTX_free(encrypt_);
    EVP_CIPHER_CTX_free(decrypt_);
    EVP_CIPHER_CTX_free(counter_mode_);
}

void LibcryptoAesKeys::xor_counter_keystream(const std::uint8_t* counter, const std::uint8_t* in,
                                             std::uint8_t* out, std::size_t blocks) const {
    if (!counter_mode_) counter_mode_ = keyed_context(key_.data(), 1, aes_256_ctr());
    // The counter restarts at `counter` with no keystream byte used; the key stays.
    int written = 0;
    if (blocks > MAX_BLOCKS_PER_CALL ||
        EVP_CipherInit_ex2(counter_mode_, nullptr, nullptr, counter, 1, nullptr) != 1 ||
        EVP_CipherUpdate(counter_mode_, out, &written, in, static_cast<int>(blocks * 16)) != 1 ||
        written != static_cast<int>(blocks * 16))
        internal_fault("libcrypto AES-256-CTR failed on whole blocks");
}

void LibcryptoAesKeys::encrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run(encrypt_, in, out, blocks);
}

void LibcryptoAesKeys::decrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run(decrypt_, in, out, blocks);
}

void LibcryptoAes::xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                                 std::uint8_t* out, std::size_t batches) const {
    if (!keys_.runs_counter_mode())
        return xor_keystream_batches(*this, high, low, in, out, batches);
    // The keys run CTR themselves, in runs of at most MAX_BLOCKS_PER_CALL blocks.
    for (std::size_t blocks = batches * batch_width; blocks != 0;) {
        const std::size_t run = std::min(blocks, Keys::MAX_BLOCKS_PER_CALL);
        std::uint8_t counter[16];
        store_counter_block(high, low, counter);
        keys_.xor_counter_keystream(counter, in, out, run);
        advance_counter(high, low, run);
        in += 16 * run;
        out += 16 * run;
        blocks -= run;
    }
}

}  // namespace dallowgate
