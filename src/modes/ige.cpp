#include "modes/ige.hpp"

#include <cstring>
#include <type_traits>

#include "modes/loops.hpp"

namespace dallowgate {
namespace {

// The bytes after the last whole block, unchanged.
void copy_tail(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::size_t whole = input.size() & ~std::size_t{15};
    if (output != input.data() && whole != input.size())
        std::memcpy(output + whole, input.data() + whole, input.size() - whole);
}

}  // namespace

void ige_encrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv) {
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::ige_encrypt(keys, input.data(), output, input.size() / 16, iv.data());
    });
    copy_tail(input, output);
}

void ige_decrypt(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                 std::uint8_t* output, IgeIv iv) {
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::ige_decrypt(keys, input.data(), output, input.size() / 16, iv.data());
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
