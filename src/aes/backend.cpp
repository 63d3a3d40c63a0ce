#include "aes/backend.hpp"

#include <atomic>

#include "aes/libcrypto.hpp"
#include "common/cpu_features.hpp"
#include "common/platform.hpp"

namespace dallowgate {

AesBackend widest_aesni(const CpuFeatures& cpu) noexcept {
    if (cpu.vaes512 && !cpu.zmm_downclocks) return AesBackend::aesni_vaes512;
    return cpu.vaes ? AesBackend::aesni_vaes : AesBackend::aesni;
}

namespace {

// The backend in force, or NONE before the first choice.
constexpr std::uint8_t NONE = 0xff;
std::atomic<std::uint8_t> chosen{NONE};

AesBackend detected() noexcept {
    std::uint8_t current = chosen.load(std::memory_order_relaxed);
    if (current != NONE) return static_cast<AesBackend>(current);
    // Threads that race here compute and store the same value.
    const CpuFeatures& cpu = cpu_features();
    const AesBackend backend = DALLOWGATE_X86 && cpu.aesni         ? widest_aesni(cpu)
                               : DALLOWGATE_AARCH64 && cpu.arm_aes ? AesBackend::armv8
                               : libcrypto_aes_is_constant_time()  ? AesBackend::libcrypto
                                                                   : AesBackend::bitsliced;
    chosen.store(static_cast<std::uint8_t>(backend), std::memory_order_relaxed);
    return backend;
}

}  // namespace

void override_aes_backend(AesBackend backend) noexcept {
    chosen.store(static_cast<std::uint8_t>(backend), std::memory_order_relaxed);
}

AesBackend aes_backend() noexcept {
    return detected();
}

bool aes_backend_runs_here(AesBackend backend) noexcept {
    switch (backend) {
        case AesBackend::aesni:
            return DALLOWGATE_X86 && cpu_features().aesni;
        case AesBackend::aesni_vaes:
            return DALLOWGATE_X86 && cpu_features().aesni && cpu_features().vaes;
        case AesBackend::aesni_vaes512:
            return DALLOWGATE_X86 && cpu_features().aesni && cpu_features().vaes512;
        case AesBackend::armv8:
            return DALLOWGATE_AARCH64 && cpu_features().arm_aes;
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
        case AesBackend::aesni_vaes512:
            return "aesni_vaes512";
        case AesBackend::libcrypto:
            return "libcrypto";
        case AesBackend::bitsliced:
            return "bitsliced";
        case AesBackend::armv8:
            return "armv8";
    }
    return "unknown";
}

}  // namespace dallowgate
