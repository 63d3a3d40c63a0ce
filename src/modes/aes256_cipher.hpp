// Aes256Cipher: one call's expanded AES-256 key, built for the backend in force and erased
// when it goes away. Modes run their loops through with_blocks, which hands them the
// backend's block operations inside a wrapper compiled for that backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "modes/aes_backend.hpp"
#include "modes/aesni.hpp"
#include "modes/bitsliced_aes.hpp"
#include "modes/software_aes.hpp"

namespace dallowgate {

#if DALLOWGATE_X86
template <class Loop, class Blocks>
AES_LOOP_WRAPPER decltype(auto) run_with_aesni(Loop& loop, const Blocks& blocks) {
    return loop(blocks);
}
template <class Loop, class Blocks>
VAES_LOOP_WRAPPER decltype(auto) run_with_vaes(Loop& loop, const Blocks& blocks) {
    return loop(blocks);
}
#endif

class Aes256Cipher {
public:
    using Key = std::span<const std::uint8_t, 32>;

    // For the backend in force.
    explicit Aes256Cipher(Key key) : Aes256Cipher(key, aes_backend(), aesni_batches_use_vaes()) {}
    // For a given backend (the tests force each one; aesni needs a CPU that has it, and
    // use_vaes one that has VAES).
    Aes256Cipher(Key key, AesBackend backend, bool use_vaes = false);

    AesBackend backend() const;
    std::size_t batch_width() const;

    // Calls `loop` (a generic callable) with the backend's block operations (AesNi,
    // AesNiVaes, SoftwareAes or BitslicedAes) and returns what it returns.
    template <class Loop>
    decltype(auto) with_blocks(Loop&& loop) const {
#if DALLOWGATE_X86
        if (const auto* keys = std::get_if<AesNiKeys>(&schedule_)) {
            if (use_vaes_) return run_with_vaes(loop, AesNiVaes(*keys));
            return run_with_aesni(loop, AesNi(*keys));
        }
#endif
        if (const auto* keys = std::get_if<BitslicedAesKeys>(&schedule_))
            return loop(BitslicedAes(*keys));
        return loop(SoftwareAes(std::get<SoftwareAesKeys>(schedule_)));
    }

    // Single operations, out of line (for callers outside the mode loops).
    void encrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    void decrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    // Encrypts batch_width() blocks.
    void encrypt_batch(const std::uint8_t* in, std::uint8_t* out) const;

private:
#if DALLOWGATE_X86
    std::variant<std::monostate, AesNiKeys, SoftwareAesKeys, BitslicedAesKeys> schedule_;
#else
    std::variant<std::monostate, SoftwareAesKeys, BitslicedAesKeys> schedule_;
#endif
    bool use_vaes_ = false;
};

}  // namespace dallowgate
