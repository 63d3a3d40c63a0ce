#include "modes/aes_backend.hpp"

#include <atomic>

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

namespace dallowgate {
namespace {

// The backend in force, or NONE before the first check.
constexpr std::uint8_t NONE = 0xff;
std::atomic<std::uint8_t> chosen{NONE};

AesBackend detected() noexcept {
    std::uint8_t current = chosen.load(std::memory_order_relaxed);
    if (current != NONE) return static_cast<AesBackend>(current);
    // Threads that race here compute and store the same value.
    const AesBackend backend = cpu_has_aesni()
                                   ? (cpu_has_vaes() ? AesBackend::aesni_vaes : AesBackend::aesni)
                               : libcrypto_aes_is_constant_time() ? AesBackend::libcrypto
                                                                  : AesBackend::bitsliced;
    chosen.store(static_cast<std::uint8_t>(backend), std::memory_order_relaxed);
    return backend;
}

#if DALLOWGATE_X86
bool cpuid(unsigned leaf, unsigned subleaf, unsigned (&r)[4]) {
    return __get_cpuid_count(leaf, subleaf, &r[0], &r[1], &r[2], &r[3]) != 0;
}
#endif

}  // namespace

bool cpu_has_aesni() noexcept {
#if DALLOWGATE_X86
    unsigned r[4];
    return cpuid(1, 0, r) && (r[2] & (1u << 25));
#else
    return false;
#endif
}

bool cpu_has_avx() noexcept {
#if DALLOWGATE_X86
    unsigned leaf1[4];
    if (!cpuid(1, 0, leaf1)) return false;
    const bool osxsave = leaf1[2] & (1u << 27), avx = leaf1[2] & (1u << 28);
    if (!(osxsave && avx)) return false;
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 0x6) == 0x6;  // XMM and YMM state enabled
#else
    return false;
#endif
}

bool cpu_has_vaes() noexcept {
#if DALLOWGATE_X86
    unsigned leaf7[4];
    if (!cpu_has_avx() || !cpuid(7, 0, leaf7)) return false;
    const bool avx2 = leaf7[1] & (1u << 5), vaes = leaf7[2] & (1u << 9);
    return avx2 && vaes;
#else
    return false;
#endif
}

void override_aes_backend(AesBackend backend) noexcept {
    chosen.store(static_cast<std::uint8_t>(backend), std::memory_order_relaxed);
}

bool libcrypto_aes_is_constant_time() noexcept {
#if DALLOWGATE_X86
    unsigned r[4];
    return cpuid(1, 0, r) && (r[2] & (1u << 9));
#elif defined(__aarch64__)
    return true;
#else
    return false;
#endif
}

bool libcrypto_ctr_is_constant_time() noexcept {
#if defined(__aarch64__) && defined(__linux__)
    return getauxval(AT_HWCAP) & HWCAP_AES;
#elif defined(__aarch64__) && defined(__APPLE__)
    return true;  // every Apple CPU has the AES extension
#else
    return false;
#endif
}

AesBackend aes_backend() noexcept {
    return detected();
}

bool aes_backend_runs_here(AesBackend backend) noexcept {
    switch (backend) {
        case AesBackend::aesni:
            return cpu_has_aesni();
        case AesBackend::aesni_vaes:
            return cpu_has_aesni() && cpu_has_vaes();
        default:
            return true;
    }
}

const char* aes_backend_name(AesBackend backend) noexcept {
    switch (backend) {
        case AesBackend::aesni:
            return "aesni";
        case AesBackend::aesni_vaes:
            return "aesni_vaes";
        case AesBackend::libcrypto:
            return "libcrypto";
        case AesBackend::bitsliced:
            return "bitsliced";
    }
    return "unknown";
}

}  // namespace dallowgate
