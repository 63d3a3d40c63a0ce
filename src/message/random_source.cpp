#include "message/random_source.hpp"

#include <cerrno>
#include <cstddef>

#if defined(_WIN32)
#include <bcrypt.h>
#include <windows.h>
#elif defined(__linux__)
#include <sys/random.h>
#else
#include <unistd.h>
#endif

namespace dallowgate {

#if defined(_WIN32)

extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG length);

int fill_random(std::span<std::uint8_t> out) noexcept {
    constexpr std::size_t CHUNK = 0xFFFFFFFFu;
    while (!out.empty()) {
        ULONG size = static_cast<ULONG>(out.size() < CHUNK ? out.size() : CHUNK);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, out.data(), size, BCRYPT_USE_SYSTEM_PREFERRED_RNG)) &&
            !SystemFunction036(out.data(), size))
            return EIO;
        out = out.subspan(size);
    }
    return 0;
}

#elif defined(__linux__)

int fill_random(std::span<std::uint8_t> out) noexcept {
    while (!out.empty()) {
        ssize_t got = getrandom(out.data(), out.size(), 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        out = out.subspan(static_cast<std::size_t>(got));
    }
    return 0;
}

#else

int fill_random(std::span<std::uint8_t> out) noexcept {
    constexpr std::size_t CHUNK = 256;  // the most getentropy gives at once
    while (!out.empty()) {
        std::size_t size = out.size() < CHUNK ? out.size() : CHUNK;
        if (getentropy(out.data(), size) != 0) return errno;
        out = out.subspan(size);
    }
    return 0;
}

#endif

}  // namespace dallowgate
