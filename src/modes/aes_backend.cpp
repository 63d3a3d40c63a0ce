#include "modes/aes_backend.hpp"

#include <atomic>

#include "modes/aes_target.hpp"

#if DALLOWGATE_X86
#include <cpuid.h>
#endif

namespace dallowgate {
namespace {

std::atomic<AesBackend> backend{AesBackend::undetected};

}  // namespace

bool cpu_has_aesni() noexcept {
#if DALLOWGATE_X86
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid_count(1, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & (1u << 25)) != 0;
#else
    return false;
#endif
}

AesBackend aes_backend() noexcept {
    AesBackend current = backend.load(std::memory_order_relaxed);
    if (current != AesBackend::undetected) return current;
    // Threads that race here compute and store the same value.
    current = cpu_has_aesni() ? AesBackend::aesni : AesBackend::software;
    backend.store(current, std::memory_order_relaxed);
    return current;
}

}  // namespace dallowgate
