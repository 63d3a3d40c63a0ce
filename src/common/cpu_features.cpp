#include "common/cpu_features.hpp"

#include "common/platform.hpp"

#if DALLOWGATE_X86
#include <cpuid.h>
#elif DALLOWGATE_AARCH64 && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#elif DALLOWGATE_AARCH64 && defined(__APPLE__)
#include <sys/sysctl.h>
#elif DALLOWGATE_AARCH64 && defined(_WIN32)
#include <windows.h>
#endif

namespace dallowgate {
namespace {

#if DALLOWGATE_X86

bool cpuid(unsigned leaf, unsigned subleaf, unsigned (&r)[4]) {
    return __get_cpuid_count(leaf, subleaf, &r[0], &r[1], &r[2], &r[3]) != 0;
}

bool bit(unsigned word, int n) {
    return (word >> n) & 1;
}

// Intel's family 6 models that lower their clock for 512-bit code, after the Linux kernel's list
// of the CPUs on which its AES code prefers 256-bit vectors (arch/x86/kernel/cpu/intel.c):
// Skylake-X, Ice Lake (X, D, client, L, NNPI) and Tiger Lake (client, L). Rocket Lake and
// Sapphire Rapids and later, and AMD's CPUs (from Zen 4), are not on it.
constexpr unsigned ZMM_DOWNCLOCKING_MODELS[] = {0x55, 0x6a, 0x6c, 0x7d, 0x7e, 0x9d, 0x8c, 0x8d};

bool zmm_downclocks(const unsigned (&leaf0)[4], unsigned eax1) {
    const bool intel = leaf0[1] == 0x756e6547 && leaf0[3] == 0x49656e69 &&  // "GenuineIntel"
                       leaf0[2] == 0x6c65746e;
    const unsigned family = (eax1 >> 8) & 0xf;
    const unsigned model = ((eax1 >> 4) & 0xf) | ((eax1 >> 12) & 0xf0);
    if (!intel || family != 6) return false;
    for (unsigned listed : ZMM_DOWNCLOCKING_MODELS)
        if (model == listed) return true;
    return false;
}

CpuFeatures read_features() {
    CpuFeatures f;
    unsigned leaf0[4], leaf1[4], leaf7[4];
    if (!cpuid(0, 0, leaf0) || !cpuid(1, 0, leaf1)) return f;
    const unsigned ecx1 = leaf1[2];
    f.aesni = bit(ecx1, 25);
    f.ssse3 = bit(ecx1, 9);
    const bool sse41 = bit(ecx1, 19);
    unsigned xcr0 = 0;
    if (bit(ecx1, 27) && bit(ecx1, 28)) {  // OSXSAVE and AVX
        unsigned high;
        __asm__("xgetbv" : "=a"(xcr0), "=d"(high) : "c"(0));
        f.avx = (xcr0 & 0x6) == 0x6;  // XMM and YMM state enabled
    }
    if (leaf0[0] >= 7 && cpuid(7, 0, leaf7)) {
        f.vaes = f.avx && bit(leaf7[1], 5) && bit(leaf7[2], 9);  // AVX2 and VAES
        f.sha_ni = sse41 && bit(leaf7[1], 29);
        // AVX-512 F (EBX 16), BW (EBX 30) and VL (EBX 31), with the opmask, ZMM_Hi256 and
        // Hi16_ZMM state enabled (XCR0 bits 5 to 7).
        const bool avx512 =
            bit(leaf7[1], 16) && bit(leaf7[1], 30) && bit(leaf7[1], 31) && (xcr0 & 0xe0) == 0xe0;
        f.vaes512 = f.vaes && avx512;
        f.zmm_downclocks = zmm_downclocks(leaf0, leaf1[0]);
    }
    return f;
}

#elif DALLOWGATE_AARCH64

#if defined(__APPLE__)
// The flag, or true where this macOS predates it: every Apple CPU has AES, SHA-256 and SHA3.
bool sysctl_flag(const char* name) {
    int value = 0;
    size_t size = sizeof value;
    return sysctlbyname(name, &value, &size, nullptr, 0) != 0 || value != 0;
}
#endif

CpuFeatures read_features() {
    CpuFeatures f;
#if defined(__linux__)
    const unsigned long hwcap = getauxval(AT_HWCAP);
    f.arm_aes = hwcap & HWCAP_AES;
    f.arm_sha2 = hwcap & HWCAP_SHA2;
#ifdef HWCAP_SHA3
    f.arm_sha3 = hwcap & HWCAP_SHA3;
#endif
#elif defined(__APPLE__)
    f.arm_aes = sysctl_flag("hw.optional.arm.FEAT_AES");
    f.arm_sha2 = sysctl_flag("hw.optional.arm.FEAT_SHA256");
    f.arm_sha3 = sysctl_flag("hw.optional.arm.FEAT_SHA3");
#elif defined(_WIN32)
    // One flag stands for the AES, SHA-1 and SHA-256 instructions together.
    f.arm_aes = f.arm_sha2 = IsProcessorFeaturePresent(PF_ARM_V8_CRYPTO_INSTRUCTIONS_AVAILABLE);
#ifdef PF_ARM_SHA3_INSTRUCTIONS_AVAILABLE
    f.arm_sha3 = IsProcessorFeaturePresent(PF_ARM_SHA3_INSTRUCTIONS_AVAILABLE);
#endif
#endif
    return f;
}

#else

CpuFeatures read_features() {
    return {};
}

#endif

}  // namespace

namespace detail {
#if defined(__GNUC__) && !defined(__APPLE__)
__attribute__((init_priority(101)))
#endif
const CpuFeatures cpu_features_record = read_features();
}  // namespace detail

}  // namespace dallowgate
