// Aes256Cipher: one call's expanded AES-256 key, built for one backend and erased when it goes
// away. The mode loops run through with_blocks, which hands them the backend's block
// operations (aes/contract.hpp) inside a function compiled for that backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <variant>

#include "aes/aesni/aesni.hpp"
#include "aes/aesni/vaes.hpp"
#include "aes/armv8/armv8.hpp"
#include "aes/backend.hpp"
#include "aes/bitsliced.hpp"
#include "aes/libcrypto.hpp"
#include "common/internal_fault.hpp"

namespace dallowgate {

// Calls `visit` with std::type_identity<Blocks>, for the blocks type of `backend`, and returns
// what it returns. The one place where a backend's name meets its type.
template <class Visit>
decltype(auto) with_blocks_type(AesBackend backend, Visit&& visit) {
    switch (backend) {
#if DALLOWGATE_X86
        case AesBackend::aesni:
            return visit(std::type_identity<AesNi>{});
        case AesBackend::aesni_vaes:
            return visit(std::type_identity<AesNiVaes>{});
#endif
#if DALLOWGATE_AARCH64
        case AesBackend::armv8:
            return visit(std::type_identity<Armv8Aes>{});
#endif
        case AesBackend::bitsliced:
            return visit(std::type_identity<BitslicedAes>{});
        case AesBackend::libcrypto:
            return visit(std::type_identity<LibcryptoAes>{});
        default:
            internal_fault("no such AES backend in this build");
    }
}

class Aes256Cipher {
public:
    using Key = std::span<const std::uint8_t, 32>;

    // For the backend chosen for this CPU, or a given one (the tests force each; the CPU
    // must be able to run it); `use` says which directions the calls will run.
    explicit Aes256Cipher(Key key, AesUse use = AesUse::both, AesBackend backend = aes_backend())
        : backend_(backend) {
        with_blocks_type(backend, [&]<class Aes>(std::type_identity<Aes>) {
            schedule_.emplace<typename Aes::Keys>(key.data(), use);
        });
    }
    Aes256Cipher(Key key, AesBackend backend) : Aes256Cipher(key, AesUse::both, backend) {}

    AesBackend backend() const { return backend_; }
    std::size_t batch_width() const;

    // Calls `loop` (a generic callable) with the backend's block operations, inside the
    // backend's run_loop, and returns what it returns.
    template <class Loop>
    decltype(auto) with_blocks(Loop&& loop) const {
        return with_blocks_type(
            backend_, [&]<class Aes>(std::type_identity<Aes>) -> decltype(auto) {
                return Aes::template run_loop<Aes>(loop, std::get<typename Aes::Keys>(schedule_));
            });
    }

    // Single operations, out of line (for callers outside the mode loops).
    void encrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    void decrypt_block(const std::uint8_t* in, std::uint8_t* out) const;
    // Encrypts batch_width() blocks.
    void encrypt_batch(const std::uint8_t* in, std::uint8_t* out) const;

private:
    AesBackend backend_;
#if DALLOWGATE_X86
    std::variant<std::monostate, AesNiKeys, LibcryptoAesKeys, BitslicedAesKeys> schedule_;
#elif DALLOWGATE_AARCH64
    std::variant<std::monostate, Armv8AesKeys, LibcryptoAesKeys, BitslicedAesKeys> schedule_;
#else
    std::variant<std::monostate, LibcryptoAesKeys, BitslicedAesKeys> schedule_;
#endif
};

}  // namespace dallowgate
