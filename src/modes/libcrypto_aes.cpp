#include "modes/libcrypto_aes.hpp"

#include <new>

#include "common/internal_fault.hpp"

namespace dallowgate {
namespace {

// Fetched once per process and kept.
const EVP_CIPHER* aes_256_ecb() {
    static const EVP_CIPHER* const cipher = [] {
        EVP_CIPHER* fetched = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
        if (!fetched) internal_fault("libcrypto offers no AES-256-ECB");
        return fetched;
    }();
    return cipher;
}

EVP_CIPHER_CTX* keyed_context(const std::uint8_t* key, int encrypting) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context) throw std::bad_alloc();
    if (EVP_CipherInit_ex2(context, aes_256_ecb(), key, nullptr, encrypting, nullptr) != 1 ||
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

LibcryptoAesKeys::LibcryptoAesKeys(const std::uint8_t* key, AesUse use) {
    if (use != AesUse::decrypt) encrypt_ = keyed_context(key, 1);
    if (use == AesUse::encrypt) return;
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
}

void LibcryptoAesKeys::encrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run(encrypt_, in, out, blocks);
}

void LibcryptoAesKeys::decrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run(decrypt_, in, out, blocks);
}

}  // namespace dallowgate
