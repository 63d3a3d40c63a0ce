#include "aes/cipher.hpp"

#include "common/internal_fault.hpp"

namespace dallowgate {

std::size_t Aes256Cipher::batch_width() const {
    return with_blocks([](const auto& aes) { return aes.batch_width; });
}

namespace {

template <class Aes>
void encrypt_one(const Aes& aes, const std::uint8_t* in, std::uint8_t* out) {
    Aes::store(out, aes.encrypt(Aes::load(in)));
}

template <class Aes>
void decrypt_one(const Aes& aes, const std::uint8_t* in, std::uint8_t* out) {
    Aes::store(out, aes.decrypt(Aes::load(in)));
}

template <class Aes>
void encrypt_many(const Aes& aes, const std::uint8_t* in, std::uint8_t* out) {
    typename Aes::Block blocks[Aes::batch_width];
    for (std::size_t i = 0; i < Aes::batch_width; ++i) blocks[i] = Aes::load(in + 16 * i);
    aes.encrypt_batch(blocks);
    for (std::size_t i = 0; i < Aes::batch_width; ++i) Aes::store(out + 16 * i, blocks[i]);
}

}  // namespace

void Aes256Cipher::encrypt_block(const std::uint8_t* in, std::uint8_t* out) const {
    with_blocks([&](const auto& aes) { encrypt_one(aes, in, out); });
}

void Aes256Cipher::decrypt_block(const std::uint8_t* in, std::uint8_t* out) const {
    with_blocks([&](const auto& aes) { decrypt_one(aes, in, out); });
}

void Aes256Cipher::encrypt_batch(const std::uint8_t* in, std::uint8_t* out) const {
    with_blocks([&](const auto& aes) { encrypt_many(aes, in, out); });
}

}  // namespace dallowgate
