// The process-wide choice of AES implementation: AES-NI where the CPU has it (with VAES for
// batches where the CPU also has VAES and AVX2 and the OS saves YMM state), libcrypto
// otherwise. Detected once, on first use, and final afterwards.
#pragma once

#include <cstdint>

namespace dallowgate {

enum class AesBackend : std::uint8_t { undetected, aesni, software };

// The backend in force (never `undetected`); runs the CPU check on the first call.
AesBackend aes_backend() noexcept;
// Whether the aesni backend runs its batches with VAES (decided with aes_backend()).
bool aesni_batches_use_vaes() noexcept;

// The CPU checks themselves.
bool cpu_has_aesni() noexcept;  // CPUID leaf 1, ECX bit 25
bool cpu_has_vaes() noexcept;   // VAES and AVX2, with YMM state saved by the OS

}  // namespace dallowgate
