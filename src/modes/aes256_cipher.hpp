// Aes256Cipher: one call's expanded AES-256 key, built for one backend and erased when it goes
// away. Modes run their loops through with_blocks, which hands them the backend's block
// operations inside a wrapper compiled for that backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "common/internal_fault.hpp"
#include "modes/aes_backend.hpp"
#include "modes/aesni.hpp"
#include "modes/aesni_vaes.hpp"
#include "modes/bitsliced_aes.hpp"
#include "modes/libcrypto_aes.hpp"

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

    // For the backend chosen for this CPU, or a given one (the tests force each; the CPU
    // must be able to run it); `use` says which directions the calls will run.
    explicit Aes256Cipher(Key key, AesUse use = AesUse::both, AesBackend backend = aes_backend())
        : backend_(backend) {
        switch (backend) {
#if DALLOWGATE_X86
            case AesBackend::aesni:
            case AesBackend::aesni_vaes:
                schedule_.emplace<AesNiKeys>(key.data(), use);
                return;
#endif
            case AesBackend::libcrypto:
                schedule_.emplace<LibcryptoAesKeys>(key.data(), use);
                return;
            case AesBackend::bitsliced:
                schedule_.emplace<BitslicedAesKeys>(key.data());
                return;
            default:
                internal_fault("no such AES backend on this CPU");
        }
    }
    Aes256Cipher(Key key, AesBackend backend) : Aes256Cipher(key, AesUse::both, backend) {}

    AesBackend backend() const { return backend_; }
    std::size_t batch_width() const;

    // Calls `loop` (a generic callable) with the backend's block operations and returns what
    // it returns. The one place where a backend meets its operations.
    template <class Loop>
    decltype(auto) with_blocks(Loop&& loop) const {
        switch (backend_) {
#if DALLOWGATE_X86
            case AesBackend::aesni:
                return run_with_aesni(loop, AesNi(std::get<AesNiKeys>(schedule_)));
            case AesBackend::aesni_vaes:
                return run_with_vaes(loop, AesNiVaes(std::get<AesNiKeys>(schedule_)));
#endif
            case AesBackend::bitsliced:
                return loop(BitslicedAes(std::get<BitslicedAesKeys>(schedule_)));
            default:
                return loop(LibcryptoAes(std::get<LibcryptoAesKeys>(schedule_)));
        }
    }

#if DALLOWGATE_X86
    // The AES-NI schedule, or null on the other backends (for kernels of AES-NI and more).
    const AesNiKeys* aesni_keys() const { return std::get_if<AesNiKeys>(&schedule_); }
#endif

    // Single operations, out of line (for callers outside the mode loops).
    void encrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    void decrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    // Encrypts batch_width() blocks.
    void encrypt_batch(const std::uint8_t* in, std::uint8_t* out) const;

private:
    AesBackend backend_;
#if DALLOWGATE_X86
    std::variant<std::monostate, AesNiKeys, LibcryptoAesKeys, BitslicedAesKeys> schedule_;
#else
    std::variant<std::monostate, LibcryptoAesKeys, BitslicedAesKeys> schedule_;
#endif
};

}  // namespace dallowgate
