#include "modes/ige.hpp"

#include <cstring>

namespace dallowgate {
namespace {

// Each block depends on the one before it, so both directions run strictly one block at a time.
template <AesBlocks Aes>
void ige_encrypt_blocks(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t blocks, const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t i = 0; i < blocks; ++i, in += 16, out += 16) {
        auto plaintext = Aes::load(in);
        auto ciphertext = aes.encrypt_between(plaintext, previous_ciphertext, previous_plaintext);
        Aes::store(out, ciphertext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

template <AesBlocks Aes>
void ige_decrypt_blocks(const Aes& aes, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t blocks, const std::uint8_t* iv) {
    auto previous_ciphertext = Aes::load(iv);
    auto previous_plaintext = Aes::load(iv + 16);
    for (std::size_t i = 0; i < blocks; ++i, in += 16, out += 16) {
        auto ciphertext = Aes::load(in);
        auto plaintext = aes.decrypt_between(ciphertext, previous_plaintext, previous_ciphertext);
        Aes::store(out, plaintext);
        previous_ciphertext = ciphertext;
        previous_plaintext = plaintext;
    }
}

// The bytes after the last whole block, unchanged.
void copy_tail(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::size_t whole = input.size() & ~std::size_t{15};
    if (output != input.data() && whole != input.size())
        std::memcpy(output + whole, input.data() + whole, input.size() - whole);
}

}  // namespace

void ige_encrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv) {
    cipher.with_blocks([&](const auto& aes) {
        ige_encrypt_blocks(aes, input.data(), output, input.size() / 16, iv.data());
    });
    copy_tail(input, output);
}

void ige_decrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv) {
    cipher.with_blocks([&](const auto& aes) {
        ige_decrypt_blocks(aes, input.data(), output, input.size() / 16, iv.data());
    });
    copy_tail(input, output);
}

void run_ige_encrypt_job(const IgeJob& job) {
    Aes256Cipher cipher(job.key, AesUse::encrypt);
    ige_encrypt(cipher, job.input, job.output, job.iv);
}

void run_ige_decrypt_job(const IgeJob& job) {
    Aes256Cipher cipher(job.key, AesUse::decrypt);
    ige_decrypt(cipher, job.input, job.output, job.iv);
}

}  // namespace dallowgate
