// IGE with any key, IV and data on every backend the CPU can run: decryption inverts
// encryption, and encryption equals IGE written here over libcrypto's AES-256-ECB.
#include <openssl/evp.h>

#include <cstdlib>

#include "fuzz_input.hpp"
#include "modes/ige.hpp"

using namespace dallowgate;

namespace {

// c_i = E(p_i ^ c_{i-1}) ^ p_{i-1}, with c_0 and p_0 from the IV; a partial tail stays.
std::vector<std::uint8_t> reference(const std::uint8_t* key, const std::uint8_t* iv,
                                    std::vector<std::uint8_t> data) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context || EVP_EncryptInit_ex(context, EVP_aes_256_ecb(), nullptr, key, nullptr) != 1)
        std::abort();
    EVP_CIPHER_CTX_set_padding(context, 0);
    std::uint8_t previous_c[16], previous_p[16], block[16];
    std::memcpy(previous_c, iv, 16);
    std::memcpy(previous_p, iv + 16, 16);
    for (std::size_t at = 0; at + 16 <= data.size(); at += 16) {
        std::uint8_t* p = data.data() + at;
        for (int i = 0; i < 16; ++i) block[i] = p[i] ^ previous_c[i];
        int written = 0;
        if (EVP_EncryptUpdate(context, block, &written, block, 16) != 1) std::abort();
        for (int i = 0; i < 16; ++i) block[i] ^= previous_p[i];
        std::memcpy(previous_p, p, 16);
        std::memcpy(p, block, 16);
        std::memcpy(previous_c, block, 16);
    }
    EVP_CIPHER_CTX_free(context);
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzzing::FuzzInput input(bytes, size);
    const std::uint8_t selector = input.byte();
    SecretBytes<32> key, iv;
    input.take(key.data(), 32);
    input.take(iv.data(), 32);
    const std::vector<std::uint8_t> data = input.rest();

    Aes256Cipher cipher = fuzzing::cipher_for(selector, key);
    std::vector<std::uint8_t> work = data;
    ige_encrypt_in_place(cipher, work, iv);
    if (work != reference(key.data(), iv.data(), data)) std::abort();
    ige_decrypt_in_place(cipher, work, iv);
    if (work != data) std::abort();
    return 0;
}
