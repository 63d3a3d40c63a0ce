// The AES implementations and the process-wide choice among them: AES-NI where the CPU has it
// (with VAES batches where it also has VAES and AVX2 and the OS saves YMM state, on 512-bit
// registers where it has AVX-512 too and 512-bit code does not lower its clock), the ARMv8 AES
// instructions where the CPU has them; libcrypto where its AES is constant-time (x86-64 with
// SSSE3, aarch64 without the AES instructions); the bitsliced AES of our own elsewhere. Chosen
// once, on first use, from the CPU-feature record, and final afterwards.
#pragma once

#include <cstdint>

namespace dallowgate {

struct CpuFeatures;

enum class AesBackend : std::uint8_t {
    // Each architecture's backends numbered without gaps: the dispatch switches stay short.
    aesni,          // AES-NI, eight blocks per batch
    aesni_vaes,     // AES-NI, with batches of sixteen blocks as VAES on 256-bit registers
    aesni_vaes512,  // AES-NI, with batches of 32 blocks as VAES on 512-bit registers
    libcrypto,      // libcrypto's EVP AES-256 (its AES-NI, vector-permute or ARMv8 code)
    bitsliced,      // our constant-time bitsliced AES
    armv8,          // the ARMv8 Cryptographic Extension's AES instructions, eight blocks per batch
};

inline constexpr AesBackend ALL_AES_BACKENDS[] = {AesBackend::aesni,         AesBackend::aesni_vaes,
                                                  AesBackend::aesni_vaes512, AesBackend::libcrypto,
                                                  AesBackend::bitsliced,     AesBackend::armv8};

// Which directions a key schedule serves: a call expands only what it runs (CTR and IGE
// encryption never decrypt a block, so their schedule has no inverse round keys).
// `keystream` is encryption for CTR, which a backend may run through a CTR implementation of
// its own; `both` serves all three.
enum class AesUse : std::uint8_t { encrypt, decrypt, both, keystream };

// "aesni", "aesni_vaes", "aesni_vaes512", "libcrypto", "bitsliced" or "armv8".
const char* aes_backend_name(AesBackend backend) noexcept;

// The backend chosen for this CPU; made on the first call.
AesBackend aes_backend() noexcept;
// Among the AES-NI backends, the one for a CPU with AES-NI: VAES on 512-bit registers where the
// CPU has AVX-512 and its clock does not drop for 512-bit code, VAES on 256-bit registers where
// it has VAES, AES-NI alone otherwise. (512-bit AES does twice the work of 256-bit per
// instruction on AMD's Zen 5 and Intel's Sapphire Rapids and later; on Zen 4 it costs as much as
// two 256-bit halves, no more.)
AesBackend widest_aesni(const CpuFeatures& cpu) noexcept;
// Whether this CPU can run `backend` (libcrypto and bitsliced run everywhere).
bool aes_backend_runs_here(AesBackend backend) noexcept;
// Replaces the CPU's choice for the rest of the process: for the tests and checks that run
// whole jobs on each backend. The caller makes sure the CPU can run the one chosen.
void override_aes_backend(AesBackend backend) noexcept;

}  // namespace dallowgate
