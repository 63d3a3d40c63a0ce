// The CPU-feature record: which instruction-set extensions this CPU (and its OS) lets our code
// use, read once when the library loads and the same for the rest of the process. The only
// place where the CPU is asked.
#pragma once

namespace dallowgate {

struct CpuFeatures {
    // x86
    bool aesni = false;   // AES-NI
    bool ssse3 = false;   // SSSE3
    bool avx = false;     // AVX, with YMM state saved by the OS
    bool vaes = false;    // VAES and AVX2, with YMM state saved by the OS
    bool sha_ni = false;  // the SHA extensions, with SSE4.1
    // VAES on 512-bit registers: VAES with AVX-512 F, BW and VL, the OS saving the opmask and
    // ZMM state
    bool vaes512 = false;
    // An Intel model known to lower its clock while 512-bit code runs (Skylake-X, Ice Lake,
    // Tiger Lake), where 256-bit vectors are preferred, as the Linux kernel does
    bool zmm_downclocks = false;
    // aarch64
    bool arm_aes = false;   // the ARMv8 AES instructions
    bool arm_sha2 = false;  // the ARMv8 SHA-256 instructions
    bool arm_sha3 = false;  // the ARMv8.2 SHA3 instructions (EOR3, a three-way XOR)
};

namespace detail {
// Initialised before the library's other static objects; all false before that.
#if defined(__GNUC__)
[[gnu::visibility("hidden")]]
#endif
extern const CpuFeatures cpu_features_record;
}  // namespace detail

// The record for this CPU: a load, so that hot paths may ask on every call.
inline const CpuFeatures& cpu_features() noexcept {
    return detail::cpu_features_record;
}

}  // namespace dallowgate
