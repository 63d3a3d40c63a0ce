#include "modes/aes_backend.hpp"

#include <atomic>

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86
#include <cpuid.h>
#endif

namespace dallowgate {
namespace {

enum class Choice : std::uint8_t { undetected, aesni, aesni_vaes, software, bitsliced };

std::atomic<Choice> choice{Choice::undetected};

Choice detected() noexcept {
    Choice current = choice.load(std::memory_order_relaxed);
    if (current != Choice::undetected) return current;
    // Threads that race here compute and store the same value.
    current = cpu_has_aesni() ? (cpu_has_vaes() ? Choice::aesni_vaes : Choice::aesni)
              : libcrypto_aes_is_constant_time() ? Choice::software
                                                 : Choice::bitsliced;
    choice.store(current, std::memory_order_relaxed);
    return current;
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

bool cpu_has_vaes() noexcept {
#if DALLOWGATE_X86
    unsigned leaf1[4], leaf7[4];
    if (!cpuid(1, 0, leaf1) || !cpuid(7, 0, leaf7)) return false;
    const bool osxsave = leaf1[2] & (1u << 27), avx = leaf1[2] & (1u << 28);
    const bool avx2 = leaf7[1] & (1u << 5), vaes = leaf7[2] & (1u << 9);
    if (!(osxsave && avx && avx2 && vaes)) return false;
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 0x6) == 0x6;  // XMM and YMM state enabled
#else
    return false;
#endif
}

void override_aes_backend(AesBackend backend, bool use_vaes) noexcept {
    Choice forced = backend == AesBackend::software    ? Choice::software
                    : backend == AesBackend::bitsliced ? Choice::bitsliced
                    : use_vaes                         ? Choice::aesni_vaes
                                                       : Choice::aesni;
    choice.store(forced, std::memory_order_relaxed);
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

AesBackend aes_backend() noexcept {
    switch (detected()) {
        case Choice::software:
            return AesBackend::software;
        case Choice::bitsliced:
            return AesBackend::bitsliced;
        default:
            return AesBackend::aesni;
    }
}

bool aesni_batches_use_vaes() noexcept {
    return detected() == Choice::aesni_vaes;
}

}  // namespace dallowgate
