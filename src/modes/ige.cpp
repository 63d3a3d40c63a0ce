#include "modes/ige.hpp"

namespace dallowgate {
namespace {

// Each block depends on the one before it, so both directions run strictly one block at a time.
template <class Aes>
void ige_encrypt_blocks(const Aes& aes, std::uint8_t* data, std::size_t blocks,
                        const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t i = 0; i < blocks; ++i, data += 16) {
        auto plaintext = Aes::load(data);
        auto ciphertext = aes.encrypt_between(plaintext, previous_ciphertext, previous_plaintext);
        Aes::store(data, ciphertext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

template <class Aes>
void ige_decrypt_blocks(const Aes& aes, std::uint8_t* data, std::size_t blocks,
                        const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t i = 0; i < blocks; ++i, data += 16) {
        auto ciphertext = Aes::load(data);
        auto plaintext = aes.decrypt_between(ciphertext, previous_plaintext, previous_ciphertext);
        Aes::store(data, plaintext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

}  // namespace

void ige_encrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region, IgeIv iv) {
    cipher.with_blocks([&](const auto& aes) {
        ige_encrypt_blocks(aes, region.data(), region.size() / 16, iv.data());
    });
}

void ige_decrypt_in_place(const Aes256Cipher& cipher, std::span<std::uint8_t> region, IgeIv iv) {
    cipher.with_blocks([&](const auto& aes) {
        ige_decrypt_blocks(aes, region.data(), region.size() / 16, iv.data());
    });
}

ByteBuffer ige_encrypt_job(IgeJob job) {
    Aes256Cipher cipher(job.key, AesUse::encrypt);
    ige_encrypt_in_place(cipher, job.buffer.bytes(), job.iv);
    return std::move(job.buffer);
}

ByteBuffer ige_decrypt_job(IgeJob job) {
    Aes256Cipher cipher(job.key, AesUse::decrypt);
    ige_decrypt_in_place(cipher, job.buffer.bytes(), job.iv);
    return std::move(job.buffer);
}

}  // namespace dallowgate
