// The process-wide choice of AES implementation: AES-NI where the CPU has it (with VAES for
// batches where the CPU also has VAES and AVX2 and the OS saves YMM state); libcrypto where its
// AES is constant-time (x86-64 with SSSE3, aarch64); the bitsliced AES of our own elsewhere.
// Detected once, on first use, and final afterwards.
#pragma once

#include <cstdint>

namespace dallowgate {

enum class AesBackend : std::uint8_t { undetected, aesni, software, bitsliced };

// The backend in force (never `undetected`); runs the CPU check on the first call.
AesBackend aes_backend() noexcept;
// Replaces the CPU's choice for the rest of the process: for the tests and checks that run
// whole jobs on each backend. The caller makes sure the CPU can run the one chosen.
void override_aes_backend(AesBackend backend, bool use_vaes = false) noexcept;
// Whether the aesni backend runs its batches with VAES (decided with aes_backend()).
bool aesni_batches_use_vaes() noexcept;

// The CPU checks themselves.
bool cpu_has_aesni() noexcept;  // CPUID leaf 1, ECX bit 25
bool cpu_has_vaes() noexcept;   // VAES and AVX2, with YMM state saved by the OS
// Whether libcrypto's AES is constant-time on this CPU: on x86-64 it uses its vector-permute
// code with SSSE3 (CPUID leaf 1, ECX bit 9) and lookup tables without; on aarch64 it always
// has the ARMv8 instructions or NEON vector permutes; elsewhere it is not known to be.
bool libcrypto_aes_is_constant_time() noexcept;

}  // namespace dallowgate
