// Aes256Cipher: one call's expanded AES-256 key, built for one backend and erased when it goes
// away. with_keys hands the backend's blocks type and the schedule to the mode loops, which are
// compiled for each backend in its target region (modes/loops.hpp).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <type_traits>

#include "aes/aesni/aesni.hpp"
#include "aes/aesni/vaes.hpp"
#include "aes/aesni/vaes512.hpp"
#include "aes/armv8/armv8.hpp"
#include "aes/backend.hpp"
#include "aes/bitsliced.hpp"
#include "aes/libcrypto.hpp"
#include "common/internal_fault.hpp"
#include "common/platform.hpp"

namespace dallowgate {

// Calls `visit` with std::type_identity<Blocks>, for the blocks type of `backend`, and returns
// what it returns. The one place where a backend's name meets its type.
template <class Visit>
DALLOWGATE_INLINE decltype(auto) with_blocks_type(AesBackend backend, Visit&& visit) {
    switch (backend) {
#if DALLOWGATE_X86
        case AesBackend::aesni:
            return visit(std::type_identity<AesNi>{});
        case AesBackend::aesni_vaes:
            return visit(std::type_identity<AesNiVaes>{});
        case AesBackend::aesni_vaes512:
            return visit(std::type_identity<AesNiVaes512>{});
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

// Calls `visit` with std::type_identity<Keys>, for the key schedule type of `backend`. The
// AES-NI backends share one schedule, so that making and erasing one asks a single question of
// them rather than a jump table's.
template <class Visit>
DALLOWGATE_INLINE void with_schedule_type(AesBackend backend, Visit&& visit) {
    switch (backend) {
#if DALLOWGATE_X86
        case AesBackend::aesni:
        case AesBackend::aesni_vaes:
        case AesBackend::aesni_vaes512:
            static_assert(std::is_same_v<AesNiVaes::Keys, AesNi::Keys> &&
                          std::is_same_v<AesNiVaes512::Keys, AesNi::Keys>);
            return visit(std::type_identity<AesNi::Keys>{});
#endif
        default:
            return with_blocks_type(backend, [&]<class Aes>(std::type_identity<Aes>) {
                visit(std::type_identity<typename Aes::Keys>{});
            });
    }
}

class Aes256Cipher {
public:
    using Key = std::span<const std::uint8_t, 32>;

    // For the backend chosen for this CPU, or a given one (the tests force each; the CPU
    // must be able to run it); `use` says which directions the calls will run.
    DALLOWGATE_INLINE explicit Aes256Cipher(Key key, AesUse use = AesUse::both,
                                            AesBackend backend = aes_backend())
        : backend_(backend) {
        with_schedule_type(backend, [&]<class Keys>(std::type_identity<Keys>) {
            new (schedule_) Keys(key.data(), use);
        });
    }
    Aes256Cipher(Key key, AesBackend backend) : Aes256Cipher(key, AesUse::both, backend) {}
    Aes256Cipher(const Aes256Cipher&) = delete;
    Aes256Cipher& operator=(const Aes256Cipher&) = delete;

    AesBackend backend() const { return backend_; }
    // The blocks that the backend encrypts at once.
    std::size_t batch_width() const {
        return with_blocks_type(backend_, []<class Aes>(std::type_identity<Aes>) {
            return std::size_t{Aes::batch_width};
        });
    }

    // Calls visit(std::type_identity<Aes>{}, keys) with the blocks type of the backend and the
    // schedule, and returns what it returns.
    template <class Visit>
    DALLOWGATE_INLINE decltype(auto) with_keys(Visit&& visit) const {
        return with_blocks_type(
            backend_, [&]<class Aes>(std::type_identity<Aes> type) -> decltype(auto) {
                return visit(type,
                             *std::launder(reinterpret_cast<const typename Aes::Keys*>(schedule_)));
            });
    }

    // The schedule erases itself.
    DALLOWGATE_INLINE ~Aes256Cipher() {
        with_schedule_type(backend_, [&]<class Keys>(std::type_identity<Keys>) {
            std::launder(reinterpret_cast<Keys*>(schedule_))->~Keys();
        });
    }

private:
    // Room for the schedule of any backend of this build; the one made is backend_'s (a union
    // of our own: std::variant's visits are calls of their own under some compilers).
#if DALLOWGATE_X86
#define DALLOWGATE_SCHEDULES AesNiKeys, LibcryptoAesKeys, BitslicedAesKeys
#elif DALLOWGATE_AARCH64
#define DALLOWGATE_SCHEDULES Armv8AesKeys, LibcryptoAesKeys, BitslicedAesKeys
#else
#define DALLOWGATE_SCHEDULES LibcryptoAesKeys, BitslicedAesKeys
#endif
    template <class... Schedules>
    static constexpr std::size_t largest = std::max({sizeof(Schedules)...});
    template <class... Schedules>
    static constexpr std::size_t strictest = std::max({alignof(Schedules)...});

    AesBackend backend_;
    alignas(strictest<DALLOWGATE_SCHEDULES>) std::byte schedule_[largest<DALLOWGATE_SCHEDULES>];
#undef DALLOWGATE_SCHEDULES
};

}  // namespace dallowgate
