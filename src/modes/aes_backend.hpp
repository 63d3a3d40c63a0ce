// The process-wide choice of AES implementation: AES-NI where the CPU has it, libcrypto
// otherwise. Detected once, on first use, and final afterwards.
#pragma once

#include <cstdint>

namespace dallowgate {

enum class AesBackend : std::uint8_t { undetected, aesni, software };

// The backend in force (never `undetected`); runs the CPU check on the first call.
AesBackend aes_backend() noexcept;

// Whether the CPU has the AES instructions (CPUID leaf 1, ECX bit 25).
bool cpu_has_aesni() noexcept;

}  // namespace dallowgate
